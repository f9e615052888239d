// Control of the host backend, for tests and host tools only. The core never
// includes this header: it sees the device only through platform.h.
//
// The host backend is one simulated device: a device-root folder standing for
// the flash store and SD card, a window/message/timer table shared by "this
// process" (the code under test) and simulated sibling programs, and a clock
// that is either the real one or a virtual one driven by the test.
#ifndef HAILWATCH_HOST_CONTROL_H
#define HAILWATCH_HOST_CONTROL_H

#include <functional>
#include <string>
#include <vector>

#include "platform/host/win32_api.h"

namespace host {

// Puts every table back to its state at process start (windows, classes,
// registered messages, timers, quit state, mutexes, simulated programs,
// trace, captured debug output, injected faults, last error) and selects the
// real clock. The device root is kept. Call it at the start of every test.
void Reset();

// ---- device root ---------------------------------------------------------
// A device path "\ResidentFlash\Hailnet\LogMsg" names <root>/ResidentFlash/
// Hailnet/LogMsg. Device paths are 8-bit ANSI (code page 949) or UTF-16; the
// native names are UTF-8.
void SetDeviceRoot(const std::string& nativeFolder);
const std::string& DeviceRoot();
// The native path for a device path given in UTF-8.
std::string NativePath(const std::string& devicePathUtf8);

// ---- clock ---------------------------------------------------------------
// The virtual clock starts at the given tick count and local time. Sleep and
// an idle GetMessageW advance it at once; local time moves with it.
void UseVirtualClock(DWORD startTick, const SYSTEMTIME& startLocalTime);
void UseRealClock();
bool IsVirtualClock();
// Moves virtual time forward, firing simulated programs' due events (windows
// appearing) on the way. Timers of this process only become due; they are
// delivered by the message loop.
void Advance(DWORD milliseconds);
// Milliseconds the thread spent in Sleep since Reset (virtual or real).
unsigned long long SleptMilliseconds();

// Runs this process's message loop (GetMessageW, TranslateMessage,
// DispatchMessageW) until the tick count reaches `tick` (unsigned 32-bit
// comparison, so the wrap is handled) or the quit request is taken.
// Returns true if the loop ended on the quit request.
bool RunMessageLoopUntil(DWORD tick);
// After this, an idle GetMessageW in virtual time returns FALSE (as for the
// quit request) instead of waiting past `tick`; lets a test run WinMain
// itself up to a point in time. Cleared by Reset.
void SetLoopDeadline(DWORD tick);
// The exit code passed to PostQuitMessage, or -1 if none was posted.
int QuitCode();

// ---- simulated sibling programs ------------------------------------------
// A simulated program stands for another process. CreateProcessW of its
// image path (when the image file exists under the device root) starts it:
// it creates one top-level window after `windowDelayMs` of (virtual) time.
struct ProgramSetup {
    std::wstring title;
    std::wstring className;     // empty: a class of the program's own
    DWORD windowDelayMs = 0;    // 0: the window exists when CreateProcessW returns
    bool ignoreDestroy = false; // WM_DESTROY posted to it is recorded, nothing more
    UINT quitOnMessage = 0;     // nonzero: the program exits when this arrives
    DWORD copyDataDelayMs = 0;  // time it takes to answer WM_COPYDATA
    // Asked at every start: true makes this start end at once, before any
    // window, as a program that crashes at start-up (for example while its
    // image holds a broken version). CreateProcessW still succeeds.
    std::function<bool()> exitsAtStart;
};
// `imageDevicePath` in UTF-8, for example "\\ResidentFlash\\Hailnet\\Hailnet.exe".
void RegisterProgram(const std::string& imageDevicePath, const ProgramSetup& setup);
// Starts a registered program now, as if it had been running before.
void StartProgram(const std::string& imageDevicePath);
// Ends every instance of a program (its windows disappear), as if the user
// closed it.
void EndProgram(const std::string& imageDevicePath);
// Image paths (UTF-8 device paths) of every successful CreateProcessW, in order.
std::vector<std::string> StartedImages();
// Top-level windows that exist now with this title (any class).
int WindowCount(const std::wstring& title);

// ---- trace of messages to simulated programs -----------------------------
struct TraceEntry {
    DWORD tick;            // GetTickCount() when it was posted or sent
    std::wstring title;    // title of the receiving window
    std::wstring className;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool sent;             // SendMessage(Timeout)W rather than PostMessageW
    ULONG_PTR copyTag;     // WM_COPYDATA: dwData
    std::vector<unsigned char> copyBytes; // WM_COPYDATA: exactly cbData bytes
};
const std::vector<TraceEntry>& Trace();
void ClearTrace();

// ---- debugger output -----------------------------------------------------
// Captured: OutputDebugStringW appends each call's units here instead of
// writing them to standard error.
void CaptureDebugOutput(bool capture);
const std::vector<std::wstring>& DebugOutput();

// ---- failure injection ---------------------------------------------------
// The next `count` calls of the named operation ("DeleteFileW", "CopyFileW",
// "CreateDirectoryW", "RemoveDirectoryW", "SetFileAttributesW",
// "FindFirstFileW", "fopen") fail with `error` without touching the disk.
// `pathContains` (UTF-8), when not empty, limits this to calls whose first
// path contains it.
void FailNext(const std::string& operation, int count, DWORD error,
              const std::string& pathContains = std::string());

// ---- other processes' objects --------------------------------------------
// Marks a mutex name as held by another process, so CreateMutexW of it
// reports ERROR_ALREADY_EXISTS.
void HoldMutexElsewhere(const std::wstring& name);

// ---- resources -----------------------------------------------------------
// The host stand-in for the resource compiler: the module's string table,
// served by LoadStringW. The resources folder registers it at static
// initialisation (it is linked as an object library for that reason).
struct StringResource {
    UINT id;
    const wchar_t* text;
};
void RegisterStringTable(const StringResource* table, size_t count);

// ---- conversions for tests -----------------------------------------------
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);
std::string Utf8ToCp949(const std::string& utf8);
std::string Cp949ToUtf8(const std::string& cp949);

} // namespace host

#endif
