// What `sign` refuses: a package that a terminal holding the key would
// refuse, or could not take up again after a start cut short. Judged with
// the terminal's own rules (patch/PackageManifest, patch/PackagePath,
// patch/PatchLine), never a second copy of them.
#ifndef HAILPATCH_SIGNABLE_PACKAGE_H
#define HAILPATCH_SIGNABLE_PACKAGE_H

#include <filesystem>
#include <string>

#include "package_files.h"

namespace hailpatch {

namespace fs = std::filesystem;

// False with one line in `error` naming the file or the list line.
bool IsSignable(const fs::path& package, const PackageContents& contents, std::string* error);

} // namespace hailpatch

#endif
