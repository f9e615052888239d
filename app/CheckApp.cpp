#include "app/CheckApp.h"

#include "app/LaunchImage.h"
#include "app/Probation.h"
#include "log/LogCatalogue.h"
#include "log/WriteLog.h"
#include "platform/platform.h"

namespace {

struct WatchedApp {
    LPCWSTR title;
    const char* name;
    LPCWSTR image;
    const char* missingFormat;
    int number;
};

/* Visited in this order on every tick; the order decides who is started
 * first when several are gone. */
const WatchedApp kWatchedApps[] = {
    { L"Hailwire", "Hailwire", L"\\ResidentFlash\\Hailnet\\Hailwire.exe",
      LOG_HEAD "모뎀 응용프로그램이 없습니다. 재시작합니다.\r\n", LOG_MODEM_RESTARTED },
    { L"Hailfare", "Hailfare", L"\\ResidentFlash\\Hailnet\\Hailfare.exe",
      LOG_HEAD "미터기 응용프로그램이 없습니다. 재시작합니다.\r\n", LOG_METER_RESTARTED },
    { L"Hailnet", "Hailnet", L"\\ResidentFlash\\Hailnet\\Hailnet.exe",
      LOG_HEAD "콜 응용프로그램이 없습니다. 재시작합니다.\r\n", LOG_CALL_RESTARTED },
    { L"Hailtrack", "Hailtrack", L"\\ResidentFlash\\Hailnet\\Hailtrack.exe",
      LOG_HEAD "DTG 응용프로그램이 없습니다. 재시작합니다.\r\n", LOG_DTG_RESTARTED },
};
const size_t kWatchedCount = sizeof(kWatchedApps) / sizeof(kWatchedApps[0]);

bool IsRunning(const WatchedApp& app)
{
    return FindWindowW(NULL, app.title) != NULL;
}

bool IsInstalled(const WatchedApp& app)
{
    return GetFileAttributesW(app.image) != INVALID_FILE_ATTRIBUTES;
}

/* Answers false, having started nothing, when this restart is one too many
 * since an update that can be taken back. */
bool RestartIfMissing(size_t index)
{
    const WatchedApp& app = kWatchedApps[index];
    if (IsRunning(app)) {
        NoteAppUp(index);
        return true;
    }
    /* An application that was removed on purpose stays quiet: no start, no
     * line every five seconds. */
    if (!IsInstalled(app))
        return true;
    if (IsOneRestartTooMany(index))
        return false;
    WriteLog(app.missingFormat, LOG_INFO, LOG_CHECK_APP, app.number);
    /* Writing the log can take a while on flash; the application may have
     * come up meanwhile, and a second copy of it is worse than a late one. */
    if (IsRunning(app))
        return true;
    LaunchImage(app.image);
    NoteAppUp(index);
    return true;
}

} // namespace

void CheckApp()
{
    for (size_t i = 0; i < kWatchedCount; ++i) {
        if (RestartIfMissing(i))
            continue;
        /* The update is taken back, then every application it closed is
         * started again from the old files, as on any tick. */
        RollBackForApp(i, kWatchedApps[i].name);
        for (size_t again = 0; again < kWatchedCount; ++again)
            RestartIfMissing(again);
        return;
    }
}
