#include "app/NaviApp.h"

#include "app/LaunchImage.h"
#include "app/Messages.h"
#include "app/SupervisorState.h"
#include "log/LogCatalogue.h"
#include "log/WriteLog.h"
#include "platform/platform.h"

namespace {

const WPARAM kNaviCloseRequest = 501;

HWND FindNaviWindow()
{
    return FindWindowW(L"SDL_ipc", L"Roadlens");
}

/* Drivers set this marker after an accident so the map stays on screen
 * with the ignition off. */
bool IncidentMarked()
{
    return GetFileAttributesW(L"\\ResidentFlash\\Hailnet\\Incident") != INVALID_FILE_ATTRIBUTES;
}

void AskNaviToQuit(HWND navi)
{
    if (navi == NULL || IncidentMarked())
        return;
    /* Remembered so that only an application we closed is brought back. */
    g_supervisor.naviClosedFlag = 1;
    PostMessageW(navi, UM_NAVI_CLOSE, kNaviCloseRequest, 0);
    WriteLog(LOG_HEAD "키전원Off로 인하여 Roadlens를 종료합니다.\r\n", LOG_INFO, LOG_RUN_NAVI_APP,
             LOG_NAVI_CLOSED);
}

void RestartNaviIfWeClosedIt(HWND navi)
{
    if (navi == NULL && g_supervisor.naviClosedFlag == 1) {
        LaunchImage(L"\\SDMMC\\Roadlens\\Roadlens.exe");
        WriteLog(LOG_HEAD "키전원On으로 인하여 Roadlens를 실행합니다.\r\n", LOG_INFO, LOG_RUN_NAVI_APP,
                 LOG_NAVI_STARTED);
    }
    /* One chance only: a failed start, or an application that stayed, is
     * not tried again at the next ignition on. */
    g_supervisor.naviClosedFlag = 0;
}

} // namespace

void RunNaviApp(int mode)
{
    HWND navi = FindNaviWindow();
    if (mode == 1)
        AskNaviToQuit(navi);
    else
        RestartNaviIfWeClosedIt(navi);
}
