#include "package_plan.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <system_error>

#include "device_tree.h"
#include "native_text.h"
#include "package_files.h"

namespace hailpatch {

namespace {

const std::string kInstallFolder = "\\ResidentFlash\\Hailnet";
const std::string kUpdateFolder = "\\SDMMC\\AirUpdate";
const size_t kPathLimit = 255;   // bytes of a field and of a CP path

struct InstallEntry {
    std::string name949;   // relative, backslashes
    fs::path native;
    fs::path relative;     // to the install folder on the PC
    bool folder = false;
};

// Keyed by the folded 949 name: the terminal ignores the case of letters.
using InstallTree = std::map<std::string, InstallEntry>;

// One install folder as make reads it: the paths left alone taken out and
// noted, and the folders that hold one (folded 949 keys).
struct InstallReading {
    InstallTree tree;
    std::set<std::string> holding;
};

// The path as the patterns and the supervisor's own files name it.
std::string PatternPath(const fs::path& relative)
{
    std::string text = relative.generic_u8string();
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

bool Name949(const fs::path& native, const fs::path& relative, std::string* name949, std::string* error)
{
    name949->clear();
    for (const fs::path& part : relative) {
        std::string bytes;
        if (!NameTo949(part, &bytes)) {
            *error = DisplayName(native) + ": code page 949 cannot hold this name, "
                     "so the terminal could never name the file";
            return false;
        }
        *name949 += (name949->empty() ? "" : "\\") + bytes;
    }
    return true;
}

// Notes why `relative` is left alone, and every folder above it as holding
// such a path (their names were taken in 949 on the way down).
void LeaveAlone(const fs::path& relative, const LeftAlone& leftAlone, PackagePlan* plan, InstallReading* reading)
{
    std::string path = PatternPath(relative);
    std::string role = leftAlone.OwnRole(path);
    if (!role.empty()) {
        plan->ownFiles[path] = role;
    } else {
        plan->excluded[static_cast<size_t>(leftAlone.Excluder(path))].insert(path);
    }
    std::string key;
    for (const fs::path& part : relative.parent_path()) {
        std::string bytes;
        NameTo949(part, &bytes);
        key += (key.empty() ? "" : "\\") + FoldCase(bytes);
        reading->holding.insert(key);
    }
}

bool ReadInstallTree(const fs::path& root, const LeftAlone& leftAlone, PackagePlan* plan, InstallReading* reading,
                     std::string* error)
{
    std::error_code ec;
    if (!fs::is_directory(root, ec)) {
        *error = DisplayName(root) + (fs::exists(root, ec) ? ": not a folder" : ": no such folder");
        return false;
    }
    InstallTree* tree = &reading->tree;
    fs::recursive_directory_iterator it(root, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        fs::path relative = it->path().lexically_relative(root);
        InstallEntry entry;
        entry.native = it->path();
        entry.relative = relative;
        entry.folder = it->is_directory(ec);
        if (leftAlone.Covers(PatternPath(relative))) {
            LeaveAlone(relative, leftAlone, plan, reading);
            it.disable_recursion_pending();
            continue;
        }
        if (!Name949(it->path(), relative, &entry.name949, error)) {
            return false;
        }
        std::string key = FoldCase(entry.name949);
        if (tree->count(key) != 0) {
            *error = DisplayName(it->path()) + ": another name in " + DisplayName(root) +
                     " differs from it only in letter case, which the terminal ignores";
            return false;
        }
        (*tree)[key] = entry;
    }
    if (ec) {
        *error = DisplayName(root) + ": cannot be read: " + ec.message();
        return false;
    }
    return true;
}

bool IsFolderIn(const InstallTree& tree, const std::string& key)
{
    auto it = tree.find(key);
    return it != tree.end() && it->second.folder;
}

std::string ParentKey(const std::string& key)
{
    size_t last = key.rfind('\\');
    return last == std::string::npos ? std::string() : key.substr(0, last);
}

bool Balanced(const std::string& text)
{
    int depth = 0;
    for (char c : text) {
        depth += c == '(' ? 1 : c == ')' ? -1 : 0;
        if (depth < 0) {
            return false;
        }
    }
    return depth == 0;
}

// Every path a line will carry must fit the terminal's buffers and keep its
// brackets, or the line would name another file or none.
bool Fits(const InstallEntry& entry, const std::string& line, std::string* error)
{
    std::string installed = kInstallFolder + "\\" + entry.name949;
    std::string carried = kUpdateFolder + "\\" + entry.name949;
    if (installed.size() > kPathLimit || carried.size() > kPathLimit) {
        *error = DisplayName(entry.native) + ": its path on the terminal would be longer than " +
                 std::to_string(kPathLimit) + " bytes";
        return false;
    }
    if (!Balanced(entry.name949)) {
        *error = DisplayName(entry.native) + ": a bracket without its partner in the name would "
                 "break the list line " + Cp949ToUtf8(line);
        return false;
    }
    return true;
}

bool AddLine(const InstallEntry& entry, const std::string& line, PackagePlan* plan, std::string* error)
{
    if (!Fits(entry, line, error)) {
        return false;
    }
    plan->lines.push_back(line);
    return true;
}

bool Differs(const InstallEntry& now, const InstallTree& old, const std::string& key)
{
    auto it = old.find(key);
    return it == old.end() || it->second.folder || it->second.name949 != now.name949 ||
           !SameBytes(it->second.native, now.native);
}

// The terminal keeps a file's spelling when it is overwritten, so a file
// renamed only in letter case is deleted first and then brought anew.
bool RenamedInCase(const InstallTree& old, const InstallTree& now, const std::string& key)
{
    auto before = old.find(key);
    auto after = now.find(key);
    return before != old.end() && after != now.end() && before->second.name949 != after->second.name949;
}

// The terminal's RM does not clear a read-only attribute, so such a file
// cannot be removed by a list.
bool IsReadOnly(const fs::path& file)
{
    std::error_code ec;
    fs::perms perms = fs::status(file, ec).permissions();
    return !ec && (perms & fs::perms::owner_write) == fs::perms::none;
}

// A folder of OLD that holds a path left alone stays, or the terminal's
// RMDIR would take that path with it; NEW may not put a file in its place.
bool KeepsHoldingFolders(const InstallReading& old, const InstallTree& now, std::string* error)
{
    for (const std::string& key : old.holding) {
        auto it = now.find(key);
        if (it != now.end() && !it->second.folder) {
            *error = DisplayName(it->second.native) + ": a file in NEW where OLD has a folder holding files "
                     "make leaves alone (the terminal's own, or --exclude); the folder must stay";
            return false;
        }
    }
    return true;
}

bool PlanRemovals(const InstallReading& reading, const InstallTree& now, PackagePlan* plan, std::string* error)
{
    const InstallTree& old = reading.tree;
    auto stays = [&](const std::string& key) { return IsFolderIn(now, key) || reading.holding.count(key) != 0; };
    // Files first, then folders from the deepest, so each RMDIR finds its
    // subfolders gone.
    for (const auto& [key, entry] : old) {
        if (RenamedInCase(old, now, key) && entry.folder) {
            *error = DisplayName(entry.native) + ": the folder is renamed only in letter case in " +
                     "NEW (" + Cp949ToUtf8(now.at(key).name949) + "), which the terminal ignores; "
                     "rename it on the terminals with a package of its own";
            return false;
        }
        bool kept = now.count(key) != 0 && now.at(key).folder == entry.folder && !RenamedInCase(old, now, key);
        bool folderGoes = !ParentKey(key).empty() && !stays(ParentKey(key));
        if (entry.folder || kept || folderGoes) {
            continue;
        }
        if (IsReadOnly(entry.native)) {
            *error = DisplayName(entry.native) + ": read-only, and NEW " +
                     (now.count(key) != 0 ? "renames it" : "removes it") + ": the terminal's RM "
                     "cannot delete a read-only file, so no package can do this";
            return false;
        }
        if (!AddLine(entry, "RM(" + kInstallFolder + "\\" + entry.name949 + ")", plan, error)) {
            return false;
        }
    }
    for (auto it = old.rbegin(); it != old.rend(); ++it) {
        const InstallEntry& entry = it->second;
        if (entry.folder && !stays(it->first) &&
            !AddLine(entry, "RMDIR(" + kInstallFolder + "\\" + entry.name949 + ")", plan, error)) {
            return false;
        }
    }
    return true;
}

bool PlanAdditions(const InstallTree& old, const InstallTree& now, PackagePlan* plan, std::string* error)
{
    // Folders that hold a new or changed file, or are new themselves.
    std::set<std::string> folders;
    std::vector<const InstallEntry*> copies;
    for (const auto& [key, entry] : now) {
        if (entry.folder) {
            if (!IsFolderIn(old, key)) {
                folders.insert(key);
            }
            continue;
        }
        if (!Differs(entry, old, key)) {
            continue;
        }
        if (ParentKey(key).empty()) {
            std::string folded = FoldCase(entry.name949);
            if (folded == "hailwatch.exe" || folded == "patch_list.txt") {
                *error = DisplayName(entry.native) + ": a package cannot carry this file at its top "
                         "level (the terminal " + (folded == "patch_list.txt" ? "reads it as the list)" :
                         "leaves such a package alone)");
                return false;
            }
            plan->files.push_back({entry.native, entry.relative});
            ++plan->topLevelFiles;
            continue;
        }
        for (std::string parent = ParentKey(key); !parent.empty(); parent = ParentKey(parent)) {
            folders.insert(parent);
        }
        copies.push_back(&entry);
    }
    // A set of names in order puts every parent before its children.
    for (const std::string& key : folders) {
        const InstallEntry& entry = now.at(key);
        if (!AddLine(entry, "MKDIR(" + kInstallFolder + "\\" + entry.name949 + ")", plan, error)) {
            return false;
        }
    }
    for (const InstallEntry* entry : copies) {
        if (!AddLine(*entry, "CP(" + entry->name949 + ")(" + kInstallFolder + ")", plan, error)) {
            return false;
        }
        plan->files.push_back({entry->native, entry->relative});
    }
    return true;
}

} // namespace

bool PlanPackage(const fs::path& from, const fs::path& to, const LeftAlone& leftAlone, PackagePlan* plan,
                 std::string* error)
{
    InstallReading old;
    InstallReading now;
    plan->excluded.resize(leftAlone.Patterns().size());
    if (!ReadInstallTree(from, leftAlone, plan, &old, error) || !ReadInstallTree(to, leftAlone, plan, &now, error)) {
        return false;
    }
    return KeepsHoldingFolders(old, now.tree, error) && PlanRemovals(old, now.tree, plan, error) &&
           PlanAdditions(old.tree, now.tree, plan, error);
}

bool WritePackage(const PackagePlan& plan, const fs::path& output, std::string* error)
{
    std::error_code ec;
    if (fs::exists(output, ec) && (!fs::is_directory(output, ec) || !fs::is_empty(output, ec))) {
        *error = DisplayName(output) + ": already exists and is not an empty folder";
        return false;
    }
    fs::create_directories(output, ec);
    for (const PlannedFile& file : plan.files) {
        if (!std::ifstream(file.source, std::ios::binary)) {
            *error = DisplayName(file.source) + ": cannot be read";
            return false;
        }
        fs::path target = output / file.inPackage;
        fs::create_directories(target.parent_path(), ec);
        if (!ec) {
            fs::copy_file(file.source, target, fs::copy_options::overwrite_existing, ec);
        }
        if (ec) {
            *error = DisplayName(target) + ": cannot be written: " + ec.message();
            return false;
        }
    }
    std::ofstream list(output / "patch_list.txt", std::ios::binary);
    list << "# Made by hailpatch make.\r\n";
    for (const std::string& line : plan.lines) {
        list << line << "\r\n";
    }
    if (!list.flush()) {
        *error = DisplayName(output / "patch_list.txt") + ": cannot be written";
        return false;
    }
    return true;
}

} // namespace hailpatch
