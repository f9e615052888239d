#include "package_outcome.h"

#include <set>
#include <utility>

#include "package_files.h"

namespace hailpatch {

const char kPackageTreeFolder[] = "SDMMC/AirUpdate";

namespace {

const char kListName[] = "patch_list.txt";

// The name inside the package, or empty for a path outside it.
std::string InPackage(const std::string& relative)
{
    std::string prefix = std::string(kPackageTreeFolder) + "/";
    return relative.compare(0, prefix.size(), prefix) == 0 ? relative.substr(prefix.size()) : "";
}

} // namespace

std::string TreeToDevicePath(const std::string& relative)
{
    std::string path = "\\" + relative;
    for (char& c : path) {
        c = c == '/' ? '\\' : c;
    }
    return path;
}

std::vector<std::string> LostPackageFiles(const Tree& before, const Tree& after)
{
    std::set<std::pair<std::uintmax_t, std::uint64_t>> outside;
    for (const auto& [path, entry] : after) {
        if (!entry.folder && InPackage(path).empty()) {
            outside.insert({entry.size, entry.hash});
        }
    }
    std::vector<std::string> lost;
    for (const auto& [path, entry] : before) {
        std::string name = InPackage(path);
        if (entry.folder || name.empty() || FoldCase(name) == kListName) {
            continue;
        }
        if (after.count(path) == 0 && outside.count({entry.size, entry.hash}) == 0) {
            lost.push_back(TreeToDevicePath(path));
        }
    }
    return lost;
}

std::vector<std::string> UnmovedSubfolderFiles(const Tree& before, const Tree& after)
{
    std::vector<std::string> left;
    for (const auto& [path, entry] : before) {
        std::string name = InPackage(path);
        // A signed package's manifest and signature stay on the card by design.
        if (entry.folder || name.find('/') == std::string::npos || IsSignatureName(name)) {
            continue;
        }
        auto now = after.find(path);
        if (now != after.end() && now->second.hash == entry.hash) {
            left.push_back(TreeToDevicePath(path));
        }
    }
    return left;
}

} // namespace hailpatch
