// The undo copy a terminal that asks for rollbacks keeps of an update, read
// from a device folder with the terminal's own code: where the update
// stands, and one line per entry.
#ifndef HAILPATCH_UNDO_LISTING_H
#define HAILPATCH_UNDO_LISTING_H

#include <filesystem>
#include <string>
#include <vector>

namespace hailpatch {

namespace fs = std::filesystem;

// Whether the device holds \ResidentFlash\Hailnet\update.rollback.
bool AsksForRollbacks(const fs::path& root);

// "probation: ..." or "updating: ...", then per entry "saved   \path (N
// bytes, attributes 0xNN)", "folder  \path (attributes 0xNN)", "new     \path"
// or "closed  TITLE"; a copy that does not match its record says so.
std::vector<std::string> DescribeUndoCopy(const fs::path& root);

} // namespace hailpatch

#endif
