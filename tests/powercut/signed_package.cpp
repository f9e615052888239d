#include "tests/powercut/signed_package.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "key_files.h"
#include "patch/Sha256.h"

namespace powercut {

namespace {

namespace fs = std::filesystem;

const std::string kPackage = "\\SDMMC\\AirUpdate\\";

std::string HashHex(const std::string& content)
{
    CSha256 sha;
    sha.Add(reinterpret_cast<const BYTE*>(content.data()), content.size());
    BYTE digest[SHA256_BYTES];
    sha.Finish(digest);
    std::string hex;
    char two[3];
    for (BYTE byte : digest) {
        std::snprintf(two, sizeof(two), "%02x", byte);
        hex += two;
    }
    return hex;
}

std::string Manifest(const Tree& device)
{
    std::string manifest = "HAILWATCH MANIFEST 2\nSEQUENCE 7\n";
    for (const auto& [path, entry] : device) {
        if (entry.folder || path.rfind(kPackage, 0) != 0) continue;
        manifest += HashHex(entry.content) + " " + std::to_string(entry.content.size()) + " " +
                    path.substr(kPackage.size()) + "\n";
    }
    return manifest;
}

} // namespace

bool SignForTerminal(Package* package, std::string* error)
{
    fs::path keys = fs::temp_directory_path() / ("hailwatch-powercut-keys-" + std::to_string(getpid()));
    fs::remove_all(keys);
    fs::create_directories(keys);
    std::string manifest = Manifest(package->device);
    std::string signature;
    bool made = hailpatch::GenerateKeyPair(keys / "fleet", error) &&
                hailpatch::SignBytes(keys / "fleet.key", manifest, &signature, error);
    std::ifstream in(keys / "fleet.pub", std::ios::binary);
    std::string blob((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    fs::remove_all(keys);
    if (!made) return false;
    AddFile(&package->device, kPackage + "Signature\\manifest.txt", manifest);
    AddFile(&package->device, kPackage + "Signature\\manifest.sig", signature);
    AddFile(&package->device, "\\ResidentFlash\\Hailnet\\update.pub", blob);
    return true;
}

} // namespace powercut
