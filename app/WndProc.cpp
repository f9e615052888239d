#include "app/Shell.h"

#include "app/BuildOption.h"
#include "app/CheckApp.h"
#include "app/Ignition.h"
#include "app/Messages.h"
#include "app/Probation.h"
#include "app/SupervisorState.h"
#include "log/LogBuffer.h"
#include "log/LogCatalogue.h"
#include "log/WriteLog.h"
#include "patch/StartupUpdate.h"

#define CHECK_APP_PERIOD_MS 5000
#define BUILD_OPTION_DELAY_MS 5000
#define MINUTE_PERIOD_MS 60000

static void WriteStartBanner()
{
    WriteLog(LOG_BANNER_RULE);
    WriteLog(LOG_START_BANNER, LOG_INFO);
    WriteLog(LOG_BANNER_RULE);
}

static void WriteEndBanner()
{
    WriteLog(LOG_BANNER_RULE);
    WriteLog(LOG_END_BANNER, LOG_INFO);
    WriteLog(LOG_BANNER_RULE);
}

/* The registered ignition message with its ACC marker: the ignition went off
 * or on. Default processing still follows, as for any registered message. */
static void OnPowerModeChange(HWND window, LPARAM lParam)
{
    ChangeAccState(window, lParam);
}

/* Window creation, before the message loop runs: banner, ignition message,
 * the start-up update (and the probation of an update that can be taken
 * back), then the watchdog, the one-time report and the minute timer, in
 * that order. */
static LRESULT OnCreate(HWND window)
{
    WriteStartBanner();
    g_supervisor.powerMessage = RegisterWindowMessageW(POWER_MODE_MESSAGE_NAME);
    RunStartupUpdate();
    BeginProbationWatch();
    SetTimer(window, TIMER_CHECK_APP, CHECK_APP_PERIOD_MS, NULL);
    SetTimer(window, TIMER_BUILD_OPTION, BUILD_OPTION_DELAY_MS, NULL);
    SetTimer(window, TIMER_MINUTE, MINUTE_PERIOD_MS, NULL);
    return 0;
}

/* The window is going, whoever asked: say so in the log and end the loop.
 * The entry flushes the log once the loop has ended. */
static LRESULT OnDestroy()
{
    WriteEndBanner();
    PostQuitMessage(0);
    return 0;
}

/* The main window's timers, each to the part that owns it. The watchdog
 * rests while the ignition is off; the report runs once; the minute timer
 * and the one after a navigation close request are answered and ignored. */
static LRESULT OnTimer(HWND window, WPARAM timer)
{
    switch (timer) {
    case TIMER_BUILD_OPTION:
        ReqBuildOption();
        KillTimer(window, TIMER_BUILD_OPTION);
        break;
    case TIMER_CHECK_APP:
        if (g_supervisor.accOffFlag == 0) {
            CheckApp();
            /* Only these ticks count for an update's probation: the one at
             * ignition on is no time passed. */
            NoteWatchdogTick(CHECK_APP_PERIOD_MS);
        }
        break;
    case TIMER_ACC_OFF_WAIT:
        StepAccOffWait(window);
        break;
    case TIMER_ACC_ON_WAIT:
        StepAccOnWait(window);
        break;
    }
    return 0;
}

/* Another program steering the log: flush it now, or re-read the markers.
 * Any other request is answered and ignored. */
static LRESULT OnLogControl(WPARAM request)
{
    if (request == LOG_CONTROL_FLUSH)
        CLogBuffer::GetInstance()->FlushNow();
    else if (request == LOG_CONTROL_RELOAD)
        CLogBuffer::GetInstance()->LoadSettings();
    return 0;
}

static BOOL IsAccChange(UINT message, WPARAM wParam)
{
    /* Until it is registered the identifier is 0, which is WM_NULL. */
    return g_supervisor.powerMessage != 0 && message == g_supervisor.powerMessage &&
           wParam == POWER_MODE_ACC_CHANGE;
}

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (IsAccChange(message, wParam))
        OnPowerModeChange(window, lParam);
    switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_DESTROY: return OnDestroy();
    case WM_TIMER: return OnTimer(window, wParam);
    case UM_LOG_CONTROL: return OnLogControl(wParam);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
