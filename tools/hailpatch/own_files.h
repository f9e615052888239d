// The supervisor's own files on a terminal, in one place: the ones it keeps
// for itself (its log, the list's progress record), which a run's changes
// leave out, and every file a package must not change unawares (the log
// markers, the fleet's key, the verification note), which `make` never
// packages and `check` names when a package changes one.
#ifndef HAILPATCH_OWN_FILES_H
#define HAILPATCH_OWN_FILES_H

#include <string>

namespace hailpatch {

// Its log and the list's progress record, on the flash store or where
// earlier versions kept the record. `devicePath` in UTF-8.
bool IsBookkeeping(const std::string& devicePath);

// What the file is to the supervisor ("the fleet's key"), or "" for a file
// that is none of its own.
std::string OwnFileRole(const std::string& devicePath);

} // namespace hailpatch

#endif
