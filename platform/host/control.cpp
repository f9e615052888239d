// The control surface tests and host tools use to drive the simulated device:
// resetting it, choosing and moving the clock, running the message loop up to
// a moment, and reading the trace of messages to simulated programs.
#include "platform/host/backend_internal.h"
#include "platform/host/host_control.h"
#include "platform/host/loop_internal.h"

namespace host {

void Reset()
{
    detail::ResetFiles();
    detail::ResetDebug();
    detail::ResetWindows();
    detail::ResetMessages();
    detail::ResetTimers();
    detail::ResetProcesses();
    detail::ResetSync();
    detail::ResetClock();
    SetLastError(0);
}

void UseVirtualClock(DWORD startTick, const SYSTEMTIME& startLocalTime)
{
    detail::SelectVirtualClock(startTick, startLocalTime);
}

void UseRealClock() { detail::SelectRealClock(); }

bool IsVirtualClock() { return detail::VirtualClockSelected(); }

void Advance(DWORD milliseconds) { detail::AdvanceVirtualClock(milliseconds); }

unsigned long long SleptMilliseconds() { return detail::SleptTotal(); }

bool RunMessageLoopUntil(DWORD tick)
{
    // Everything due at or before `tick` is handled; a handler that runs past
    // it ends the run before the next message is taken.
    MSG message;
    while (!detail::TickAfter(GetTickCount(), tick)) {
        detail::LoopResult result = detail::NextMessage(&message, NULL, 0, 0, &tick);
        if (result == detail::kGotQuit)
            return true;
        if (result == detail::kReachedDeadline)
            return false;
        if (TranslateAcceleratorW(message.hwnd, NULL, &message) == 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return false;
}

void SetLoopDeadline(DWORD tick) { detail::SetUserDeadline(tick); }

int QuitCode() { return detail::LastQuitCode(); }

const std::vector<TraceEntry>& Trace() { return detail::TraceLog(); }

void ClearTrace() { detail::ClearTraceLog(); }

void HoldMutexElsewhere(const std::wstring& name) { detail::HoldMutexOutside(name); }

} // namespace host
