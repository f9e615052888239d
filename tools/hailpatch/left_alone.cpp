#include "left_alone.h"

#include <algorithm>

#include "own_files.h"

namespace hailpatch {

namespace {

const char kInstallFolder[] = "\\ResidentFlash\\Hailnet\\";

bool IsLogFolder(const std::string& relative)
{
    std::string folded = relative.substr(0, 4);
    std::transform(folded.begin(), folded.end(), folded.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return folded == "log" ? relative.size() == 3 : folded == "log/";
}

} // namespace

bool LeftAlone::Exclude(const std::string& pattern, std::string* error)
{
    PathGlob glob;
    if (!glob.Parse(pattern, error)) {
        return false;
    }
    patterns_.push_back(glob);
    return true;
}

std::string LeftAlone::OwnRole(const std::string& relative) const
{
    // The supervisor logs to \ResidentFlash\Log; a copy of a terminal made
    // from further up may bring that folder along into the install folder.
    if (IsLogFolder(relative)) {
        return "the supervisor's log folder";
    }
    std::string device = kInstallFolder + relative;
    std::replace(device.begin(), device.end(), '/', '\\');
    return OwnFileRole(device);
}

int LeftAlone::Excluder(const std::string& relative) const
{
    for (size_t i = 0; i < patterns_.size(); ++i) {
        if (patterns_[i].Matches(relative)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace hailpatch
