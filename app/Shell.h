/* The application shell: entry, the single-instance start-up and the main
 * window's procedure. */
#ifndef HAILWATCH_SHELL_H
#define HAILWATCH_SHELL_H

#include "platform/platform.h"

/* Windows CE names its entry WinMain with a wide command line. */
#ifdef _WIN32_WCE
#define HAILWATCH_ENTRY WinMain
#else
#define HAILWATCH_ENTRY wWinMain
#endif

/* Starts the supervisor and runs its message loop; the exit code is the
 * quit request's (0). */
int WINAPI HAILWATCH_ENTRY(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine,
                           int showCommand);

/* Refuses a second copy, then creates the disabled 0 by 0 main window. */
BOOL InitInstance(HINSTANCE instance, int showCommand);

/* The main window's procedure: every piece of work starts here. */
LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif
