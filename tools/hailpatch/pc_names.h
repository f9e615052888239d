// Names as the PC holds them. The terminal's file system gives every name in
// Unicode; a PC copy must hold them in the PC's own form (UTF-8 on Linux).
// A card copied without converting its names holds code page 949 bytes, and
// the model terminal would read such a name as another file than the one a
// package names, so a folder holding one is refused before anything runs.
#ifndef HAILPATCH_PC_NAMES_H
#define HAILPATCH_PC_NAMES_H

#include <filesystem>
#include <string>

namespace hailpatch {

namespace fs = std::filesystem;

// One line naming the file whose name is not in the PC's form, and what to do.
std::string ForeignNameProblem(const fs::path& path);

// False, with that line in `error`, at the first such name in `folder`, at
// any depth (the folder's own name never reaches a terminal).
bool CheckPcNames(const fs::path& folder, std::string* error);

} // namespace hailpatch

#endif
