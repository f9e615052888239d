// The tick count, Sleep and local time, on the real clock or on a virtual one
// that tests drive.
//
// Virtual time only moves when the code sleeps, waits in the message loop or
// the test advances it; local time is the start time plus the virtual
// milliseconds elapsed, carried through the calendar.
#include "platform/host/backend_internal.h"
#include "platform/host/loop_internal.h"
#include "platform/host/native.h"

namespace {

// Keeps each virtual step far below half the tick range, so wrap-safe
// comparisons between ticks stay valid while a long advance is made.
const DWORD kLargestStep = 0x40000000;
const long long kMsPerDay = 86400000LL;

bool g_virtual = false;
DWORD g_virtualTick = 0;
long long g_virtualStartMs = 0; // local time at the start, ms since 1970-01-01
long long g_virtualElapsed = 0;
unsigned long long g_slept = 0;

long long DaysFromCivil(long long year, unsigned month, unsigned day)
{
    year -= month <= 2 ? 1 : 0;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<long long>(dayOfEra) - 719468;
}

void CivilFromDays(long long days, SYSTEMTIME* out)
{
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    out->wYear = static_cast<WORD>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    out->wMonth = static_cast<WORD>(month);
    out->wDay = static_cast<WORD>(dayOfYear - (153 * mp + 2) / 5 + 1);
}

long long ToEpochMs(const SYSTEMTIME& t)
{
    unsigned month = t.wMonth < 1 ? 1 : (t.wMonth > 12 ? 12 : t.wMonth);
    unsigned day = t.wDay < 1 ? 1 : t.wDay;
    long long days = DaysFromCivil(t.wYear, month, day);
    return days * kMsPerDay + ((t.wHour * 60LL + t.wMinute) * 60LL + t.wSecond) * 1000LL +
           t.wMilliseconds;
}

void FromEpochMs(long long ms, SYSTEMTIME* out)
{
    long long days = ms >= 0 ? ms / kMsPerDay : -((-ms + kMsPerDay - 1) / kMsPerDay);
    long long inDay = ms - days * kMsPerDay;
    CivilFromDays(days, out);
    out->wDayOfWeek = static_cast<WORD>(((days % 7) + 7 + 4) % 7); // 1970-01-01: Thursday
    out->wHour = static_cast<WORD>(inDay / 3600000);
    out->wMinute = static_cast<WORD>(inDay / 60000 % 60);
    out->wSecond = static_cast<WORD>(inDay / 1000 % 60);
    out->wMilliseconds = static_cast<WORD>(inDay % 1000);
}

DWORD RealTick()
{
    return host::native::MonotonicMilliseconds();
}

void RealWait(DWORD milliseconds)
{
    host::native::Wait(milliseconds);
}

void RealLocalTime(SYSTEMTIME* out)
{
    host::native::LocalTime now;
    host::native::Now(&now);
    out->wYear = static_cast<WORD>(now.year);
    out->wMonth = static_cast<WORD>(now.month);
    out->wDayOfWeek = static_cast<WORD>(now.dayOfWeek);
    out->wDay = static_cast<WORD>(now.day);
    out->wHour = static_cast<WORD>(now.hour);
    out->wMinute = static_cast<WORD>(now.minute);
    out->wSecond = static_cast<WORD>(now.second);
    out->wMilliseconds = static_cast<WORD>(now.milliseconds);
}

// Moves the virtual clock forward, stopping at each program event due on
// the way so windows appear at their own moment.
void AdvanceVirtual(DWORD milliseconds)
{
    DWORD remaining = milliseconds;
    for (;;) {
        host::detail::FireDueProgramEvents();
        if (remaining == 0)
            return;
        DWORD step = remaining < kLargestStep ? remaining : kLargestStep;
        DWORD due = 0;
        if (host::detail::NextProgramEventDue(&due) &&
            host::detail::TickAfter(due, g_virtualTick) && due - g_virtualTick < step)
            step = due - g_virtualTick;
        g_virtualTick += step;
        g_virtualElapsed += step;
        remaining -= step;
    }
}

void Rebase(DWORD newTick)
{
    DWORD delta = newTick - GetTickCount();
    host::detail::RebaseTimers(delta);
    host::detail::RebaseProgramEvents(delta);
}

} // namespace

namespace host {
namespace detail {

void PassTime(DWORD milliseconds)
{
    if (g_virtual)
        AdvanceVirtual(milliseconds);
    else
        RealWait(milliseconds);
}

void PassTimeUntil(DWORD tick)
{
    DWORD now = GetTickCount();
    if (TickAfter(tick, now))
        PassTime(tick - now);
}

void SelectVirtualClock(DWORD startTick, const SYSTEMTIME& startLocalTime)
{
    // Armed timers and pending windows keep the time they still have to run.
    Rebase(startTick);
    g_virtual = true;
    g_virtualTick = startTick;
    g_virtualStartMs = ToEpochMs(startLocalTime);
    g_virtualElapsed = 0;
}

void SelectRealClock()
{
    Rebase(RealTick());
    g_virtual = false;
}

bool VirtualClockSelected() { return g_virtual; }

void AdvanceVirtualClock(DWORD milliseconds)
{
    if (g_virtual)
        AdvanceVirtual(milliseconds);
}

unsigned long long SleptTotal() { return g_slept; }

void ResetClock()
{
    g_virtual = false;
    g_virtualTick = 0;
    g_virtualStartMs = 0;
    g_virtualElapsed = 0;
    g_slept = 0;
}

} // namespace detail
} // namespace host

extern "C" {

DWORD WINAPI GetTickCount(void)
{
    return g_virtual ? g_virtualTick : RealTick();
}

void WINAPI Sleep(DWORD milliseconds)
{
    g_slept += milliseconds;
    host::detail::PassTime(milliseconds);
}

void WINAPI GetLocalTime(LPSYSTEMTIME time)
{
    if (time == NULL)
        return;
    if (g_virtual)
        FromEpochMs(g_virtualStartMs + g_virtualElapsed, time);
    else
        RealLocalTime(time);
}

} // extern "C"
