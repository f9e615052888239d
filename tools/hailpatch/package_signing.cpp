#include "package_signing.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>

#include "device_tree.h"
#include "key_files.h"
#include "patch/PackageManifest.h"
#include "patch/Sha256.h"
#include "signable_package.h"
#include "tools/common/pc_text.h"

namespace hailpatch {

const char kManifestFile[] = "Signature/manifest.txt";
const char kSignatureFile[] = "Signature/manifest.sig";

namespace {

const char kManifestHeader[] = "HAILWATCH MANIFEST 2\n";

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

bool BuildManifest(const PackageContents& contents, unsigned long sequence, std::string* manifest,
                   std::string* error)
{
    *manifest = kManifestHeader + ("SEQUENCE " + std::to_string(sequence) + "\n");
    for (const PackageFile& file : contents.files) {
        if (IsSignatureFile(file)) continue;
        if (!file.representable) {
            *error = file.shown + ": code page 949 cannot hold its name, so no manifest can list it";
            return false;
        }
        unsigned long long size = 0;
        std::string hex;
        if (!HashNativeFile(file.native, &size, &hex)) {
            *error = tools::DisplayName(file.native) + ": cannot be read";
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
    DWORD parsed = 0;
    if (!ParseManifest(manifest->data(), manifest->size(), nullptr, 0, &count, &parsed)) {
        *error = "the manifest made is not one the terminal reads (a name it cannot take?)";
        return false;
    }
    return true;
}

bool WriteFile(const fs::path& path, const std::string& bytes, std::string* error)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) *error = tools::DisplayName(path) + ": cannot be written";
    return static_cast<bool>(out);
}

} // namespace

bool ChooseSequence(const std::optional<unsigned long long>& after, unsigned long* sequence,
                    std::string* error)
{
    const unsigned long long kLargest = 0xFFFFFFFFull;
    unsigned long long chosen = after ? *after + 1 : static_cast<unsigned long long>(std::time(nullptr));
    if ((after && *after >= kLargest) || chosen == 0 || chosen > kLargest) {
        *error = after ? "--sequence " + std::to_string(*after) + ": no number above it fits the "
                         "manifest (at most 4294967295)"
                       : std::string("the clock gives no sequence number (set --sequence)");
        return false;
    }
    *sequence = static_cast<unsigned long>(chosen);
    return true;
}

bool SignPackage(const fs::path& package, const fs::path& keyFile, unsigned long sequence,
                 std::string* error)
{
    PackageContents contents;
    std::string manifest;
    std::string signature;
    if (!ReadPackage(package, &contents, error) || !IsSignable(package, contents, error) ||
        !BuildManifest(contents, sequence, &manifest, error) ||
        !SignBytes(keyFile, manifest, &signature, error)) {
        return false;
    }
    std::error_code ec;
    fs::create_directories(package / "Signature", ec);
    if (ec) {
        *error = tools::DisplayName(package / "Signature") + ": cannot be made: " + ec.message();
        return false;
    }
    return WriteFile(package / kManifestFile, manifest, error) &&
           WriteFile(package / kSignatureFile, signature, error);
}

} // namespace hailpatch
