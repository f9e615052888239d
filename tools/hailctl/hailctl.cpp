// hailctl: sends a running Hailwatch the messages it answers, the way the
// terminal's own programs do, and lists the top-level windows.
//
//   hailctl acc off|on       the registered ignition message (1000 / 1000 or 0)
//   hailctl log flush|reload log control 1 or 2
//   hailctl windows          every top-level window, with class, title, style,
//                            extended style, position and size
//   hailctl quit             WM_DESTROY, as a patch list's KILL would
//   hailctl --version        the project's version
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "app/Messages.h"
#include "version.h"

namespace {

const wchar_t kMainClass[] = L"HAILWATCH";

#define HAILWATCH_WIDEN(text) L##text
#define HAILWATCH_WIDE(text) HAILWATCH_WIDEN(text)

enum ExitCode { kOk = 0, kUsage = 1, kNotRunning = 2, kPostFailed = 3 };

// A console takes UTF-16 as it is; a pipe or file gets UTF-8.
void Print(FILE* stream, const std::wstring& text)
{
    HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        DWORD written = 0;
        WriteConsoleW(handle, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                   nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? size : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0],
                            size, nullptr, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
}

int Usage()
{
    Print(stderr, L"usage: hailctl acc off|on\n"
                  L"       hailctl log flush|reload\n"
                  L"       hailctl windows\n"
                  L"       hailctl quit\n"
                  L"       hailctl --version\n");
    return kUsage;
}

HWND FindHailwatch()
{
    HWND window = FindWindowW(kMainClass, nullptr);
    if (window == nullptr)
        Print(stderr, L"hailctl: Hailwatch is not running (no window of class \"HAILWATCH\")\n");
    return window;
}

int Post(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND window = FindHailwatch();
    if (window == nullptr)
        return kNotRunning;
    if (!PostMessageW(window, message, wParam, lParam)) {
        Print(stderr, L"hailctl: posting failed, error " + std::to_wstring(GetLastError()) + L"\n");
        return kPostFailed;
    }
    return kOk;
}

int SendAcc(const std::wstring& state)
{
    if (state != L"off" && state != L"on")
        return Usage();
    // Registering an existing name answers the identifier every process shares.
    UINT message = RegisterWindowMessageW(POWER_MODE_MESSAGE_NAME);
    if (message == 0) {
        Print(stderr, L"hailctl: cannot register the ignition message, error " +
                          std::to_wstring(GetLastError()) + L"\n");
        return kPostFailed;
    }
    return Post(message, POWER_MODE_ACC_CHANGE, state == L"off" ? POWER_MODE_ACC_OFF : 0);
}

int SendLogControl(const std::wstring& request)
{
    if (request == L"flush")
        return Post(UM_LOG_CONTROL, LOG_CONTROL_FLUSH, 0);
    if (request == L"reload")
        return Post(UM_LOG_CONTROL, LOG_CONTROL_RELOAD, 0);
    return Usage();
}

// Style and size show whether a window can be seen: the supervisor's is a
// frameless popup, 0 by 0.
std::wstring DescribeShape(HWND window)
{
    RECT rect = {0, 0, 0, 0};
    GetWindowRect(window, &rect);
    wchar_t shape[128];
    std::swprintf(shape, 128, L"  style 0x%08lX  exstyle 0x%08lX  at %ld,%ld  size %ldx%ld",
                  static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE)),
                  static_cast<unsigned long>(GetWindowLongW(window, GWL_EXSTYLE)),
                  static_cast<long>(rect.left), static_cast<long>(rect.top),
                  static_cast<long>(rect.right - rect.left),
                  static_cast<long>(rect.bottom - rect.top));
    return shape;
}

BOOL CALLBACK PrintWindow(HWND window, LPARAM)
{
    wchar_t className[256] = L"";
    wchar_t title[256] = L"";
    wchar_t handle[32];
    GetClassNameW(window, className, 256);
    GetWindowTextW(window, title, 256);
    std::swprintf(handle, 32, L"0x%08llX", static_cast<unsigned long long>(
                                               reinterpret_cast<ULONG_PTR>(window)));
    Print(stdout, std::wstring(handle) + L"  class \"" + className + L"\"  title \"" + title +
                      L"\"" + DescribeShape(window) + L"\n");
    return TRUE;
}

int ListWindows()
{
    return EnumWindows(PrintWindow, 0) ? kOk : kPostFailed;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"acc" && argc == 3)
        return SendAcc(argv[2]);
    if (command == L"log" && argc == 3)
        return SendLogControl(argv[2]);
    if (command == L"windows" && argc == 2)
        return ListWindows();
    if (command == L"quit" && argc == 2)
        return Post(WM_DESTROY, 0, 0);
    if (command == L"--version" && argc == 2) {
        Print(stdout, L"hailctl " HAILWATCH_WIDE(HAILWATCH_VERSION) L"\n");
        return kOk;
    }
    return Usage();
}
