// Device folders for check, `try` and `make`: copies that keep what the host
// backend stores about a file, snapshots and their one difference, read
// through the backend's own folder calls (a PC folder or a memory-held one).
#ifndef HAILPATCH_DEVICE_TREE_H
#define HAILPATCH_DEVICE_TREE_H

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/host/host_control.h"

namespace hailpatch {

namespace fs = std::filesystem;

// A path changed over a run: what stood there first and at the end.
struct PathChange {
    std::string path;   // device path, "\\ResidentFlash\\Hailnet\\a.dll"
    host::PathState before;
    host::PathState after;
};

// "added   \path (5 bytes)", "removed \path\" for a folder, "changed \path
// (5 -> 7 bytes)", "replaced\path\" where a file became a folder or the other
// way round.
std::string DescribeChange(const PathChange& change);

// A PC path as the host backend's file calls take it: absolute, UTF-8.
std::string NativeFolder(const fs::path& path);

// A folder's contents with what stands at each path: relative paths with '/'
// separators, bytes hashed. Attributes are kept but not compared: a tree's
// difference is in its files and folders.
using Tree = std::map<std::string, host::PathState>;

// False with one line in `error` when `root` cannot be read.
bool SnapshotTree(const fs::path& root, Tree* tree, std::string* error);
// The same of a native folder (a memory-held one, say).
Tree SnapshotFolder(const std::string& native);

// The paths whose file or folder differs, as device paths under the root
// folder, in path order.
std::vector<PathChange> DiffTrees(const Tree& before, const Tree& after);

// DescribeChange of every difference.
std::vector<std::string> DescribeChanges(const Tree& before, const Tree& after);

// Copies the contents of `from` into the folder `to` (created if missing),
// with the attributes the host backend keeps.
bool CopyTree(const fs::path& from, const fs::path& to, std::string* error);

// Whether two files, given as native paths, hold the same bytes.
bool SameBytes(const std::string& a, const std::string& b);

// A folder held in this process's memory, gone with the object.
class MemoryFolder {
public:
    MemoryFolder() : root_(host::MakeMemoryFolder()) {}
    ~MemoryFolder() { host::DropMemoryFolder(root_); }
    const std::string& Root() const { return root_; }

private:
    std::string root_;
    MemoryFolder(const MemoryFolder&) = delete;
    MemoryFolder& operator=(const MemoryFolder&) = delete;
};

// A new empty folder under the system's temporary folder, removed with the
// object.
class TempFolder {
public:
    TempFolder() = default;
    ~TempFolder();
    // With `inMemory` bytes to hold, in memory where the PC allows.
    bool Make(const std::string& tag, std::string* error, std::uintmax_t inMemory = 0);
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
};

} // namespace hailpatch

#endif
