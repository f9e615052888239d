/* hailsibling: a stand-in for the terminal's sibling applications.
 *
 * Copy it as Hailnet.exe, Hailwire.exe, Hailfare.exe, Hailtrack.exe or
 * Roadlens.exe (the call, modem, meter, tachograph and navigation
 * applications) to run a terminal image, or the supervisor's tests, without
 * the real programs.
 *
 * Window: one top-level window titled after the program's own file name
 * without ".exe" ("Hailnet", ...); its class is "SDL_ipc" for Roadlens, as
 * the navigation application's is, and "HailSibling" for the others.
 *
 * Record: every message that matters is appended as one text line to
 * <name>.record.txt beside the executable, written and closed at once so a
 * reader sees it immediately. Each line starts with the local time
 * "hh:mm:ss.mmm" and a space, then one of:
 *   START pid <process id>
 *   WM_DESTROY                      (the program then quits)
 *   WM_DESTROY ignored              (with the ignore-destroy marker)
 *   UM_ACC_STATE <wParam>           (3042: 1 ignition off, 2 on)
 *   UM_NAVI_CLOSE <wParam>          (1325: 501 asks to quit)
 *   WM_COPYDATA tag=<dwData> bytes=<cbData> data=<bytes in hex>
 *                                   (at most 256 bytes shown, then "...")
 *   WM_COPYDATA answered            (after a late answer)
 *   HOLD opened | HOLD failed <error> | HOLD released   (hold marker)
 *   EXIT at once                    (exit-at-once marker; nothing else)
 *   EXIT
 *
 * Markers: files beside the executable, only their existence counts, looked
 * at when the message arrives (so they can be made or removed while the
 * program runs):
 *   <name>.ignore-destroy      a posted WM_DESTROY is recorded, nothing more
 *   <name>.late-copydata       WM_COPYDATA is answered after 6 seconds
 *   <name>.quit-on-navi-close  UM_NAVI_CLOSE ends the program
 *   <name>.exit-at-once        looked at at start-up: the program records
 *                              "EXIT at once" and ends before it makes a
 *                              window, as an application that crashes at
 *                              start does
 *   <name>.hold                looked at at start-up: its first line is a
 *                              path that the program opens without sharing
 *                              and holds, as a program that keeps a file busy
 *                              does, until the marker is deleted (looked at
 *                              every 100 ms)
 * Without markers WM_DESTROY ends the program, WM_COPYDATA is answered at
 * once and UM_NAVI_CLOSE is only recorded. Closing the window (WM_CLOSE)
 * always ends it. */
#include <windows.h>

#include <stdio.h>
#include <string.h>
#include <wchar.h>

