// Shared between the host backend's window, message, timer, clock, process
// and sync files: the simulated device's window table, its clock, its timers
// and the simulated programs. Not for the core, not for tests.
//
// The model has one thread. "This process" is the code under test; simulated
// programs are other processes that own windows in the same table.
#ifndef HAILWATCH_HOST_LOOP_INTERNAL_H
#define HAILWATCH_HOST_LOOP_INTERNAL_H

#include <string>

#include "platform/host/host_control.h"
#include "platform/host/win32_api.h"

// Error codes the backend reports that the core never looks at.
#define HOST_ERROR_NOT_OWNER 288
#define HOST_ERROR_CANNOT_FIND_WND_CLASS 1407
#define HOST_ERROR_RESOURCE_NAME_NOT_FOUND 1814

namespace host {
namespace detail {

// ---- tick arithmetic (32-bit, wrap-safe) ------------------------------------
// True if tick `a` comes strictly after tick `b`.
inline bool TickAfter(DWORD a, DWORD b) { return static_cast<int>(a - b) > 0; }
// True if the clock at `now` has reached `tick`.
inline bool TickReached(DWORD now, DWORD tick) { return static_cast<int>(now - tick) >= 0; }

// ---- letter case -------------------------------------------------------------
// Windows compares window titles, class names and message names without
// regard to case. The host folds ASCII and Latin-1 letters.
bool EqualNoCase(const std::wstring& a, const WCHAR* b);

// ---- windows (windows.cpp) ---------------------------------------------------
// Owner 0 is this process; any other value is a simulated program instance.
const DWORD kThisProcess = 0;

struct WindowRecord {
    HWND handle;
    DWORD owner;
    std::wstring className;
    std::wstring title;
    WNDPROC proc;
    HWND parent;
    bool visible;
    bool destroying;
};

// The record of a live window, or NULL. Valid until the table next changes
// (any call into a window procedure may change it).
WindowRecord* LookUpWindow(HWND window);
bool IsThisProcessWindow(HWND window);
// A top-level window for a simulated program instance.
HWND AddProgramWindow(DWORD owner, const std::wstring& title,
                      const std::wstring& className);
void RemoveWindowsOf(DWORD owner);
// The newest top-level window matching class and/or title (NULL = any).
HWND FindTopLevel(const WCHAR* className, const WCHAR* title);
int CountTopLevel(const std::wstring& title);

// ---- messages (messages.cpp) -------------------------------------------------
enum LoopResult { kGotMessage, kGotQuit, kReachedDeadline };
// The loop's next message: posted messages first, then the quit request,
// then due timers. When idle it waits (virtual time: advances) for the next
// event; with a deadline it returns kReachedDeadline instead of waiting past it.
LoopResult NextMessage(MSG* message, HWND window, UINT first, UINT last,
                       const DWORD* deadline);
// Drops this process's posted messages for a window being destroyed.
void DropPostedFor(HWND window);
void SetUserDeadline(DWORD tick);
int LastQuitCode();
const std::vector<TraceEntry>& TraceLog();
void ClearTraceLog();
void ResetMessages();

// ---- timers (timers.cpp) -----------------------------------------------------
// Takes the earliest timer due now for `window` (NULL = any) as a WM_TIMER
// and schedules its next expiry one period after now.
bool TakeDueTimer(HWND window, MSG* message);
// The earliest expiry of any armed timer for `window` (NULL = any).
bool NextTimerDue(HWND window, DWORD* due);
void KillTimersOf(HWND window);
// Moves every expiry by `delta` ticks (the clock was switched).
void RebaseTimers(DWORD delta);

// ---- clock (clock.cpp) -------------------------------------------------------
// Lets time pass: the virtual clock advances at once (firing program events
// on the way); the real clock really waits. Not counted as sleep.
void PassTime(DWORD milliseconds);
// Passes time until `tick`, if it lies ahead.
void PassTimeUntil(DWORD tick);
void SelectVirtualClock(DWORD startTick, const SYSTEMTIME& startLocalTime);
void SelectRealClock();
bool VirtualClockSelected();
void AdvanceVirtualClock(DWORD milliseconds);
unsigned long long SleptTotal();

// ---- simulated programs (processes.cpp) --------------------------------------
// The behaviour of the program owning a window, or NULL for this process's
// windows and unknown ones.
const ProgramSetup* ProgramBehaviour(DWORD owner);
// The program instance ends: its windows disappear.
void EndProgramInstance(DWORD owner);
// Makes windows whose delay has run out appear.
void FireDueProgramEvents();
// The earliest pending program event (a window still to appear).
bool NextProgramEventDue(DWORD* due);
void RebaseProgramEvents(DWORD delta);

// ---- kernel objects (sync.cpp) -----------------------------------------------
// A fresh handle that CloseHandle accepts (process and thread records).
HANDLE NewPlainHandle();
void HoldMutexOutside(const std::wstring& name);

} // namespace detail
} // namespace host

#endif
