// Device folders on the PC for `try` and `make`: copies that keep what the
// host backend stores about a file (permissions, the attribute extended
// attribute), snapshots and their differences.
#ifndef HAILPATCH_DEVICE_TREE_H
#define HAILPATCH_DEVICE_TREE_H

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace hailpatch {

namespace fs = std::filesystem;

struct TreeEntry {
    bool folder = false;
    std::uintmax_t size = 0;
    std::uint64_t hash = 0;
};

// Relative paths with '/' separators.
using Tree = std::map<std::string, TreeEntry>;

bool SnapshotTree(const fs::path& root, Tree* tree, std::string* error);

// "added   \path (N bytes)", "removed ...", "changed \path (N -> M bytes)",
// in path order; folders end in a backslash.
std::vector<std::string> DescribeChanges(const Tree& before, const Tree& after);

// Copies the contents of `from` into the folder `to` (created if missing).
bool CopyTree(const fs::path& from, const fs::path& to, std::string* error);

// Whether two files hold the same bytes.
bool SameBytes(const fs::path& a, const fs::path& b);

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