namespace {

const UINT UM_ACC_STATE = 3042;
const UINT UM_NAVI_CLOSE = 1325;
const DWORD kLateAnswerMs = 6000;
const DWORD kMaxHexBytes = 256;

/* Filled once at start-up from the program's own path. */
wchar_t g_name[MAX_PATH];
wchar_t g_folder[MAX_PATH];

void TakeNameFromOwnPath()
{
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(NULL, path, MAX_PATH);
    path[MAX_PATH - 1] = L'\0';
    wchar_t* slash = wcsrchr(path, L'\\');
    const wchar_t* file = slash != NULL ? slash + 1 : path;
    _snwprintf(g_name, MAX_PATH - 1, L"%ls", file);
    size_t length = wcslen(g_name);
    if (length > 4 && _wcsicmp(g_name + length - 4, L".exe") == 0)
        g_name[length - 4] = L'\0';
    if (slash != NULL)
        *slash = L'\0';
    else
        path[0] = L'\0';
    _snwprintf(g_folder, MAX_PATH - 1, L"%ls", path);
}

/* The path of a file beside the executable: <folder>\<name><suffix>. */
void SidePath(const wchar_t* suffix, wchar_t* out, size_t size)
{
    _snwprintf(out, size - 1, L"%ls\\%ls%ls", g_folder, g_name, suffix);
    out[size - 1] = L'\0';
}

bool HasMarker(const wchar_t* suffix)
{
    wchar_t path[2 * MAX_PATH + 32];
    SidePath(suffix, path, sizeof(path) / sizeof(path[0]));
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

void AppendToRecord(const char* text)
{
    wchar_t path[2 * MAX_PATH + 32];
    SidePath(L".record.txt", path, sizeof(path) / sizeof(path[0]));
    SYSTEMTIME now;
    GetLocalTime(&now);
    char line[1024];
    int length = _snprintf(line, sizeof(line) - 3, "%02u:%02u:%02u.%03u %s",
                           now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, text);
    if (length < 0 || length > (int)sizeof(line) - 3)
        length = (int)sizeof(line) - 3;
    line[length++] = '\r';
    line[length++] = '\n';
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, line, (DWORD)length, &written, NULL);
    CloseHandle(file);
}

void RecordNumber(const char* what, unsigned long long value)
{
    char text[128];
    _snprintf(text, sizeof(text) - 1, "%s %llu", what, value);
    text[sizeof(text) - 1] = '\0';
    AppendToRecord(text);
}

void RecordCopyData(const COPYDATASTRUCT* record)
{
    char text[64 + 3 * kMaxHexBytes + 8];
    int length = _snprintf(text, sizeof(text) - 1, "WM_COPYDATA tag=%llu bytes=%lu data=",
                           (unsigned long long)record->dwData, (unsigned long)record->cbData);
    const unsigned char* bytes = static_cast<const unsigned char*>(record->lpData);
    DWORD shown = record->cbData < kMaxHexBytes ? record->cbData : kMaxHexBytes;
    for (DWORD i = 0; bytes != NULL && i < shown; ++i)
        length += _snprintf(text + length, 4, i == 0 ? "%02X" : " %02X", bytes[i]);
    if (shown < record->cbData)
        length += _snprintf(text + length, 4, "...");
    text[length] = '\0';
    AppendToRecord(text);
}

/* A posted WM_DESTROY is how the supervisor's update closes us; it must
 * look like the real application's reaction unless told otherwise. */
LRESULT OnDestroy()
{
    if (HasMarker(L".ignore-destroy")) {
        AppendToRecord("WM_DESTROY ignored");
        return 0;
    }
    AppendToRecord("WM_DESTROY");
    PostQuitMessage(0);
    return 0;
}

/* The window is really gone (closed by the user or the system): nothing is
 * left to stand in for, whatever the markers say. */
LRESULT OnNcDestroy()
{
    PostQuitMessage(0);
    return 0;
}

/* The ignition news the supervisor posts to the call, meter and modem
 * applications. */
LRESULT OnAccState(WPARAM state)
{
    RecordNumber("UM_ACC_STATE", state);
    return 0;
}

/* The navigation application's quit request; the real one quits, the
 * stand-in only when asked to, so both behaviours can be tested. */
LRESULT OnNaviClose(WPARAM request)
{
    RecordNumber("UM_NAVI_CLOSE", request);
    if (HasMarker(L".quit-on-navi-close"))
        PostQuitMessage(0);
    return 0;
}

/* The build option sent to the call application; a late answer lets the
 * sender's time-out be seen. */
LRESULT OnCopyData(const COPYDATASTRUCT* record)
{
    if (record != NULL)
        RecordCopyData(record);
    if (HasMarker(L".late-copydata")) {
        Sleep(kLateAnswerMs);
        AppendToRecord("WM_COPYDATA answered");
    }
    return TRUE;
}

const UINT_PTR kHoldTimer = 1;
const UINT kHoldPollMs = 100;
HANDLE g_held = INVALID_HANDLE_VALUE;

/* Opens the file the hold marker names, sharing nothing, and keeps it open
 * until the marker is deleted: no other program may read, change or delete
 * it meanwhile. */
void HoldMarkedFile(HWND window)
{
    if (!HasMarker(L".hold"))
        return;
    wchar_t marker[2 * MAX_PATH + 32];
    SidePath(L".hold", marker, sizeof(marker) / sizeof(marker[0]));
    char target[MAX_PATH] = "";
    FILE* file = _wfopen(marker, L"r");
    if (file != NULL) {
        if (fgets(target, sizeof(target), file) == NULL)
            target[0] = '\0';
        fclose(file);
    }
    target[strcspn(target, "\r\n")] = '\0';
    g_held = CreateFileA(target, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         NULL);
    if (g_held == INVALID_HANDLE_VALUE) {
        RecordNumber("HOLD failed", GetLastError());
        return;
    }
    AppendToRecord("HOLD opened");
    SetTimer(window, kHoldTimer, kHoldPollMs, NULL);
}

LRESULT OnHoldTimer(HWND window)
{
    if (g_held == INVALID_HANDLE_VALUE || HasMarker(L".hold"))
        return 0;
    CloseHandle(g_held);
    g_held = INVALID_HANDLE_VALUE;
    KillTimer(window, kHoldTimer);
    AppendToRecord("HOLD released");
    return 0;
}

/* Shows which sibling this window stands for, for anyone looking at the
 * terminal's screen. */
LRESULT OnPaint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT area;
    GetClientRect(window, &area);
    DrawTextW(dc, g_name, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    EndPaint(window, &paint);
    return 0;
}

LRESULT CALLBACK SiblingWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY: return OnDestroy();
    case WM_NCDESTROY: return OnNcDestroy();
    case UM_ACC_STATE: return OnAccState(wParam);
    case UM_NAVI_CLOSE: return OnNaviClose(wParam);
    case WM_COPYDATA: return OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case WM_PAINT: return OnPaint(window);
    case WM_TIMER: return OnHoldTimer(window);
    default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

HWND CreateSiblingWindow(HINSTANCE instance, int showCommand)
{
    const wchar_t* className = _wcsicmp(g_name, L"Roadlens") == 0 ? L"SDL_ipc" : L"HailSibling";
    WNDCLASSW windowClass;
    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.lpfnWndProc = SiblingWndProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    windowClass.lpszClassName = className;
    if (RegisterClassW(&windowClass) == 0)
        return NULL;
    HWND window = CreateWindowExW(0, className, g_name, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 320, 120, NULL, NULL, instance, NULL);
    if (window != NULL)
        ShowWindow(window, showCommand);
    return window;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    TakeNameFromOwnPath();
    if (HasMarker(L".exit-at-once")) {
        AppendToRecord("EXIT at once");
        return 3;
    }
    HWND window = CreateSiblingWindow(instance, showCommand);
    if (window == NULL)
        return 1;
    HoldMarkedFile(window);
    RecordNumber("START pid", GetCurrentProcessId());
    MSG message;
    while (GetMessageW(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    AppendToRecord("EXIT");
    return 0;
}
