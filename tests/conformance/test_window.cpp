#include "tests/conformance/test_window.h"

#include "tests/conformance/backend.h"

namespace conformance {

const wchar_t kTestClass[] = L"HailConfWindow";
const wchar_t kTestTitle[] = L"Hail Conformance";

namespace {

const int kMaxSeen = 512;
SeenMessage g_seen[kMaxSeen];
int g_seenCount = 0;
bool g_creating = false;

void Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_seenCount >= kMaxSeen)
        return;
    SeenMessage& seen = g_seen[g_seenCount++];
    seen.window = window;
    seen.message = message;
    seen.wParam = wParam;
    seen.lParam = lParam;
    seen.tick = GetTickCount();
    seen.insideCreate = g_creating;
}

bool Interesting(UINT message)
{
    return message == WM_CREATE || message == WM_DESTROY || message == WM_CLOSE ||
           message == WM_TIMER || message == WM_COPYDATA || message >= WM_USER;
}

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (Interesting(message))
        Record(window, message, wParam, lParam);
    if (message == kPostedMessage)
        return kPostedAnswer;
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

bool RegisterTestClass()
{
    WNDCLASSW windowClass;
    windowClass.style = 0;
    windowClass.lpfnWndProc = RecordingProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = ThisInstance();
    windowClass.hIcon = NULL;
    windowClass.hCursor = NULL;
    windowClass.hbrBackground = NULL;
    windowClass.lpszMenuName = NULL;
    windowClass.lpszClassName = kTestClass;
    return RegisterClassW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CreateTestWindow()
{
    if (!RegisterTestClass())
        return NULL;
    g_creating = true;
    HWND window = CreateWindowExW(0, kTestClass, kTestTitle, WS_DISABLED, 0, 0, 0, 0, NULL, NULL,
                                  ThisInstance(), NULL);
    g_creating = false;
    return window;
}

void ClearSeen() { g_seenCount = 0; }
int SeenCount() { return g_seenCount; }
const SeenMessage& Seen(int index) { return g_seen[index]; }

int CountSeen(UINT message, UINT_PTR timerId)
{
    int n = 0;
    for (int i = 0; i < g_seenCount; ++i) {
        if (g_seen[i].message != message)
            continue;
        if (message == WM_TIMER && timerId != 0 && g_seen[i].wParam != timerId)
            continue;
        ++n;
    }
    return n;
}

void PumpUntilTimer(HWND window, UINT_PTR stopId)
{
    MSG message;
    while (GetMessageW(&message, NULL, 0, 0)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
        if (message.message == WM_TIMER && message.hwnd == window && message.wParam == stopId)
            return;
    }
}

} // namespace conformance
