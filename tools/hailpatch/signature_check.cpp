// The signature part of `check --key` and `make --sign`: the terminal's own
// check of a package's signature, run on a model terminal holding the key.
// Needs no private key, so it is in every build.
#include <iostream>
#include <system_error>

#include "commands.h"
#include "device_tree.h"
#include "native_text.h"
#include "package_check.h"
#include "package_signing.h"
#include "startup_run.h"

namespace hailpatch {

bool CheckSignature(const fs::path& package, const fs::path& publicKey, bool* applies,
                    std::vector<std::string>* refusal, std::string* error)
{
    std::error_code ec;
    if (!fs::is_regular_file(publicKey, ec)) {
        *error = DisplayName(publicKey) + ": no such key file";
        return false;
    }
    TempFolder device;
    fs::path hailnet;
    if (!device.Make("check", error)) return false;
    hailnet = device.Path() / "ResidentFlash" / "Hailnet";
    fs::create_directories(hailnet, ec);
    fs::copy_file(publicKey, hailnet / "update.pub", ec);
    if (ec) {
        *error = DisplayName(publicKey) + ": cannot be copied: " + ec.message();
        return false;
    }
    if (!CopyTree(package, device.Path() / "SDMMC" / "AirUpdate", error)) return false;
    *applies = RunSignatureCheck(device.Path(), refusal);
    return true;
}

int ReportSignature(const fs::path& package, const fs::path& publicKey)
{
    bool applies = false;
    std::vector<std::string> refusal;
    std::string error;
    if (!CheckSignature(package, publicKey, &applies, &refusal, &error)) {
        Complain(error);
        return kStatusBadInput;
    }
    if (applies) {
        std::cout << "signature: good; a terminal holding " << DisplayName(publicKey)
                  << " applies the package\n";
        return kStatusClean;
    }
    std::cout << "signature: a terminal holding " << DisplayName(publicKey)
              << " refuses the package and leaves it whole:\n";
    for (const std::string& line : refusal) {
        std::cout << "  " << line << "\n";
    }
    return kStatusWillNotWork;
}

} // namespace hailpatch
