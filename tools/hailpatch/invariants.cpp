#include "invariants.h"

#include <algorithm>
#include <set>
#include <system_error>

#include "platform/host/host_control.h"

#include "model_terminal.h"

namespace hailpatch {

namespace {

const char* const kRootFolders[] = {"\\", "\\SDMMC", "\\ResidentFlash", "\\ResidentFlash\\Hailnet",
                                    "\\SDMMC\\AirUpdate"};

std::string DevicePathOf(const std::string& relative)
{
    std::string path = "\\" + relative;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

bool IsFile(const host::PathState& state)
{
    return state.exists && !state.folder;
}

bool IsSameListName(const std::string& name)
{
    std::string folded = name;
    for (char& c : folded) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return folded == "patch_list.txt";
}

} // namespace

bool Invariants::InPackage(const std::string& path)
{
    std::string prefix = std::string(kUpdateFolder) + "\\";
    if (path.size() <= prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        char a = path[i];
        char b = prefix[i];
        if ((a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) != (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b)) {
            return false;
        }
    }
    return true;
}

// One walk of the device: the package's files with their bytes hashed, and
// the files elsewhere of the same sizes, so that a package file already on
// the terminal before the start is known to be there.
void Invariants::Take(const std::string& root)
{
    std::set<unsigned long long> sizes;
    std::vector<host::FolderEntry> others;
    for (const host::FolderEntry& entry : host::ListFolder(root, false)) {
        std::string path = DevicePathOf(entry.path);
        if (entry.state.folder || IsBookkeeping(path)) {
            continue;
        }
        if (InPackage(path)) {
            // The list is read and deleted, never installed.
            if (path.size() == std::string(kUpdateFolder).size() + 15 &&
                IsSameListName(path.substr(std::string(kUpdateFolder).size() + 1))) {
                continue;
            }
            CardFile file;
            file.path = path;
            file.state = host::StateOf(path);
            file.topLevel = path.find('\\', std::string(kUpdateFolder).size() + 1) == std::string::npos;
            sizes.insert(file.state.size);
            package_.push_back(file);
        } else {
            others.push_back({path, entry.state});
        }
    }
    // A PC lists a folder in an order of its own; the report's is the paths'.
    std::sort(package_.begin(), package_.end(), [](const CardFile& a, const CardFile& b) { return a.path < b.path; });
    for (const host::FolderEntry& other : others) {
        if (sizes.count(other.state.size) != 0) {
            twins_.emplace(host::StateOf(other.path).hash, other.path);
        }
    }
    for (const char* image : kWatchedImages) {
        std::string path = std::string(kInstallFolder) + "\\" + image;
        if (IsFile(host::StateOf(path))) {
            images_.push_back(path);
        }
    }
    for (const char* folder : kRootFolders) {
        host::PathState state = host::StateOf(folder);
        if (std::string(folder) == "\\" || (state.exists && state.folder)) {
            roots_.push_back(folder);
        }
    }
}

std::vector<std::string> Invariants::LostFiles(const DeviceTracker& tracker) const
{
    std::set<unsigned long long> outside;
    for (const auto& [path, state] : tracker.Touched()) {
        if (IsFile(state) && !InPackage(path)) {
            outside.insert(state.hash);
        }
    }
    std::vector<std::string> lost;
    for (const CardFile& file : package_) {
        bool touched = false;
        host::PathState now = tracker.Now(file.path, &touched);
        if (!touched || (IsFile(now) && now.hash == file.state.hash) || outside.count(file.state.hash) != 0) {
            continue;
        }
        bool twin = false;
        auto [from, to] = twins_.equal_range(file.state.hash);
        for (auto it = from; it != to && !twin; ++it) {
            bool changed = false;
            tracker.Now(it->second, &changed);
            twin = !changed;
        }
        if (!twin) {
            lost.push_back(file.path);
        }
    }
    return lost;
}

std::vector<std::string> Invariants::MissingImages() const
{
    std::vector<std::string> missing;
    for (const std::string& image : images_) {
        if (!IsFile(host::StateOf(image))) {
            missing.push_back(image);
        }
    }
    return missing;
}

std::vector<std::string> Invariants::RemovedRoots() const
{
    std::vector<std::string> removed;
    for (const std::string& folder : roots_) {
        host::PathState state = host::StateOf(folder);
        if (folder != "\\" && !(state.exists && state.folder)) {
            removed.push_back(folder);
        }
    }
    return removed;
}

} // namespace hailpatch
