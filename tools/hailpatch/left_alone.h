// What `make` leaves alone in OLD and NEW: the supervisor's own files (the
// terminal's, never a package's) and the paths an --exclude pattern names.
// Such a path is read as absent from both folders, and so is everything in a
// folder left alone: no line and no file of a package is about it.
#ifndef HAILPATCH_LEFT_ALONE_H
#define HAILPATCH_LEFT_ALONE_H

#include <string>
#include <vector>

#include "path_glob.h"

namespace hailpatch {

class LeftAlone {
public:
    // False, with one line in `error`, for a pattern that names nothing.
    bool Exclude(const std::string& pattern, std::string* error);

    // `relative` is UTF-8, relative to the install folder, '/' between names.
    // What the path is to the supervisor ("the fleet's key"), or "".
    std::string OwnRole(const std::string& relative) const;
    // The first pattern that names the path, or -1.
    int Excluder(const std::string& relative) const;
    bool Covers(const std::string& relative) const
    {
        return !OwnRole(relative).empty() || Excluder(relative) >= 0;
    }

    const std::vector<PathGlob>& Patterns() const { return patterns_; }

private:
    std::vector<PathGlob> patterns_;
};

} // namespace hailpatch

#endif
