#include "device_tree.h"

#include <algorithm>
#include <system_error>

#include "platform/host/native.h"
#include "tools/common/pc_text.h"

namespace hailpatch {

namespace {

std::string DevicePath(const std::string& relative)
{
    std::string path = "\\" + relative;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

bool SameThing(const host::PathState& a, const host::PathState& b)
{
    return a.exists == b.exists && a.folder == b.folder && a.size == b.size && a.hash == b.hash;
}

} // namespace

std::string NativeFolder(const fs::path& path)
{
    return tools::NativeName(fs::absolute(path));
}

std::string DescribeChange(const PathChange& change)
{
    const host::PathState& shown = change.after.exists ? change.after : change.before;
    const char* what = !change.before.exists ? "added   " : !change.after.exists ? "removed " : "changed ";
    if (change.before.exists && change.after.exists && change.before.folder != change.after.folder) {
        what = "replaced";
    }
    if (shown.folder) {
        return what + change.path + "\\";
    }
    bool resized = change.before.exists && change.after.exists && !change.before.folder;
    return what + change.path + " (" + (resized ? std::to_string(change.before.size) + " -> " : "") +
           std::to_string(shown.size) + " bytes)";
}

bool SnapshotTree(const fs::path& root, Tree* tree, std::string* error)
{
    std::error_code ec;
    if (!fs::is_directory(root, ec)) {
        *error = tools::DisplayName(root) + ": cannot be read";
        return false;
    }
    *tree = SnapshotFolder(NativeFolder(root));
    return true;
}

Tree SnapshotFolder(const std::string& native)
{
    Tree tree;
    for (const host::FolderEntry& entry : host::ListFolder(native)) {
        tree[entry.path] = entry.state;
    }
    return tree;
}

std::vector<PathChange> DiffTrees(const Tree& before, const Tree& after)
{
    std::map<std::string, PathChange> ordered;
    for (const auto& [path, state] : before) {
        auto now = after.find(path);
        host::PathState gone;
        if (now == after.end() || !SameThing(state, now->second)) {
            ordered[path] = {DevicePath(path), state, now == after.end() ? gone : now->second};
        }
    }
    for (const auto& [path, state] : after) {
        if (before.count(path) == 0) {
            ordered[path] = {DevicePath(path), host::PathState(), state};
        }
    }
    std::vector<PathChange> changes;
    for (const auto& [path, change] : ordered) {
        changes.push_back(change);
    }
    return changes;
}

std::vector<std::string> DescribeChanges(const Tree& before, const Tree& after)
{
    std::vector<std::string> lines;
    for (const PathChange& change : DiffTrees(before, after)) {
        lines.push_back(DescribeChange(change));
    }
    return lines;
}

bool CopyTree(const fs::path& from, const fs::path& to, std::string* error)
{
    std::string why;
    if (!host::CopyFolder(NativeFolder(from), NativeFolder(to), &why)) {
        *error = tools::DisplayName(from) + ": cannot be copied: " + why;
        return false;
    }
    return true;
}

bool SameBytes(const std::string& a, const std::string& b)
{
    std::string first;
    std::string second;
    return host::ReadWholeFile(a, &first) && host::ReadWholeFile(b, &second) && first == second;
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
    std::string made = host::native::MakeTemporaryFolder("hailpatch-" + tag, inMemory);
    path_ = fs::u8path(made);
    if (made.empty()) {
        *error = "cannot make a temporary folder";
        return false;
    }
    return true;
}

} // namespace hailpatch
