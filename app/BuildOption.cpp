#include "app/BuildOption.h"

#include <stdio.h>
#include <string.h>

#include "log/LogCatalogue.h"
#include "log/WriteLog.h"
#include "platform/platform.h"

namespace {

const int kVersionMajor = 2;
const int kVersionMinor = 2;
const int kVersionBuild = 56;

/* The call application knows the record by this tag. */
const ULONG_PTR kBuildOptionTag = 2224;
const UINT kSendTimeoutMs = 5000;

/* "15 법인 미터기데이타 ": 21 bytes in code page 949, sent without its
 * terminator. The buffer is zeroed first so it is always terminated. */
void ComposeBuildOption(char* text, size_t size)
{
    memset(text, 0, size);
    /* Two digits and a space: sprintf, which the device's runtime has
     * (snprintf it lacks), cannot overrun the 100 bytes here. */
    sprintf(text, "%d%d ", 1, 5);
    strncat(text, "법인 ", size - 1 - strlen(text));
    strncat(text, "미터기데이타 ", size - 1 - strlen(text));
}

void SendBuildOption(HWND callApp, char* text)
{
    COPYDATASTRUCT record;
    record.dwData = kBuildOptionTag;
    record.cbData = (DWORD)strlen(text);
    record.lpData = text;
    DWORD_PTR result = 0;
    /* The call application may be busy starting; we wait at most five
     * seconds and never ask again in this run. */
    if (SendMessageTimeout(callApp, WM_COPYDATA, 0, (LPARAM)&record,
                           SMTO_NORMAL, kSendTimeoutMs, &result) == 0) {
        WriteLog(LOG_BUILD_OPTION_FAILED_FORMAT, LOG_ERROR, LOG_REQ_BUILD_OPTION,
                 LOG_BUILD_OPTION_FAILED, (int)GetLastError());
    }
}

} // namespace

void ReqBuildOption()
{
    WriteLog(LOG_VERSION, LOG_INFO, kVersionMajor, kVersionMinor, kVersionBuild);
    char text[100];
    ComposeBuildOption(text, sizeof(text));
    HWND callApp = FindWindowW(NULL, L"Hailnet");
    if (callApp == NULL)
        return;
    SendBuildOption(callApp, text);
}
