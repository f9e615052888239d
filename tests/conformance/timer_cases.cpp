// Timers of this thread's window and the clock: what the watchdog and the
// ignition handling rely on. The same timings run on the virtual clock (exact)
// and under Wine (real time), so bounds leave room for scheduling.
#include "tests/conformance/cases.h"
#include "tests/conformance/test_window.h"

namespace conformance {
namespace {

const UINT_PTR kTimer = 7;
const UINT_PTR kStop = 99;

// Runs the loop for `ms`, then stops the deadline timer.
void PumpFor(HWND window, UINT ms)
{
    SetTimer(window, kStop, ms, NULL);
    PumpUntilTimer(window, kStop);
    KillTimer(window, kStop);
}

int TimersCarrying(HWND window, UINT_PTR id, int* wrong)
{
    int n = 0;
    for (int i = 0; i < SeenCount(); ++i) {
        const SeenMessage& seen = Seen(i);
        if (seen.message != WM_TIMER || seen.wParam != id)
            continue;
        ++n;
        if (seen.window != window)
            ++*wrong;
    }
    return n;
}

void PeriodicCases(HWND window)
{
    ClearSeen();
    Poison();
    UINT_PTR armed = SetTimer(window, kTimer, 100, NULL);
    ok(armed != 0, "SetTimer: got %lu, error %lu", static_cast<unsigned long>(armed), LastError());
    PumpFor(window, 350);
    int wrong = 0;
    int fired = TimersCarrying(window, kTimer, &wrong);
    ok(fired >= 2 && fired <= 3 && wrong == 0, "100 ms for 350 ms: %d WM_TIMER, %d elsewhere",
       fired, wrong);

    Poison();
    BOOL killed = KillTimer(window, kTimer);
    ok(killed, "KillTimer of an armed timer: got %d, error %lu", killed, LastError());
    ClearSeen();
    PumpFor(window, 300);
    ok(CountSeen(WM_TIMER, kTimer) == 0, "%d WM_TIMER after KillTimer", CountSeen(WM_TIMER, kTimer));

    // Killing what is not armed does nothing, in particular to other timers.
    SetTimer(window, kTimer, 100, NULL);
    Poison();
    killed = KillTimer(window, 55);
    ok(!killed, "KillTimer of an unarmed id: got %d", killed);
    ClearSeen();
    PumpFor(window, 250);
    ok(CountSeen(WM_TIMER, kTimer) >= 1, "armed timer stopped by killing another id");
    KillTimer(window, kTimer);
}

// Arming an armed identifier starts its period again.
void RestartCases(HWND window)
{
    ClearSeen();
    DWORD start = GetTickCount();
    SetTimer(window, kTimer, 300, NULL);
    PumpFor(window, 200);
    DWORD rearmed = GetTickCount();
    SetTimer(window, kTimer, 300, NULL);
    ClearSeen();
    for (int waits = 0; waits < 40 && CountSeen(WM_TIMER, kTimer) == 0; ++waits)
        PumpFor(window, 50);
    DWORD first = start;
    for (int i = 0; i < SeenCount(); ++i) {
        if (Seen(i).message == WM_TIMER && Seen(i).wParam == kTimer) {
            first = Seen(i).tick;
            break;
        }
    }
    ok(first - rearmed >= 280 && first - start >= 450,
       "re-armed at +%lu ms, first WM_TIMER at +%lu ms", U(rearmed - start), U(first - start));
    KillTimer(window, kTimer);
}

// A timer that came due several times while the thread was busy yields one
// WM_TIMER, as on Windows.
void BusyThreadCases(HWND window)
{
    SetTimer(window, kTimer, 100, NULL);
    Sleep(450);
    ClearSeen();
    PumpFor(window, 40);
    ok(CountSeen(WM_TIMER, kTimer) == 1, "after 450 ms busy: %d WM_TIMER",
       CountSeen(WM_TIMER, kTimer));
    KillTimer(window, kTimer);
}

} // namespace

void TimerCases()
{
    HWND window = CreateTestWindow();
    ok(window != NULL, "CreateWindowExW failed, error %lu", LastError());
    if (window == NULL)
        return;
    PeriodicCases(window);
    RestartCases(window);
    BusyThreadCases(window);
    DestroyWindow(window);
}

void ClockCases()
{
    DWORD before = GetTickCount();
    Sleep(100);
    DWORD after = GetTickCount();
    // Wine's tick count moves in steps of about 16 ms.
    ok(after - before >= 80 && after - before < 1000, "Sleep(100) took %lu ms by GetTickCount",
       U(after - before));
    SYSTEMTIME now;
    GetLocalTime(&now);
    ok(now.wYear >= 2000 && now.wMonth >= 1 && now.wMonth <= 12 && now.wDay >= 1 &&
           now.wDay <= 31 && now.wHour < 24 && now.wMinute < 60 && now.wSecond < 60,
       "local time %u-%u-%u %u:%u:%u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
       now.wSecond);
}

} // namespace conformance
