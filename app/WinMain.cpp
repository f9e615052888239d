#include "app/Shell.h"

#include "app/SupervisorState.h"
#include "log/LogBuffer.h"
#include "log/WriteLog.h"

#define TITLE_SIZE 100
#define STRING_TITLE 1
#define STRING_CLASS 2
#define ICON_MAIN 101
#define ACCELERATORS_MAIN 2

static const WCHAR kInstanceMutex[] = L"Hailwatch";
static const WCHAR kEchoMarker[] = L"\\ResidentFlash\\Hailnet\\RetailMsg";

/* The mutex is created owned and released at once: only its existence
 * matters, and its handle stays open until the process ends. */
static BOOL IsFirstInstance()
{
    HANDLE mutex = CreateMutexW(NULL, TRUE, kInstanceMutex);
    DWORD error = GetLastError();
    if (mutex != NULL)
        ReleaseMutex(mutex);
    return error != ERROR_ALREADY_EXISTS;
}

static BOOL RegisterMainClass(HINSTANCE instance, const WCHAR* className)
{
    WNDCLASSW windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = WndProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(ICON_MAIN));
    windowClass.hCursor = NULL;
    windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    windowClass.lpszMenuName = NULL;
    windowClass.lpszClassName = className;
    return RegisterClassW(&windowClass) != 0;
}

BOOL InitInstance(HINSTANCE instance, int showCommand)
{
    WCHAR title[TITLE_SIZE];
    WCHAR className[TITLE_SIZE];
    HWND window;

    g_supervisor.instance = instance;
    title[0] = 0;
    className[0] = 0;
    LoadStringW(instance, STRING_TITLE, title, TITLE_SIZE);
    LoadStringW(instance, STRING_CLASS, className, TITLE_SIZE);

    if (!IsFirstInstance())
        return FALSE;
    SetLogEcho(GetFileAttributesW(kEchoMarker) != INVALID_FILE_ATTRIBUTES ? 1 : 0);
    if (!RegisterMainClass(instance, className))
        return FALSE;

    /* Disabled and 0 by 0: the window exists for its messages and timers,
     * and cannot be seen or used. */
    window = CreateWindowExW(0, className, title, WS_DISABLED, 0, 0, 0, 0, NULL, NULL, instance,
                             NULL);
    if (window == NULL)
        return FALSE;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return TRUE;
}

/* Lines logged up to the very end, the end banner among them, would be lost
 * in the buffer when the process returns; a killed process still loses them. */
static void FlushLogOnExit()
{
    CLogBuffer::GetInstance()->FlushNow();
}

int WINAPI HAILWATCH_ENTRY(HINSTANCE instance, HINSTANCE, LPWSTR, int showCommand)
{
    HACCEL accelerators;
    MSG message;

    if (!InitInstance(instance, showCommand))
        return 0;
    /* None is shipped, so nothing is translated; asked for all the same. */
    accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(ACCELERATORS_MAIN));
    message.wParam = 0;
    while (GetMessageW(&message, NULL, 0, 0)) {
        if (!TranslateAcceleratorW(message.hwnd, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    FlushLogOnExit();
    return (int)message.wParam;
}
