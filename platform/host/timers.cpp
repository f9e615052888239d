// Timers of this process's windows.
//
// A timer is one record with its next expiry, not a queue of WM_TIMER
// messages: however many periods pass while the thread is busy, the loop
// finds it due once, and the next expiry counts from that delivery.
#include <vector>

#include "platform/host/backend_internal.h"
#include "platform/host/loop_internal.h"

namespace {

// Windows raises shorter periods to this; it also keeps a zero period from
// making virtual time stand still.
const DWORD kMinimumPeriod = 10;
const DWORD kMaximumPeriod = 0x7FFFFFFF;
const UINT_PTR kFirstThreadTimerId = 0x7000;

struct Timer {
    HWND window;
    UINT_PTR id;
    DWORD period;
    DWORD due;
    TIMERPROC proc;
    unsigned long order; // arming order, breaks ties between equal expiries
};

std::vector<Timer> g_timers;
unsigned long g_nextOrder = 0;

Timer* FindTimer(HWND window, UINT_PTR id)
{
    for (size_t i = 0; i < g_timers.size(); ++i) {
        if (g_timers[i].window == window && g_timers[i].id == id)
            return &g_timers[i];
    }
    return NULL;
}

UINT_PTR UnusedThreadTimerId()
{
    UINT_PTR id = kFirstThreadTimerId;
    while (FindTimer(NULL, id) != NULL)
        ++id;
    return id;
}

bool ForWindow(const Timer& timer, HWND filter)
{
    return filter == NULL || timer.window == filter;
}

// True if `a` should be delivered before `b`.
bool Earlier(const Timer& a, const Timer& b)
{
    if (a.due != b.due)
        return host::detail::TickAfter(b.due, a.due);
    return a.order < b.order;
}

DWORD ClampPeriod(UINT elapse)
{
    if (elapse < kMinimumPeriod)
        return kMinimumPeriod;
    return elapse > kMaximumPeriod ? kMaximumPeriod : elapse;
}

} // namespace

namespace host {
namespace detail {

bool TakeDueTimer(HWND window, MSG* message)
{
    DWORD now = GetTickCount();
    Timer* chosen = NULL;
    for (size_t i = 0; i < g_timers.size(); ++i) {
        Timer& timer = g_timers[i];
        if (ForWindow(timer, window) && TickReached(now, timer.due) &&
            (chosen == NULL || Earlier(timer, *chosen)))
            chosen = &timer;
    }
    if (chosen == NULL)
        return false;
    chosen->due = now + chosen->period;
    message->hwnd = chosen->window;
    message->message = WM_TIMER;
    message->wParam = chosen->id;
    message->lParam = reinterpret_cast<LPARAM>(chosen->proc);
    message->time = now;
    message->pt.x = 0;
    message->pt.y = 0;
    return true;
}

bool NextTimerDue(HWND window, DWORD* due)
{
    const Timer* earliest = NULL;
    for (size_t i = 0; i < g_timers.size(); ++i) {
        if (ForWindow(g_timers[i], window) &&
            (earliest == NULL || Earlier(g_timers[i], *earliest)))
            earliest = &g_timers[i];
    }
    if (earliest == NULL)
        return false;
    *due = earliest->due;
    return true;
}

void KillTimersOf(HWND window)
{
    for (size_t i = g_timers.size(); i-- > 0;) {
        if (g_timers[i].window == window)
            g_timers.erase(g_timers.begin() + i);
    }
}

void RebaseTimers(DWORD delta)
{
    for (size_t i = 0; i < g_timers.size(); ++i)
        g_timers[i].due += delta;
}

void ResetTimers()
{
    g_timers.clear();
    g_nextOrder = 0;
}

} // namespace detail
} // namespace host

extern "C" {

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc)
{
    if (window != NULL && !host::detail::IsThisProcessWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (window == NULL && FindTimer(NULL, id) == NULL)
        id = UnusedThreadTimerId();
    Timer* timer = FindTimer(window, id);
    if (timer == NULL) {
        Timer fresh = {window, id, 0, 0, NULL, 0};
        g_timers.push_back(fresh);
        timer = &g_timers.back();
    }
    // Arming an armed timer restarts it with the new period.
    timer->period = ClampPeriod(elapse);
    timer->due = GetTickCount() + timer->period;
    timer->proc = proc;
    timer->order = g_nextOrder++;
    return id != 0 ? id : 1;
}

BOOL WINAPI KillTimer(HWND window, UINT_PTR id)
{
    for (size_t i = 0; i < g_timers.size(); ++i) {
        if (g_timers[i].window == window && g_timers[i].id == id) {
            g_timers.erase(g_timers.begin() + i);
            return TRUE;
        }
    }
    return FALSE;
}

} // extern "C"
