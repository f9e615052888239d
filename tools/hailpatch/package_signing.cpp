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

// The sources of the list's CP lines (read with the terminal's own line
// rules), folded, with the number of the line of each.
bool ReadCopySources(const PackageContents& contents, std::vector<std::pair<std::string, int>>* sources,
                     std::string* error)
{
    if (contents.list.empty()) return true;
    FILE* list = OpenListAsText(contents.list, error);
    if (list == nullptr) return false;
    char line[PATCH_LINE_SIZE];
    PatchListReader reader = {0, 0, 0};
    PatchLine parsed;
    while (ReadNumberedPatchLine(list, line, &reader)) {
        const int number = static_cast<int>(reader.number);
        ClassifyPatchLine("\\SDMMC\\AirUpdate", line, reader.isTail, 0, &parsed);
        if (parsed.kind == PATCH_LINE_COMMAND && parsed.command == PATCH_COMMAND_CP) {
            sources->push_back({FoldCase(parsed.source), number});
        }
    }
    std::fclose(list);
    return true;
}

// What a signed package may not hold: a CP line that moves the manifest or
// its signature (they stay on the card), and a subfolder file no CP line
// moves. A terminal lets a resumed start go on without the list only once
// the list has moved every subfolder file, so such a file would keep the
// package refused after a start cut between the list and the bulk move.
bool IsSignable(const PackageContents& contents, std::string* error)
{
    std::vector<std::pair<std::string, int>> sources;
    if (!ReadCopySources(contents, &sources, error)) return false;
    const std::string signatureFolder = FoldCase("\\SDMMC\\AirUpdate\\Signature\\");
    for (const auto& source : sources) {
        if (source.first.rfind(signatureFolder, 0) == 0) {
            *error = "patch_list.txt line " + std::to_string(source.second) +
                     ": moves the package's signature; the manifest and its signature stay on the card";
            return false;
        }
    }
    for (const PackageFile& file : contents.files) {
        if (file.topLevel || IsSignatureFile(file) || !file.representable) continue;
        std::string path = FoldCase("\\SDMMC\\AirUpdate\\" + file.name949);
        bool moved = false;
        for (const auto& source : sources) moved = moved || source.first == path;
        if (!moved) {
            *error = file.shown + ": in a subfolder that no CP line moves; a signed package holds "
                     "none (the terminal would refuse it after a start cut short)";
            return false;
        }
    }
    return true;
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
    if (!ReadPackage(package, &contents, error) || !IsSignable(contents, error) ||
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

} // namespace hailpatch
