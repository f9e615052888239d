// What `hailpatch make` puts in a package: the list's lines and the files,
// worked out from two install folders.
#ifndef HAILPATCH_PACKAGE_PLAN_H
#define HAILPATCH_PACKAGE_PLAN_H

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "left_alone.h"

namespace hailpatch {

namespace fs = std::filesystem;

struct PlannedFile {
    fs::path source;      // the file in NEW
    fs::path inPackage;   // where it goes, relative to the package
};

struct PackagePlan {
    std::vector<std::string> lines;   // the list, in code page 949, without line ends
    std::vector<PlannedFile> files;
    int topLevelFiles = 0;            // left for the bulk move
    // What was left alone, in OLD or NEW: the supervisor's own files (path,
    // UTF-8, and what it is), and the paths each --exclude pattern took.
    std::map<std::string, std::string> ownFiles;
    std::vector<std::set<std::string>> excluded;
};

// Removed files get RM and removed folders RMDIR (deepest first); the
// folders of files in subfolders get MKDIR (parents first, also when OLD
// has them, so the package does not depend on them), and those files CP.
// New or changed top-level files are left for the bulk move. What
// `leftAlone` covers is read as absent from both folders, and a folder of
// OLD that holds such a path is never removed. False, with one line in
// `error`, for a name or path the terminal cannot take.
bool PlanPackage(const fs::path& from, const fs::path& to, const LeftAlone& leftAlone, PackagePlan* plan,
                 std::string* error);

// Writes the planned package into `output`, which must not exist or be empty.
bool WritePackage(const PackagePlan& plan, const fs::path& output, std::string* error);

} // namespace hailpatch

#endif
