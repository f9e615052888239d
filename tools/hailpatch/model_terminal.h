// The terminal a check runs on: a copy of a real terminal's tree or a stock
// one, with the package on its card and the applications running; and the
// device paths of it as the terminal resolves them.
#ifndef HAILPATCH_MODEL_TERMINAL_H
#define HAILPATCH_MODEL_TERMINAL_H

#include <filesystem>
#include <string>
#include <vector>

#include "device_tree.h"

namespace hailpatch {

namespace fs = std::filesystem;

extern const char kInstallFolder[];     // \ResidentFlash\Hailnet
extern const char kUpdateFolder[];      // \SDMMC\AirUpdate
// The executables of the applications the supervisor keeps running.
extern const char* const kWatchedImages[4];

// Held in memory: a check writes, cuts and undoes it thousands of times, and
// a file call to memory costs next to nothing on every PC.
class ModelTerminal {
public:
    // A copy of `device` (a folder with ResidentFlash and SDMMC), or, when it
    // is empty, a terminal whose install folder is a copy of `install`, or,
    // when both are, a stock terminal; then the package on its card and, when
    // `publicKey` is given, that key as the terminal's update.pub. False with
    // one line in `error` when it cannot be made.
    bool Make(const fs::path& device, const fs::path& install, const fs::path& package,
              const fs::path& publicKey, std::string* error);
    // The device root, and beside it the change journal's stash: native
    // folders for host::SetDeviceRoot and host::KeepJournal.
    const std::string& Root() const { return device_.Root(); }
    const std::string& Stash() const { return stash_.Root(); }

private:
    MemoryFolder device_;
    MemoryFolder stash_;
};

// Puts `publicKey` on the device at the native folder `device` as
// \ResidentFlash\Hailnet\update.pub.
bool PlaceKey(const fs::path& publicKey, const std::string& device, std::string* error);

// Checks that a folder is a device folder, before anything is copied.
bool ValidateDevice(const fs::path& device, std::string* error);

// Puts a copy of `package` at the card's update folder of the device at the
// native folder `device`, in place of whatever lies there. `package` must not
// lie inside `device`.
bool PlacePackage(const fs::path& package, const std::string& device, std::string* error);

// The device path (949) as the host backend resolves it on the device now:
// ".", "..", trailing dots and spaces applied, existing folders and files in
// their own spelling; UTF-8, backslashes. Empty for a path naming nothing
// (a network path, a drive letter).
std::string ResolveDevicePath(const std::string& path949);

} // namespace hailpatch

#endif
