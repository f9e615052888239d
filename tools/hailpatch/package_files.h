// The files of a package folder on the PC, named as the terminal will name
// them: relative to the package, separated by backslashes, in code page 949.
#ifndef HAILPATCH_PACKAGE_FILES_H
#define HAILPATCH_PACKAGE_FILES_H

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace hailpatch {

namespace fs = std::filesystem;

struct PackageFile {
    fs::path native;        // where it is on this PC
    std::string name949;    // relative device name in 949; empty when not representable
    std::string shown;      // relative name for messages, UTF-8, backslashes
    bool representable = false;
    bool topLevel = false;
};

struct PackageContents {
    std::vector<PackageFile> files;  // sorted by shown name
    std::vector<std::string> folders; // relative 949 names of the subfolders
    fs::path list;                   // the patch list, empty when there is none
    bool listIsFolder = false;       // a folder stands where the list belongs
};

// Reads the tree under `folder`. False, with one line in `error`, when the
// folder is missing, is no folder or cannot be read.
bool ReadPackage(const fs::path& folder, PackageContents* contents, std::string* error);

// Opens the list for ReadNumberedPatchLine as the terminal's C runtime hands
// it over (the host backend's own stream, in its text mode). Null, with one
// line in `error`, when it cannot be read.
FILE* OpenList(const fs::path& list, std::string* error);

// The manifest and signature of a signed package (Signature\manifest.txt
// and Signature\manifest.sig), which no terminal moves and no manifest lists.
bool IsSignatureFile(const PackageFile& file);
// The same for a name relative to the package, with '/' or '\' between parts.
bool IsSignatureName(const std::string& name);

// ASCII letters folded to lower case: the terminal's file names ignore
// their case.
std::string FoldCase(const std::string& name);

} // namespace hailpatch

#endif
