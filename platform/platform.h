/* The one header through which the core reaches the Windows CE services.
 *
 * On Windows builds it is the real <windows.h>; on a desktop Windows build
 * (mingw-w64, run under Wine) a few calls are adapted to the CE calling
 * conventions the core uses. Elsewhere it declares the same subset under the
 * same Win32 names, implemented by the host backend in platform/host/. The
 * PC tools' model terminal uses the host backend on Windows too
 * (HAILWATCH_HOST_BACKEND), so a Windows PC runs the terminal's code on the
 * same model as Linux does. */
#ifndef HAILWATCH_PLATFORM_H
#define HAILWATCH_PLATFORM_H

#if defined(_WIN32) && !defined(HAILWATCH_HOST_BACKEND)
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#include <windows.h>
#include <stdio.h>
#ifndef _WIN32_WCE
#include "platform/win32/ce_compat.h"
#endif
#else
#include "platform/host/win32_api.h"
#endif

#endif
