#include "model_terminal.h"

#include <fstream>
#include <system_error>

#include "native_text.h"
#include "package_files.h"
#include "pc_names.h"
#include "platform/host/host_control.h"

namespace hailpatch {

const char kInstallFolder[] = "\\ResidentFlash\\Hailnet";
const char kUpdateFolder[] = "\\SDMMC\\AirUpdate";
const char* const kWatchedImages[4] = {"Hailnet.exe", "Hailwire.exe", "Hailfare.exe", "Hailtrack.exe"};

namespace {

// A stock terminal: the four applications in the install folder, and a card.
bool MakeStockTerminal(const fs::path& root, std::string* error)
{
    std::error_code ec;
    fs::path install = root / "ResidentFlash" / "Hailnet";
    fs::create_directories(install, ec);
    fs::create_directories(root / "SDMMC", ec);
    for (const char* image : kWatchedImages) {
        std::ofstream out(install / image, std::ios::binary);
        out << "stock " << image << "\n";
        if (!out.flush()) {
            *error = "cannot make a stock terminal";
            return false;
        }
    }
    return !ec;
}

std::uintmax_t BytesIn(const fs::path& folder)
{
    std::uintmax_t bytes = 1;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec); !folder.empty() && !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        bytes += it->is_regular_file(ec) ? it->file_size(ec) : 0;
    }
    return bytes;
}

} // namespace

bool ValidateDevice(const fs::path& device, std::string* error)
{
    std::error_code ec;
    if (!fs::is_directory(device, ec)) {
        *error = DisplayName(device) + (fs::exists(device, ec) ? ": not a folder" : ": no such folder");
        return false;
    }
    if (!fs::is_directory(device / "ResidentFlash", ec)) {
        *error = DisplayName(device) + ": not a device folder (no ResidentFlash folder in it)";
        return false;
    }
    return CheckPcNames(device, error);
}

bool PlacePackage(const fs::path& package, const fs::path& device, std::string* error)
{
    TempFolder staging;
    if (!staging.Make("package", error) || !CopyTree(package, staging.Path(), error)) {
        return false;
    }
    fs::path update = device / "SDMMC" / "AirUpdate";
    std::error_code ec;
    fs::remove_all(update, ec);
    if (ec) {
        *error = DisplayName(update) + ": cannot be emptied: " + ec.message();
        return false;
    }
    return CopyTree(staging.Path(), update, error);
}

bool PlaceKey(const fs::path& publicKey, const fs::path& device, std::string* error)
{
    std::error_code ec;
    fs::path hailnet = device / "ResidentFlash" / "Hailnet";
    fs::create_directories(hailnet, ec);
    fs::copy_file(publicKey, hailnet / "update.pub", fs::copy_options::overwrite_existing, ec);
    if (ec) {
        *error = DisplayName(publicKey) + ": cannot be put on the device: " + ec.message();
    }
    return !ec;
}

bool ModelTerminal::Make(const fs::path& device, const fs::path& package, const fs::path& publicKey,
                         std::string* error)
{
    std::error_code ec;
    if (!folder_.Make("terminal", error, BytesIn(device) + BytesIn(package)) ||
        !fs::create_directory(Stash(), ec)) {
        return false;
    }
    bool made = device.empty() ? MakeStockTerminal(Root(), error) : CopyTree(device, Root(), error);
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
