// Signed packages on the PC: the manifest of every file with its size and
// SHA-256 (hashed by the terminal's own code), its signature, and the
// terminal's own check of both.
#ifndef HAILPATCH_PACKAGE_SIGNING_H
#define HAILPATCH_PACKAGE_SIGNING_H

#include <filesystem>
#include <string>
#include <vector>

#include "package_files.h"

namespace hailpatch {

namespace fs = std::filesystem;

// The manifest's two files, relative to the package, with '/' separators.
extern const char kManifestFile[];
extern const char kSignatureFile[];

// Writes PKG/Signature/manifest.txt and manifest.sig signed with the private
// key in `keyFile`; false with one line in `error` for a name the terminal
// cannot take, an unreadable file or key. The key itself goes nowhere.
bool SignPackage(const fs::path& package, const fs::path& keyFile, std::string* error);

} // namespace hailpatch

#endif
