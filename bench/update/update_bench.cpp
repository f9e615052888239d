// The bulk move of a package into the install folder (1,000 files of 64 KiB),
// beside the shell's cp and rm of the same files, and the interpretation of a
// 10,000-line patch list whose RM lines all name missing files.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "patch/PatchList.h"
#include "platform/host/host_control.h"

namespace {

namespace fs = std::filesystem;

const int kFiles = 1000;
const size_t kFileBytes = 64 * 1024;
const int kListLines = 10000;

fs::path Root()
{
    return fs::temp_directory_path() / ("hailwatch-bench-" + std::to_string(getpid()));
}

fs::path Package() { return Root() / "SDMMC" / "AirUpdate"; }
fs::path Install() { return Root() / "ResidentFlash" / "Hailnet"; }

// A fresh device: the package full of files, the install folder empty.
void MakeDevice()
{
    fs::remove_all(Root());
    fs::create_directories(Package());
    fs::create_directories(Install());
    const std::string bytes(kFileBytes, 'p');
    for (int i = 0; i < kFiles; ++i) {
        std::ofstream(Package() / ("file" + std::to_string(i) + ".dat"), std::ios::binary) << bytes;
    }
    host::Reset();
    host::SetDeviceRoot(Root().string());
}

void Shell(benchmark::State& state, const std::string& command)
{
    if (std::system(command.c_str()) != 0) {
        state.SkipWithError(("failed: " + command).c_str());
    }
}

void BM_BulkMoveIntoInstallFolder(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        MakeDevice();
        state.ResumeTiming();
        int moved = CPatchList::CopyFilesFolder2Folder("\\SDMMC\\AirUpdate",
                                                       "\\ResidentFlash\\Hailnet", 1, "*.*");
        if (moved != kFiles || !fs::is_empty(Package())) {
            state.SkipWithError("the package was not moved whole");
        }
    }
    state.SetBytesProcessed(state.iterations() * kFiles * static_cast<int64_t>(kFileBytes));
}

void BM_ShellCp(benchmark::State& state)
{
    const std::string cp = "cp " + Package().string() + "/* " + Install().string() + "/";
    for (auto _ : state) {
        state.PauseTiming();
        MakeDevice();
        state.ResumeTiming();
        Shell(state, cp);
    }
    state.SetBytesProcessed(state.iterations() * kFiles * static_cast<int64_t>(kFileBytes));
}

void BM_ShellCpThenRm(benchmark::State& state)
{
    const std::string cpRm = "cp " + Package().string() + "/* " + Install().string() +
                             "/ && rm " + Package().string() + "/*";
    for (auto _ : state) {
        state.PauseTiming();
        MakeDevice();
        state.ResumeTiming();
        Shell(state, cpRm);
    }
    state.SetBytesProcessed(state.iterations() * kFiles * static_cast<int64_t>(kFileBytes));
}

void BM_PatchListOfMissingRm(benchmark::State& state)
{
    fs::remove_all(Root());
    fs::create_directories(Package());
    {
        std::ofstream list(Package() / "patch_list.txt", std::ios::binary);
        for (int i = 0; i < kListLines; ++i) {
            list << "RM(\\ResidentFlash\\Hailnet\\missing" << i << ".dll)\r\n";
        }
    }
    host::Reset();
    host::SetDeviceRoot(Root().string());
    for (auto _ : state) {
        if (CPatchList::SearchPatchListFiles("\\SDMMC\\AirUpdate", 0) != 1) {
            state.SkipWithError("the list did not run");
        }
    }
    state.SetItemsProcessed(state.iterations() * kListLines);
}

BENCHMARK(BM_BulkMoveIntoInstallFolder)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_ShellCp)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_ShellCpThenRm)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_PatchListOfMissingRm)->Unit(benchmark::kMillisecond)->UseRealTime();

// Leaves no device folder behind in the temporary folder.
struct RemoveRootAtExit {
    ~RemoveRootAtExit() { fs::remove_all(Root()); }
} g_removeRoot;

} // namespace

BENCHMARK_MAIN();
