#include "model_terminal.h"

#include <system_error>

#include "package_files.h"
#include "pc_names.h"
#include "platform/host/host_control.h"
#include "tools/common/pc_text.h"

namespace hailpatch {

const char kInstallFolder[] = "\\ResidentFlash\\Hailnet";
const char kUpdateFolder[] = "\\SDMMC\\AirUpdate";
const char* const kWatchedImages[4] = {"Hailnet.exe", "Hailwire.exe", "Hailfare.exe", "Hailtrack.exe"};

namespace {

std::string Under(const std::string& folder, const char* relative) { return folder + "/" + relative; }

// A stock terminal: the four applications in the install folder, and a card.
bool MakeStockTerminal(const std::string& root, std::string* error)
{
    std::string install = Under(root, "ResidentFlash/Hailnet");
    bool made = host::MakeFolders(install) && host::MakeFolders(Under(root, "SDMMC"));
    for (const char* image : kWatchedImages) {
        made = made && host::WriteWholeFile(install + "/" + image, std::string("stock ") + image + "\n");
    }
    if (!made) {
        *error = "cannot make a stock terminal";
    }
    return made;
}

// The host backend's one-line reasons name native paths; the user named PC ones.
bool CopyFromPc(const fs::path& from, const std::string& to, std::string* error)
{
    std::string why;
    if (!host::CopyFolder(NativeFolder(from), to, &why)) {
        *error = tools::DisplayName(from) + ": cannot be copied to the model terminal (" + why + ")";
        return false;
    }
    return true;
}

} // namespace

bool ValidateDevice(const fs::path& device, std::string* error)
{
    std::error_code ec;
    if (!fs::is_directory(device, ec)) {
        *error = tools::DisplayName(device) + (fs::exists(device, ec) ? ": not a folder" : ": no such folder");
        return false;
    }
    if (!fs::is_directory(device / "ResidentFlash", ec)) {
        *error = tools::DisplayName(device) + ": not a device folder (no ResidentFlash folder in it)";
        return false;
    }
    return CheckPcNames(device, error);
}

// Through a copy held in memory, so that a package lying at the update
// folder already (try --in-place on a card's own package) survives its
// emptying.
bool PlacePackage(const fs::path& package, const std::string& device, std::string* error)
{
    MemoryFolder staging;
    std::string update = Under(device, "SDMMC/AirUpdate");
    bool placed = CopyFromPc(package, staging.Root(), error);
    if (placed && !host::RemoveTree(update)) {
        *error = tools::DisplayName(fs::u8path(update)) + ": cannot be emptied";
        placed = false;
    }
    std::string why;
    if (placed && !(host::MakeFolders(Under(device, "SDMMC")) && host::CopyFolder(staging.Root(), update, &why))) {
        *error = tools::DisplayName(package) + ": cannot be put on the card (" + why + ")";
        placed = false;
    }
    return placed;
}

bool PlaceKey(const fs::path& publicKey, const std::string& device, std::string* error)
{
    std::string key;
    std::string hailnet = Under(device, "ResidentFlash/Hailnet");
    if (!host::ReadWholeFile(NativeFolder(publicKey), &key)) {
        *error = tools::DisplayName(publicKey) + ": cannot be read";
        return false;
    }
    host::RemoveTree(hailnet + "/update.pub");
    if (!host::MakeFolders(hailnet) || !host::WriteWholeFile(hailnet + "/update.pub", key)) {
        *error = tools::DisplayName(publicKey) + ": cannot be put on the device";
        return false;
    }
    return true;
}

bool ModelTerminal::Make(const fs::path& device, const fs::path& install, const fs::path& package,
                         const fs::path& publicKey, std::string* error)
{
    bool made = !device.empty()  ? CopyFromPc(device, Root(), error)
                : install.empty() ? MakeStockTerminal(Root(), error)
                                  : host::MakeFolders(Under(Root(), "SDMMC")) &&
                                        host::MakeFolders(Under(Root(), "ResidentFlash/Hailnet")) &&
                                        CopyFromPc(install, Under(Root(), "ResidentFlash/Hailnet"), error);
    return made && (publicKey.empty() || PlaceKey(publicKey, Root(), error)) &&
           PlacePackage(package, Root(), error);
}

std::string ResolveDevicePath(const std::string& path949)
{
    std::string native = host::NativePath(host::Cp949ToUtf8(path949));
    const std::string& root = host::DeviceRoot();
    if (native.empty() || native.compare(0, root.size(), root) != 0) {
        return std::string();
    }
    std::string device = native.substr(root.size());
    for (char& c : device) {
        c = c == '/' ? '\\' : c;
    }
    return device.empty() ? "\\" : device;
}

} // namespace hailpatch
