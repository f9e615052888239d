// The patterns of `make --exclude`: paths relative to the install folder,
// '/' between names, matched as the terminal names files (ASCII letters in
// either case).
//
//   *    any run of characters within one name
//   ?    one character
//   **   as a whole name: any number of folders, none included
//
// A pattern without '/' is matched against every name at any depth
// (`*.log`); one with '/' against the whole path from the install folder
// (`Map/Cache/*`, `Log/**`, `/fare.tbl` for the top level only). A
// backslash is read as '/'.
#ifndef HAILPATCH_PATH_GLOB_H
#define HAILPATCH_PATH_GLOB_H

#include <string>
#include <vector>

namespace hailpatch {

class PathGlob {
public:
    // False, with one line in `error`, for a pattern that names nothing
    // (empty, or only separators) or climbs out of the folder (`..`).
    bool Parse(const std::string& pattern, std::string* error);
    // Whether `path` (UTF-8, '/' between names, no leading '/') matches.
    bool Matches(const std::string& path) const;
    const std::string& Text() const { return text_; }

private:
    std::string text_;
    std::vector<std::string> names_;
    bool anyDepth_ = false;
};

} // namespace hailpatch

#endif
