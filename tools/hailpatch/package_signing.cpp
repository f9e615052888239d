#include "package_signing.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "device_tree.h"
#include "key_files.h"
#include "native_text.h"
#include "patch/PackageManifest.h"
#include "patch/PatchLine.h"
#include "patch/Sha256.h"
#include "startup_run.h"

namespace hailpatch {

const char kManifestFile[] = "Signature/manifest.txt";
const char kSignatureFile[] = "Signature/manifest.sig";

namespace {

const char kManifestHeader[] = "HAILWATCH MANIFEST 1\n";

// The size and SHA-256 of a file, with the terminal's own hash code.
bool HashNativeFile(const fs::path& path, unsigned long long* size, std::string* hex)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    CSha256 sha;
    std::vector<char> chunk(1 << 16);
    *size = 0;
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
        sha.Add(reinterpret_cast<const BYTE*>(chunk.data()), static_cast<size_t>(in.gcount()));
        *size += static_cast<unsigned long long>(in.gcount());
    }
    if (in.bad()) return false;
    BYTE digest[SHA256_BYTES];
    sha.Finish(digest);
    hex->clear();
    char two[3];
    for (BYTE byte : digest) {
        std::snprintf(two, sizeof(two), "%02x", byte);
        *hex += two;
    }
    return true;
}

bool BuildManifest(const PackageContents& contents, std::string* manifest, std::string* error)
{
    *manifest = kManifestHeader;
    for (const PackageFile& file : contents.files) {
        if (IsSignatureFile(file)) continue;
        if (!file.representable) {
            *error = file.shown + ": code page 949 cannot hold its name, so no manifest can list it";
            return false;
        }
        unsigned long long size = 0;
        std::string hex;
        if (!HashNativeFile(file.native, &size, &hex)) {
            *error = DisplayName(file.native) + ": cannot be read";
            return false;
        }
        if (size > 0xFFFFFFFFull) {
            *error = file.shown + ": over 4 GB, more than the terminal's files hold";
            return false;
        }
        *manifest += hex + " " + std::to_string(size) + " " + file.name949 + "\n";
    }
    // The terminal's own parser must take what is signed.
    int count = 0;
    if (!ParseManifest(manifest->data(), manifest->size(), nullptr, 0, &count)) {
        *error = "the manifest made is not one the terminal reads (a name it cannot take?)";
        return false;
    }
    return true;
}

// The manifest and the signature stay on the card: a list that would move
// one of them (read with the terminal's own line rules) is not signed.
bool MovesSignature(const PackageContents& contents, std::string* error)
{
    if (contents.list.empty()) return false;
    FILE* list = OpenListAsText(contents.list, error);
    if (list == nullptr) return true;
    const std::string signatureFolder = "\\SDMMC\\AirUpdate\\Signature\\";
    char line[PATCH_LINE_SIZE];
    int inLongLine = 0;
    int isTail = 0;
    int number = 0;
    PatchLine parsed;
    bool moves = false;
    while (!moves && ReadPatchLine(list, line, &inLongLine, &isTail)) {
        number += isTail ? 0 : 1;
        ClassifyPatchLine("\\SDMMC\\AirUpdate", line, isTail, 0, &parsed);
        moves = parsed.kind == PATCH_LINE_COMMAND && parsed.command == PATCH_COMMAND_CP &&
                FoldCase(parsed.source).rfind(FoldCase(signatureFolder), 0) == 0;
    }
    std::fclose(list);
    if (moves) {
        *error = "patch_list.txt line " + std::to_string(number) +
                 ": moves the package's signature; the manifest and its signature stay on the card";
    }
    return moves;
}

bool WriteFile(const fs::path& path, const std::string& bytes, std::string* error)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) *error = DisplayName(path) + ": cannot be written";
    return static_cast<bool>(out);
}

} // namespace

bool SignPackage(const fs::path& package, const fs::path& keyFile, std::string* error)
{
    PackageContents contents;
    std::string manifest;
    std::string signature;
    if (!ReadPackage(package, &contents, error) || MovesSignature(contents, error) ||
        !BuildManifest(contents, &manifest, error) || !SignBytes(keyFile, manifest, &signature, error)) {
        return false;
    }
    std::error_code ec;
    fs::create_directories(package / "Signature", ec);
    if (ec) {
        *error = DisplayName(package / "Signature") + ": cannot be made: " + ec.message();
        return false;
    }
    return WriteFile(package / kManifestFile, manifest, error) &&
           WriteFile(package / kSignatureFile, signature, error);
}

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

} // namespace hailpatch
