// The mutex, CreateProcessW and windows of another process: what the single
// instance check, the watchdog, the ignition handling and the update's
// closing of applications rely on.
#include <string>

#include "tests/conformance/backend.h"
#include "tests/conformance/cases.h"
#include "tests/conformance/work_folder.h"

namespace conformance {
namespace {

BOOL StartImage(const wchar_t* image)
{
    // As the core calls it: the image path alone, every other pointer NULL.
    return CreateProcessW(image, NULL, NULL, NULL, FALSE, 0, NULL, NULL, NULL, NULL);
}

HWND PeerWindow() { return FindWindowW(kPeerClass, kPeerTitle); }

void PeerFindCases()
{
    HWND peer = PeerWindow();
    ok(peer != NULL, "peer window not found by class and title");
    ok(FindWindowW(NULL, kPeerTitle) == peer, "peer window not found by title alone");
    ok(FindWindowW(kPeerClass, NULL) == peer, "peer window not found by class alone");
    ok(FindWindowW(NULL, L"HAILCONF PEER") == peer, "title in other letter case not found");
}

void PeerPostCases()
{
    HWND peer = PeerWindow();
    DWORD before = GetTickCount();
    Poison();
    BOOL posted = PostMessageW(peer, WM_USER + 20, 1000, 1000);
    ok(posted, "post to the peer: got %d, error %lu", posted, LastError());
    ok(GetTickCount() - before < 500, "posting waited %lu ms", U(GetTickCount() - before));
    ok(PeerReceived(WM_USER + 20, 1000, 1000, 5000), "peer did not receive the posted message");

    const std::string bytes("\x01\x02option\x00z", 10);
    COPYDATASTRUCT data = {2224, static_cast<DWORD>(bytes.size()),
                           const_cast<char*>(bytes.data())};
    DWORD_PTR result = 0;
    Poison();
    LRESULT sent = SendMessageTimeoutW(peer, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                                       SMTO_NORMAL, 3000, &result);
    ok(sent != 0, "WM_COPYDATA to the peer: got %ld, error %lu", static_cast<long>(sent),
       LastError());
    ok(PeerReceivedCopyData(2224, bytes, 5000), "peer did not receive the WM_COPYDATA bytes");

    if (!PeerAnswers()) {
        skip("registered ids across processes: the host's programs share this process's table");
        return;
    }
    UINT power = RegisterWindowMessageW(L"WM_POWER_MODE_CHANGE");
    result = 0;
    sent = SendMessageTimeoutW(peer, kAskPowerMessage, 0, 0, SMTO_NORMAL, 3000, &result);
    ok(sent != 0 && result == power, "peer's id for the name: 0x%lx, ours 0x%x",
       static_cast<unsigned long>(result), power);
}

void PeerDestroyCases()
{
    HWND peer = PeerWindow();
    Poison();
    BOOL posted = PostMessageW(peer, WM_DESTROY, 0, 0);
    ok(posted, "post WM_DESTROY: got %d, error %lu", posted, LastError());
    ok(WaitPeerGone(5000), "window still there after its process took WM_DESTROY");
    Poison();
    posted = PostMessageW(peer, WM_USER + 21, 0, 0);
    ok(!posted && GetLastError() == ERROR_INVALID_WINDOW_HANDLE,
       "post to a window whose process ended: got %d, error %lu", posted, LastError());
}

} // namespace

void MutexCases()
{
    Poison();
    HANDLE first = CreateMutexW(NULL, FALSE, L"HailConfMutex");
    ok(first != NULL && GetLastError() == ERROR_SUCCESS, "new name: got %p, error %lu", first,
       LastError());
    Poison();
    HANDLE second = CreateMutexW(NULL, FALSE, L"HailConfMutex");
    ok(second != NULL && GetLastError() == ERROR_ALREADY_EXISTS,
       "name held by this process: got %p, error %lu", second, LastError());
    CloseHandle(second);
    CloseHandle(first);
    Poison();
    HANDLE third = CreateMutexW(NULL, FALSE, L"HailConfMutex");
    ok(third != NULL && GetLastError() == ERROR_SUCCESS, "name freed: got %p, error %lu", third,
       LastError());
    CloseHandle(third);

    bool started = StartPeer(kPeerHoldsMutex);
    ok(started, "the peer holding the mutex did not start");
    if (started) {
        Poison();
        HANDLE held = CreateMutexW(NULL, FALSE, kPeerMutex);
        ok(held != NULL && GetLastError() == ERROR_ALREADY_EXISTS,
           "name held by another process: got %p, error %lu", held, LastError());
        if (held != NULL)
            CloseHandle(held);
    }
    StopPeer();
}

void CreateProcessCases()
{
    ResetWorkFolder();
    const std::wstring image = WorkPath(L"quiet.exe");
    ok(PrepareQuietImage(image), "could not lay down an image to start");
    Poison();
    BOOL started = StartImage(image.c_str());
    ok(started, "existing image: got %d, error %lu", started, LastError());
    Poison();
    started = StartImage(WorkPath(L"missing.exe").c_str());
    ok(!started && GetLastError() == ERROR_FILE_NOT_FOUND, "missing image: got %d, error %lu",
       started, LastError());
    Poison();
    started = StartImage(L"\\ResidentFlash\\NoFolder\\missing.exe");
    ok(!started && (GetLastError() == ERROR_FILE_NOT_FOUND ||
                    GetLastError() == ERROR_PATH_NOT_FOUND),
       "image in a missing folder: got %d, error %lu", started, LastError());
    // Let the started image end before the work folder is reused.
    Sleep(300);
}

void OtherProcessWindowCases()
{
    bool started = StartPeer(kPeerWindow);
    ok(started, "the peer did not start");
    if (started) {
        PeerFindCases();
        PeerPostCases();
        PeerDestroyCases();
    }
    StopPeer();

    // A program that ignores WM_DESTROY keeps its window (the update engine
    // posts it up to three times and then carries on).
    started = StartPeer(kPeerIgnoresDestroy);
    ok(started, "the peer that ignores WM_DESTROY did not start");
    if (started) {
        PostMessageW(PeerWindow(), WM_DESTROY, 0, 0);
        ok(PeerReceived(WM_DESTROY, 0, 0, 5000), "peer did not receive WM_DESTROY");
        Sleep(500);
        ok(PeerWindow() != NULL, "window gone although its process ignores WM_DESTROY");
    }
    StopPeer();
}

void SendTimeoutCases()
{
    bool started = StartPeer(kPeerSlowCopyData);
    ok(started, "the slow peer did not start");
    if (!started) {
        StopPeer();
        return;
    }
    HWND peer = PeerWindow();
    char payload[4] = {'a', 'b', 'c', 0};
    COPYDATASTRUCT data = {2224, sizeof(payload), payload};
    DWORD_PTR result = 0;
    DWORD before = GetTickCount();
    Poison();
    LRESULT sent = SendMessageTimeoutW(peer, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                                       SMTO_NORMAL, 300, &result);
    DWORD waited = GetTickCount() - before;
    ok(sent == 0 && GetLastError() == ERROR_TIMEOUT, "slow answer: got %ld, error %lu",
       static_cast<long>(sent), LastError());
    ok(waited >= 280 && waited < kPeerCopyDataDelayMs, "gave up after %lu ms (time-out 300)",
       U(waited));
    Sleep(kPeerCopyDataDelayMs);
    Poison();
    sent = SendMessageTimeoutW(peer, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL,
                               kPeerCopyDataDelayMs * 3, &result);
    ok(sent != 0, "answer within the time-out: got %ld, error %lu", static_cast<long>(sent),
       LastError());
    StopPeer();
}

} // namespace conformance
