// One run: a package of 12 files of 5 MB (60 MB) and a list, signed; the
// terminal's check of it (VerifySignedPackage through the host backend)
// timed beside `sha256sum` of the same files, and the ratio of the two.
//
//   signed_package_cost [FOLDER]     (default: a folder under /tmp, removed)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "key_files.h"
#include "package_signing.h"
#include "patch/PackageVerify.h"
#include "platform/host/host_control.h"

namespace fs = std::filesystem;

namespace {

const int kFiles = 12;
const size_t kFileBytes = 5u << 20;

void MakePackage(const fs::path& package)
{
    std::mt19937 random(2024);
    std::string bytes(kFileBytes, '\0');
    fs::create_directories(package / "Map");
    for (int i = 0; i < kFiles; ++i) {
        for (char& c : bytes) c = static_cast<char>(random());
        fs::path file = package / (i < 6 ? fs::path("Map") : fs::path()) / ("part" + std::to_string(i) + ".dat");
        std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::ofstream(package / "patch_list.txt", std::ios::binary)
        << "MKDIR(\\ResidentFlash\\Hailnet\\Map)\r\n";
}

double Seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    fs::path root = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "hailwatch-signed-cost";
    fs::remove_all(root);
    fs::path package = root / "SDMMC" / "AirUpdate";
    fs::create_directories(root / "ResidentFlash" / "Hailnet");
    MakePackage(package);
    std::string error;
    if (!hailpatch::GenerateKeyPair(root / "fleet", &error) ||
        !hailpatch::SignPackage(package, root / "fleet.key", 1, &error)) {
        std::fprintf(stderr, "signed_package_cost: %s\n", error.c_str());
        return 1;
    }
    fs::copy_file(root / "fleet.pub", root / "ResidentFlash" / "Hailnet" / "update.pub");

    // The files once through the page cache, so both timings read from memory.
    std::string hashAll = "cd '" + package.string() + "' && sha256sum patch_list.txt *.dat Map/*.dat >/dev/null";
    if (std::system(hashAll.c_str()) != 0) return 1;

    host::Reset();
    host::SetDeviceRoot(root.string());
    auto start = std::chrono::steady_clock::now();
    int verified = VerifySignedPackage("\\SDMMC\\AirUpdate", "\\ResidentFlash\\Hailnet\\update.pub",
                                       "\\ResidentFlash\\Hailnet\\update.verified");
    double verify = Seconds(start);
    start = std::chrono::steady_clock::now();
    int status = std::system(hashAll.c_str());
    double sha = Seconds(start);
    std::printf("package: %d files, %.1f MB\n", kFiles + 1, kFiles * kFileBytes / 1048576.0);
    std::printf("VerifySignedPackage: %.3f s (%s)\n", verify, verified ? "verified" : "REFUSED");
    std::printf("sha256sum:           %.3f s\n", sha);
    std::printf("ratio:               %.2f\n", sha > 0 ? verify / sha : 0.0);
    if (argc <= 1) fs::remove_all(root);
    return verified && status == 0 ? 0 : 1;
}
