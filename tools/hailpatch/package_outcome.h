// What became of a package's files after one or more starts, read from the
// device before and after: a file is installed when its bytes lie outside
// the package, kept while it is still in the package, and lost otherwise.
#ifndef HAILPATCH_PACKAGE_OUTCOME_H
#define HAILPATCH_PACKAGE_OUTCOME_H

#include <string>
#include <vector>

#include "device_tree.h"

namespace hailpatch {

// The package's folder in a device tree's relative names.
extern const char kPackageTreeFolder[];   // "SDMMC/AirUpdate"

// Files the package held before the first start (the list left out) that
// are neither in the package nor anywhere else on the device after the last
// one; device paths of the package, "\SDMMC\AirUpdate\a.dll".
std::vector<std::string> LostPackageFiles(const Tree& before, const Tree& after);

// Files in the package's subfolders that are still there, unchanged: nothing
// moved them, so they never reach the terminal.
std::vector<std::string> UnmovedSubfolderFiles(const Tree& before, const Tree& after);

// "SDMMC/AirUpdate/Map/a" as "\SDMMC\AirUpdate\Map\a".
std::string TreeToDevicePath(const std::string& relative);

} // namespace hailpatch

#endif
