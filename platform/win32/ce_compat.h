/* Desktop Win32 differs from Windows CE in a few calling conventions the core
 * relies on. This header, included only by platform.h on desktop builds,
 * bridges them so the core can be written exactly as for the device. */
#ifndef HAILWATCH_CE_COMPAT_H
#define HAILWATCH_CE_COMPAT_H

/* Windows CE accepts NULL start-up and process-information records and then
 * keeps no handles; desktop Windows dereferences both. Supply them, close the
 * handles at once, and otherwise pass the call through unchanged. */
static inline BOOL CeCreateProcessW(LPCWSTR image, LPWSTR commandLine,
                                    LPSECURITY_ATTRIBUTES processAttributes,
                                    LPSECURITY_ATTRIBUTES threadAttributes,
                                    BOOL inheritHandles, DWORD flags,
                                    LPVOID environment, LPCWSTR currentFolder,
                                    LPSTARTUPINFOW startup,
                                    LPPROCESS_INFORMATION info)
{
    STARTUPINFOW localStartup;
    PROCESS_INFORMATION localInfo;
    BOOL ok;
    if (startup == NULL) {
        ZeroMemory(&localStartup, sizeof(localStartup));
        localStartup.cb = sizeof(localStartup);
        startup = &localStartup;
    }
    ZeroMemory(&localInfo, sizeof(localInfo));
    ok = CreateProcessW(image, commandLine, processAttributes, threadAttributes,
                        inheritHandles, flags, environment, currentFolder,
                        startup, info != NULL ? info : &localInfo);
    if (ok && info == NULL) {
        CloseHandle(localInfo.hThread);
        CloseHandle(localInfo.hProcess);
    }
    return ok;
}
#define CreateProcessW CeCreateProcessW

#include "platform/win32/ce_window.h"

#endif
