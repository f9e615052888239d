#include "app/CheckApp.h"

#include "app/LaunchImage.h"
#include "log/WriteLog.h"
#include "platform/platform.h"

namespace {

struct WatchedApp {
    LPCWSTR title;
    LPCWSTR image;
    const char* missingFormat;
    int number;
};

/* Visited in this order on every tick; the order decides who is started
 * first when several are gone. */
const WatchedApp kWatchedApps[] = {
    { L"Hailwire", L"\\ResidentFlash\\Hailnet\\Hailwire.exe",
      "%s %s[%d] 모뎀 응용프로그램이 없습니다. 재시작합니다.\r\n", 409 },
    { L"Hailfare", L"\\ResidentFlash\\Hailnet\\Hailfare.exe",
      "%s %s[%d] 미터기 응용프로그램이 없습니다. 재시작합니다.\r\n", 417 },
    { L"Hailnet", L"\\ResidentFlash\\Hailnet\\Hailnet.exe",
      "%s %s[%d] 콜 응용프로그램이 없습니다. 재시작합니다.\r\n", 425 },
    { L"Hailtrack", L"\\ResidentFlash\\Hailnet\\Hailtrack.exe",
      "%s %s[%d] DTG 응용프로그램이 없습니다. 재시작합니다.\r\n", 434 },
};

bool IsRunning(const WatchedApp& app)
{
    return FindWindowW(NULL, app.title) != NULL;
}

bool IsInstalled(const WatchedApp& app)
{
    return GetFileAttributesW(app.image) != INVALID_FILE_ATTRIBUTES;
}

void RestartIfMissing(const WatchedApp& app)
{
    /* An application that was removed on purpose stays quiet: no start, no
     * line every five seconds. */
    if (IsRunning(app) || !IsInstalled(app))
        return;
    WriteLog(app.missingFormat, "<I>", "CheckApp", app.number);
    /* Writing the log can take a while on flash; the application may have
     * come up meanwhile, and a second copy of it is worse than a late one. */
    if (IsRunning(app))
        return;
    LaunchImage(app.image);
}

} // namespace

void CheckApp()
{
    for (size_t i = 0; i < sizeof(kWatchedApps) / sizeof(kWatchedApps[0]); ++i)
        RestartIfMissing(kWatchedApps[i]);
}
