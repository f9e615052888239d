// A terminal for signed packages on the host backend: a device folder with
// an install folder and a package on the card, the fleet's keys (made once
// per test program), signing with hailpatch's own code or as it stands,
// and starts of the terminal's own start-up.
#ifndef HAILWATCH_TESTS_SIGNED_FIXTURE_H
#define HAILWATCH_TESTS_SIGNED_FIXTURE_H

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "device_tree.h"
#include "key_files.h"
#include "package_signing.h"
#include "patch/Sha256.h"
#include "startup_run.h"

namespace signedtest {

namespace fs = std::filesystem;
using hailpatch::StartupOutcome;
using hailpatch::Tree;

inline void Write(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string Read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The log line without its "MM:SS [K] " stamp.
inline std::string Unstamped(const std::string& line)
{
    return line.size() > 10 ? line.substr(10) : line;
}

inline std::string HashHex(const std::string& bytes)
{
    CSha256 sha;
    sha.Add(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size());
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

class SignedTerminal : public ::testing::Test {
public:
    static void SetUpTestSuite()
    {
        keys_ = new fs::path(fs::temp_directory_path() / ("hailwatch-keys-" + std::to_string(getpid())));
        fs::remove_all(*keys_);
        fs::create_directories(*keys_);
        std::string error;
        ASSERT_TRUE(hailpatch::GenerateKeyPair(*keys_ / "fleet", &error)) << error;
        ASSERT_TRUE(hailpatch::GenerateKeyPair(*keys_ / "other", &error)) << error;
    }
    static void TearDownTestSuite()
    {
        fs::remove_all(*keys_);
        delete keys_;
    }
    void TearDown() override { fs::remove_all(root_); }

    // An empty device: the test lays out what it needs.
    void MakeDevice()
    {
        root_ = fs::temp_directory_path() / ("hailwatch-signed-" + std::to_string(getpid()));
        fs::remove_all(root_);
        fs::create_directories(Hailnet());
        fs::create_directories(Package());
    }

    fs::path Hailnet() const { return root_ / "ResidentFlash" / "Hailnet"; }
    fs::path Package() const { return root_ / "SDMMC" / "AirUpdate"; }
    static fs::path Key(const char* name) { return *keys_ / name; }

    void Sign(const char* key = "fleet.key", unsigned long sequence = 1)
    {
        std::string error;
        ASSERT_TRUE(hailpatch::SignPackage(Package(), Key(key), sequence, &error)) << error;
    }
    // Signs every file of the package as it stands, in a manifest of the
    // given header lines: what an owner's own tools might sign, past the
    // checks of `sign`.
    void SignAsItStands(const std::string& header = "HAILWATCH MANIFEST 2\nSEQUENCE 1\n")
    {
        std::string manifest = header;
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(Package())) {
            std::string name = entry.path().lexically_relative(Package()).generic_string();
            if (!entry.is_regular_file() || name.rfind("Signature/", 0) == 0) continue;
            names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        for (std::string name : names) {
            std::string bytes = Read(Package() / name);
            std::replace(name.begin(), name.end(), '/', '\\');
            manifest += HashHex(bytes) + " " + std::to_string(bytes.size()) + " " + name + "\n";
        }
        std::string signature;
        std::string error;
        ASSERT_TRUE(hailpatch::SignBytes(Key("fleet.key"), manifest, &signature, &error)) << error;
        Write(Package() / "Signature" / "manifest.txt", manifest);
        Write(Package() / "Signature" / "manifest.sig", signature);
    }
    void HoldKey() { fs::copy_file(Key("fleet.pub"), Hailnet() / "update.pub"); }

    StartupOutcome Start()
    {
        hailpatch::StartupSetup setup;
        setup.root = hailpatch::NativeFolder(root_);
        setup.closing = {"Hailnet", "Hailwire", "Hailfare"};
        return hailpatch::RunStartup(setup);
    }
    Tree Snapshot()
    {
        Tree tree;
        std::string error;
        EXPECT_TRUE(hailpatch::SnapshotTree(root_, &tree, &error)) << error;
        return tree;
    }

    static fs::path* keys_;
    fs::path root_;
};

inline fs::path* SignedTerminal::keys_ = nullptr;

} // namespace signedtest

#endif
