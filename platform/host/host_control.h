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

// A stream of the backend's own on a file of the PC outside the device, for
// a tool that reads a file as the terminal would: `mode` without "b" is the
// device's text mode, as fopen's. NULL with *error set on failure.
FILE* OpenPcStream(const std::string& nativePath, const char* mode, unsigned* error);

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

// ---- power ----------------------------------------------------------------
// From CutPower until Reset, every file call fails with ERROR_NOT_READY (21)
// without touching the device, as on a terminal whose power has gone; on
// Linux a stream open at that moment also loses what it still holds.
void CutPower();
// Back on without a Reset: the device can be looked at again.
void RestorePower();
bool PowerIsOn();

// ---- change journal --------------------------------------------------------
// While a journal is kept, every change the file calls make to the device (a
// file copied over, deleted, opened for writing or given other attributes; a
// folder made or removed) is noted right before it is made, with what stood
// at its path, so that the device can be put back to any earlier point. The
// old bytes go to `stashFolder`, a native folder outside the device root on
// the same file system: moved there when the change replaces or deletes the
// file, copied when a stream rewrites it in place. With an empty
// `stashFolder` the changes are only noted and cannot be undone. Reset keeps
// the journal; KeepJournal again, or DropJournal, forgets it.
struct PathState {
    bool exists = false;
    bool folder = false;
    DWORD attributes = 0;             // as GetFileAttributesW answers
    unsigned long long size = 0;      // files
    unsigned long long hash = 0;      // of a file's bytes (64-bit FNV-1a)
};
bool operator==(const PathState& a, const PathState& b);
inline bool operator!=(const PathState& a, const PathState& b) { return !(a == b); }
struct JournalEntry {
    std::string devicePath;           // UTF-8, "\ResidentFlash\Hailnet\a.dll", spelled as on disk
    PathState before;
    std::string operation;            // the file call: "CopyFileW", "fopen", ...
};
void KeepJournal(const std::string& stashFolder);
void DropJournal();
bool IsJournalKept();
size_t JournalLength();
const JournalEntry& JournalAt(size_t index);
// Undoes the newest changes, newest first, until `length` are left.
void UndoJournal(size_t length);
// What stands at a device path (UTF-8) now; the bytes hashed for a file
// unless `hashBytes` is false (the hash is then 0).
PathState StateOf(const std::string& devicePathUtf8, bool hashBytes = true);
// Cuts a file to its first `keep` bytes, as a copy or a write that the power
// cut short leaves it; noted like any other change.
bool TearFile(const std::string& devicePathUtf8, unsigned long long keep);

// ---- whole folders -----------------------------------------------------------
// For tools and tests, on any native folder: one of the PC's, or a device held
// in this process's memory, which a tool writes, cuts and undoes thousands of
// times at the speed of memory (every file call there costs next to nothing;
// on a Windows PC, and under Wine above all, the PC's own cost a great deal).
// A memory folder's root serves SetDeviceRoot and KeepJournal like a PC
// folder; it lasts until DropMemoryFolder or the process ends.
std::string MakeMemoryFolder();
void DropMemoryFolder(const std::string& root);
// Copies the contents of the folder `from` into the folder `to` (made if
// missing), with the attributes the backend keeps: read-only, hidden, system,
// archive. False with one line in `error` when something cannot be copied.
bool CopyFolder(const std::string& from, const std::string& to, std::string* error);
// Everything under a folder, with what stands there, in the order of the
// paths, which are relative and '/'-separated, names as the PC holds them.
struct FolderEntry {
    std::string path;
    PathState state;
};
std::vector<FolderEntry> ListFolder(const std::string& folder, bool hashBytes = true);
// A folder and the folders above it that are missing; a whole tree gone.
bool MakeFolders(const std::string& folder);
bool RemoveTree(const std::string& path);
// A file's bytes; false when it cannot be read.
bool ReadWholeFile(const std::string& file, std::string* bytes);
// Writes `bytes` as a whole new file, replacing any.
bool WriteWholeFile(const std::string& file, const std::string& bytes);

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
// The bytes of the UTF-8 character `text` begins with (`length` > 0), or 0
// when its first byte begins none, as the device reads UTF-8.
size_t Utf8CharacterLength(const char* text, size_t length);

} // namespace host

#endif
