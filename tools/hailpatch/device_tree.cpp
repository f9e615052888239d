#include "device_tree.h"

#include <cstdlib>
#include <fstream>
#include <system_error>

#include "pc_files.h"

namespace hailpatch {

namespace {

std::uint64_t HashFile(const fs::path& file, bool* ok)
{
    std::ifstream in(file, std::ios::binary);
    std::uint64_t hash = 1469598103934665603ull;  // FNV-1a
    char buffer[65536];
    while (in.read(buffer, sizeof(buffer)) || in.gcount() > 0) {
        for (std::streamsize i = 0; i < in.gcount(); ++i) {
            hash = (hash ^ static_cast<unsigned char>(buffer[i])) * 1099511628211ull;
        }
    }
    *ok = !in.bad();
    return hash;
}

std::string DevicePath(const std::string& relative)
{
    std::string path = "\\" + relative;
    for (char& c : path) {
        c = c == '/' ? '\\' : c;
    }
    return path;
}

} // namespace

bool SnapshotTree(const fs::path& root, Tree* tree, std::string* error)
{
    std::error_code ec;
    fs::recursive_directory_iterator it(root, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        TreeEntry entry;
        entry.folder = it->is_directory(ec);
        if (!entry.folder) {
            entry.size = it->file_size(ec);
            bool ok = true;
            entry.hash = HashFile(it->path(), &ok);
            if (!ok) {
                *error = it->path().string() + ": cannot be read";
                return false;
            }
        }
        (*tree)[it->path().lexically_relative(root).generic_u8string()] = entry;
    }
    if (ec) {
        *error = root.string() + ": cannot be read: " + ec.message();
        return false;
    }
    return true;
}

std::vector<std::string> DescribeChanges(const Tree& before, const Tree& after)
{
    std::vector<std::string> lines;
    auto describe = [](const std::string& path, const TreeEntry& entry) {
        return DevicePath(path) + (entry.folder ? "\\" : " (" + std::to_string(entry.size) + " bytes)");
    };
    std::map<std::string, std::string> ordered;
    for (const auto& [path, entry] : before) {
        auto now = after.find(path);
        if (now == after.end()) {
            ordered[path] = "removed " + describe(path, entry);
        } else if (now->second.folder != entry.folder || now->second.size != entry.size ||
                   now->second.hash != entry.hash) {
            ordered[path] = "changed " + DevicePath(path) +
                (entry.folder || now->second.folder ? "" :
                 " (" + std::to_string(entry.size) + " -> " + std::to_string(now->second.size) + " bytes)");
        }
    }
    for (const auto& [path, entry] : after) {
        if (before.count(path) == 0) {
            ordered[path] = "added   " + describe(path, entry);
        }
    }
    for (const auto& [path, line] : ordered) {
        lines.push_back(line);
    }
    return lines;
}

bool CopyTree(const fs::path& from, const fs::path& to, std::string* error)
{
    std::error_code ec;
    fs::create_directories(to, ec);
    std::vector<std::pair<fs::path, fs::path>> folders;
    fs::recursive_directory_iterator it(from, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        fs::path target = to / it->path().lexically_relative(from);
        if (it->is_directory(ec)) {
            fs::create_directory(target, ec);
            folders.emplace_back(it->path(), target);
        } else {
            fs::copy_file(it->path(), target, fs::copy_options::overwrite_existing, ec);
            CopyAttributeBits(it->path(), target);
        }
        if (ec) {
            *error = it->path().string() + ": cannot be copied: " + ec.message();
            return false;
        }
    }
    if (ec) {
        *error = from.string() + ": cannot be read: " + ec.message();
        return false;
    }
    // Folders get their attributes last: a read-only one must first be filled.
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
        CopyAttributeBits(folder->first, folder->second);
    }
    return true;
}

bool SameBytes(const fs::path& a, const fs::path& b)
{
    std::ifstream first(a, std::ios::binary);
    std::ifstream second(b, std::ios::binary);
    if (!first || !second) {
        return false;
    }
    char x[65536];
    char y[65536];
    for (;;) {
        first.read(x, sizeof(x));
        second.read(y, sizeof(y));
        if (first.gcount() != second.gcount() ||
            !std::equal(x, x + first.gcount(), y)) {
            return false;
        }
        if (first.gcount() == 0) {
            return true;
        }
    }
}

TempFolder::~TempFolder()
{
    if (!path_.empty()) {
        std::error_code ec;
        // Read-only folders left by a run must not keep their contents.
        for (auto it = fs::recursive_directory_iterator(path_, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
        fs::remove_all(path_, ec);
    }
}

bool TempFolder::Make(const std::string& tag, std::string* error, std::uintmax_t inMemory)
{
    if (!MakeTemporaryFolder(tag, &path_, inMemory)) {
        *error = "cannot make a temporary folder";
        return false;
    }
    return true;
}

} // namespace hailpatch
