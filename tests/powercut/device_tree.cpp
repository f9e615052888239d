#include "tests/powercut/device_tree.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <stdexcept>

#include "platform/host/host_control.h"

namespace powercut {

namespace fs = std::filesystem;

namespace {

std::string Describe(const Tree& tree, const std::string& path)
{
    Tree::const_iterator entry = tree.find(path);
    if (entry == tree.end()) {
        return "absent";
    }
    std::ostringstream text;
    text << "0x" << std::hex << std::setw(2) << std::setfill('0') << entry->second.attributes;
    if (!entry->second.folder) {
        std::string start = entry->second.content.substr(0, 24);
        for (char& c : start) {
            c = c == '\n' || c == '\r' ? ' ' : c;
        }
        text << " \"" << start << (entry->second.content.size() > 24 ? "...\"" : "\"")
             << std::dec << " (" << entry->second.content.size() << " bytes)";
    }
    return text.str();
}

} // namespace

void AddFolder(Tree* tree, const std::string& devicePath)
{
    std::string folder = devicePath.back() == '\\' ? devicePath : devicePath + "\\";
    for (size_t cut = folder.find('\\', 1); cut != std::string::npos;
         cut = folder.find('\\', cut + 1)) {
        Entry entry;
        entry.folder = true;
        entry.attributes = FILE_ATTRIBUTE_DIRECTORY;
        tree->emplace(folder.substr(0, cut + 1), entry);
    }
}

void AddFile(Tree* tree, const std::string& devicePath, const std::string& content,
             DWORD attributes)
{
    AddFolder(tree, devicePath.substr(0, devicePath.rfind('\\')));
    Entry entry;
    entry.attributes = attributes;
    entry.content = content;
    (*tree)[devicePath] = entry;
}

Tree ReadTree()
{
    Tree tree;
    const std::string& root = host::DeviceRoot();
    for (const host::FolderEntry& item : host::ListFolder(root, false)) {
        std::string path = "\\" + item.path;
        std::replace(path.begin(), path.end(), '/', '\\');
        Entry entry;
        entry.folder = item.state.folder;
        entry.attributes = item.state.attributes;
        if (entry.folder) {
            path += "\\";
        } else {
            host::ReadWholeFile(root + "/" + item.path, &entry.content);
        }
        tree[path] = entry;
    }
    return tree;
}

void WriteTree(const Tree& tree)
{
    fs::path root = host::DeviceRoot();
    // Read-only files and folders may not be removed until they are writable.
    if (fs::exists(root)) {
        for (const fs::directory_entry& item : fs::recursive_directory_iterator(root)) {
            fs::permissions(item.path(), fs::perms::owner_write, fs::perm_options::add);
        }
        fs::remove_all(root);
    }
    fs::create_directories(root);
    for (const auto& [path, entry] : tree) {
        fs::path native = root / path.substr(1);
        std::string generic = native.string();
        for (char& c : generic) {
            if (c == '\\') {
                c = '/';
            }
        }
        if (entry.folder) {
            fs::create_directories(generic);
        } else {
            std::ofstream(generic, std::ios::binary) << entry.content;
        }
    }
    for (const auto& [path, entry] : tree) {
        DWORD plain = entry.folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
        if (entry.attributes != plain &&
            !SetFileAttributesW(host::Widen(path).c_str(), entry.attributes)) {
            throw std::runtime_error("cannot set the attributes of " + path);
        }
    }
}

std::string DescribeChanges(const Tree& before, const Tree& after)
{
    std::string changes;
    Tree all = before;
    all.insert(after.begin(), after.end());
    for (const auto& [path, entry] : all) {
        Tree::const_iterator old = before.find(path);
        Tree::const_iterator now = after.find(path);
        if (old == before.end() || now == after.end() || !(old->second == now->second)) {
            changes += "  " + path + ": " + Describe(before, path) + " -> " +
                       Describe(after, path) + "\n";
        }
    }
    return changes;
}

std::string Serialise(const Tree& tree)
{
    std::string text;
    for (const auto& [path, entry] : tree) {
        text += path + '\0' + std::to_string(entry.attributes) + '\0' +
                std::to_string(entry.content.size()) + '\0' + entry.content + '\0';
    }
    return text;
}

} // namespace powercut
