#include "app/Ignition.h"

#include "app/CheckApp.h"
#include "app/Messages.h"
#include "app/NaviApp.h"
#include "app/SupervisorState.h"
#include "log/LogCatalogue.h"
#include "log/WriteLog.h"
#include "platform/platform.h"

namespace {

const WPARAM kAccStateOff = 1;
const WPARAM kAccStateOn = 2;
const UINT kAccOffPollMs = 1000;
const UINT kAccOnWaitMs = 8000;
const DWORD kAccOffCloseAfterMs = 25000;
const UINT kAfterNaviCloseMs = 5000;

void LogAccChange(bool off, LPARAM lParam)
{
    WriteLog(LOG_IGNITION_RULE);
    WriteLog(LOG_IGNITION, LOG_INFO, off ? LOG_ACC_OFF : LOG_ACC_ON, POWER_MODE_ACC_CHANGE, (int)lParam);
    WriteLog(LOG_IGNITION_RULE);
}

void EnterAccOff(HWND window)
{
    /* The flag also pauses the watchdog: siblings shutting down with the
     * ignition must not be started again. */
    g_supervisor.accOffFlag = 1;
    SetTimer(window, TIMER_ACC_OFF_WAIT, kAccOffPollMs, NULL);
    g_supervisor.accOffTick = GetTickCount();
}

void EnterAccOn(HWND window)
{
    g_supervisor.accOffFlag = 0;
    g_supervisor.accOffTick = 0;
    SetTimer(window, TIMER_ACC_ON_WAIT, kAccOnWaitMs, NULL);
    /* Siblings that went down with the ignition come back before they are
     * told it is on, so the news reaches them too. */
    CheckApp();
}

void PostAccStateTo(LPCWSTR title, WPARAM state)
{
    HWND sibling = FindWindowW(NULL, title);
    if (sibling != NULL)
        PostMessageW(sibling, UM_ACC_STATE, state, 0);
}

void PostAccState(WPARAM state)
{
    PostAccStateTo(L"Hailnet", state);
    PostAccStateTo(L"Hailfare", state);
    PostAccStateTo(L"Hailwire", state);
}

} // namespace

void ChangeAccState(HWND window, LPARAM lParam)
{
    bool off = (lParam == POWER_MODE_ACC_OFF);
    /* Every change starts its wait afresh, whichever wait was running. */
    KillTimer(window, TIMER_ACC_ON_WAIT);
    KillTimer(window, TIMER_ACC_OFF_WAIT);
    LogAccChange(off, lParam);
    if (off)
        EnterAccOff(window);
    else
        EnterAccOn(window);
    PostAccState(off ? kAccStateOff : kAccStateOn);
}

void StepAccOffWait(HWND window)
{
    KillTimer(window, TIMER_ACC_OFF_WAIT);
    if (g_supervisor.accOffFlag != 1)
        return;
    /* Unsigned difference: right across a wrap of the 32-bit tick count. */
    DWORD offFor = GetTickCount() - g_supervisor.accOffTick;
    if (offFor <= kAccOffCloseAfterMs) {
        SetTimer(window, TIMER_ACC_OFF_WAIT, kAccOffPollMs, NULL);
        return;
    }
    g_supervisor.accOffTick = 0;
    RunNaviApp(1);
    SetTimer(window, TIMER_AFTER_NAVI_CLOSE, kAfterNaviCloseMs, NULL);
}

void StepAccOnWait(HWND window)
{
    KillTimer(window, TIMER_ACC_ON_WAIT);
    if (g_supervisor.accOffFlag == 0)
        RunNaviApp(0);
}
