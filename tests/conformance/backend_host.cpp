// The host backend's build, on Linux and (as the model terminal of
// hailpatch.exe) on Windows: the backend's simulated device, a temporary
// device root and the virtual clock. The other process is a simulated program, which records
// what its window receives in the backend's trace.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <random>
#include <string>

#include "platform/host/host_control.h"
#include "tests/conformance/backend.h"
#include "tests/conformance/cases.h"
#include "tests/conformance/work_folder.h"

namespace conformance {

namespace {

const DWORD kStartTick = 0x00100000;

std::string PeerImageUtf8() { return host::Narrow(kPeerImage); }

bool WriteImage(const std::wstring& devicePath)
{
    FILE* image = fopen(ToAnsi(devicePath).c_str(), "wb");
    if (image == NULL)
        return false;
    fputs("MZ", image);
    return fclose(image) == 0;
}

// Polls the trace in virtual time, as a Win32 peer's log is polled.
template <typename Match>
bool WaitTrace(Match match, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        const std::vector<host::TraceEntry>& trace = host::Trace();
        for (size_t i = 0; i < trace.size(); ++i) {
            if (trace[i].title == kPeerTitle && match(trace[i]))
                return true;
        }
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(50);
    }
}

} // namespace

Backend CurrentBackend() { return kHostBackend; }

bool ReadWindowShape(HWND, WindowShape*) { return false; }
#ifdef _WIN32
const char* BackendName() { return "host on Windows"; }
#else
const char* BackendName() { return "host"; }
#endif

void PrepareGroup()
{
    host::Reset();
    SYSTEMTIME start = {2024, 5, 3, 1, 9, 0, 0, 0};
    host::UseVirtualClock(kStartTick, start);
}

HINSTANCE ThisInstance() { return NULL; }

bool StartPeer(PeerRole role)
{
    CreateDirectoryW(L"\\ResidentFlash", NULL);
    CreateDirectoryW(L"\\ResidentFlash\\ConformancePeer", NULL);
    if (!WriteImage(kPeerImage))
        return false;
    host::ProgramSetup setup;
    setup.title = kPeerTitle;
    setup.className = kPeerClass;
    setup.ignoreDestroy = role == kPeerIgnoresDestroy;
    setup.copyDataDelayMs = role == kPeerSlowCopyData ? kPeerCopyDataDelayMs : 0;
    host::RegisterProgram(PeerImageUtf8(), setup);
    if (role == kPeerHoldsMutex)
        host::HoldMutexElsewhere(kPeerMutex);
    if (!CreateProcessW(kPeerImage, NULL, NULL, NULL, FALSE, 0, NULL, NULL, NULL, NULL))
        return false;
    return FindWindowW(kPeerClass, kPeerTitle) != NULL;
}

void StopPeer() { host::EndProgram(PeerImageUtf8()); }

bool PeerReceived(UINT message, WPARAM wParam, LPARAM lParam, DWORD timeoutMs)
{
    return WaitTrace(
        [&](const host::TraceEntry& entry) {
            return entry.message == message && entry.wParam == wParam && entry.lParam == lParam;
        },
        timeoutMs);
}

bool PeerReceivedCopyData(ULONG_PTR tag, const std::string& bytes, DWORD timeoutMs)
{
    return WaitTrace(
        [&](const host::TraceEntry& entry) {
            return entry.message == WM_COPYDATA && entry.copyTag == tag &&
                   std::string(entry.copyBytes.begin(), entry.copyBytes.end()) == bytes;
        },
        timeoutMs);
}

bool PeerAnswers() { return false; }

bool PrepareQuietImage(const std::wstring& devicePath) { return WriteImage(devicePath); }

// The host backend models read-only as missing write permission and refuses
// the overwrite itself, whoever runs it.
bool RunningAsUnixRoot() { return false; }

// A new folder under the PC's temporary folder; empty if none could be made.
std::filesystem::path MakeDeviceRoot()
{
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; !error && attempt < 100; ++attempt) {
        std::filesystem::path candidate = base / ("hailwatch-conformance-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate, error))
            return candidate;
    }
    return std::filesystem::path();
}

} // namespace conformance

// conformance_host [--memory] [GROUP]: with --memory the device is held in
// memory, as the PC tools hold their model terminal, and must behave as one
// on the PC's disk does.
int main(int argc, char** argv)
{
    bool inMemory = argc > 1 && std::string(argv[1]) == "--memory";
    const char* group = argc > (inMemory ? 2 : 1) ? argv[inMemory ? 2 : 1] : NULL;
    std::filesystem::path pattern = conformance::MakeDeviceRoot();
    if (pattern.empty()) {
        fprintf(stderr, "cannot make a device root\n");
        return 2;
    }
    host::SetDeviceRoot(inMemory ? host::MakeMemoryFolder() : pattern.string());
    conformance::RunCaseGroups(group);
    int exitCode = conformance::PrintSummary();
    std::error_code ignored;
    std::filesystem::permissions(pattern, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(pattern, ignored);
    return exitCode;
}
