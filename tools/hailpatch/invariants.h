// What must hold of a terminal after any start, however the power was cut:
// every file of the package whole somewhere (installed, or still on the
// card), every watched application's executable a file, and the root
// folders, the install folder and the package still there. Taken from the
// model terminal before its first start, asked of it after any run.
#ifndef HAILPATCH_INVARIANTS_H
#define HAILPATCH_INVARIANTS_H

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "device_tracker.h"

namespace hailpatch {

namespace fs = std::filesystem;

struct CardFile {
    std::string path;          // device path, UTF-8, as spelled on the card
    host::PathState state;
    bool topLevel = false;
};

class Invariants {
public:
    // Looks at the model terminal whose device root is the native folder
    // `root`, before any start.
    void Take(const std::string& root);
    const std::vector<CardFile>& Package() const { return package_; }
    // The folders no package may remove: the root, \SDMMC, \ResidentFlash,
    // the install folder and the package, those that were there.
    const std::vector<std::string>& Roots() const { return roots_; }

    // Package files now neither in their place nor anywhere else on the
    // device, given every change since Take.
    std::vector<std::string> LostFiles(const DeviceTracker& tracker) const;
    // Watched executables that were files and are no file now.
    std::vector<std::string> MissingImages() const;
    // Protected folders that are gone now.
    std::vector<std::string> RemovedRoots() const;
    // The device path is inside the package folder.
    static bool InPackage(const std::string& path);

private:
    std::vector<CardFile> package_;
    std::vector<std::string> images_;
    std::vector<std::string> roots_;
    // Files outside the package whose bytes a package file also has.
    std::multimap<unsigned long long, std::string> twins_;
};

} // namespace hailpatch

#endif
