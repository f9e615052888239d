// Windows of this process: class registration, creation, the message loop,
// closing, FindWindowW and the registered messages.
#include <string>

#include "tests/conformance/backend.h"
#include "tests/conformance/cases.h"
#include "tests/conformance/test_window.h"

namespace conformance {
namespace {

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

MSG TakeMessage()
{
    MSG message;
    message.message = WM_NULL;
    message.hwnd = NULL;
    message.wParam = 0;
    message.lParam = 0;
    GetMessageW(&message, NULL, 0, 0);
    return message;
}

void RegisterClassCases()
{
    WNDCLASSW windowClass = {0, PlainProc, 0, 0, ThisInstance(), NULL, NULL, NULL, NULL,
                             L"HailConfOnce"};
    Poison();
    ATOM atom = RegisterClassW(&windowClass);
    ok(atom != 0, "first registration: got %u, error %lu", atom, LastError());
    Poison();
    atom = RegisterClassW(&windowClass);
    ok(atom == 0 && GetLastError() == ERROR_CLASS_ALREADY_EXISTS,
       "second registration: got %u, error %lu", atom, LastError());
}

void CreateDestroyCases()
{
    ClearSeen();
    HWND window = CreateTestWindow();
    ok(window != NULL, "CreateWindowExW failed, error %lu", LastError());
    if (window == NULL)
        return;
    ok(SeenCount() >= 1 && CountSeen(WM_CREATE) == 1 && Seen(0).message == WM_CREATE &&
           Seen(0).insideCreate && Seen(0).window == window,
       "WM_CREATE inside CreateWindowExW: %d messages, %d WM_CREATE", SeenCount(),
       CountSeen(WM_CREATE));
    ShowWindow(window, SW_HIDE);
    UpdateWindow(window);
    ok(IsWindow(window), "window gone after ShowWindow/UpdateWindow");

    // The procedure passes WM_CLOSE to DefWindowProcW, which destroys.
    ClearSeen();
    SendMessageW(window, WM_CLOSE, 0, 0);
    ok(CountSeen(WM_CLOSE) == 1 && CountSeen(WM_DESTROY) == 1,
       "WM_CLOSE through DefWindowProcW: %d WM_CLOSE, %d WM_DESTROY", CountSeen(WM_CLOSE),
       CountSeen(WM_DESTROY));
    ok(!IsWindow(window), "window still exists after WM_CLOSE");
    ok(FindWindowW(kTestClass, kTestTitle) == NULL, "closed window still found");

    DWORD_PTR result = 0;
    Poison();
    LRESULT sent = SendMessageTimeoutW(window, kPostedMessage, 0, 0, SMTO_NORMAL, 1460, &result);
    ok(sent == 0 && GetLastError() == ERROR_INVALID_WINDOW_HANDLE,
       "send to a destroyed window: got %ld, error %lu", static_cast<long>(sent), LastError());
    Poison();
    BOOL posted = PostMessageW(window, kPostedMessage, 0, 0);
    ok(!posted && GetLastError() == ERROR_INVALID_WINDOW_HANDLE,
       "post to a destroyed window: got %d, error %lu", posted, LastError());
}

void AcceleratorCases()
{
    Poison();
    HACCEL table = LoadAcceleratorsW(ThisInstance(), MAKEINTRESOURCEW(4321));
    ok(table == NULL, "missing accelerator table loaded");
    HWND window = CreateTestWindow();
    MSG message = {window, WM_KEYDOWN, 'A', 0, 0, {0, 0}};
    ok(TranslateAcceleratorW(window, table, &message) == 0, "a missing table translated a key");
    ok(GetStockObject(WHITE_BRUSH) != NULL, "no white brush");
    DestroyWindow(window);
}

void PostAndDispatchCases()
{
    HWND window = CreateTestWindow();
    ClearSeen();
    Poison();
    BOOL posted = PostMessageW(window, kPostedMessage, 11, 22);
    ok(posted && SeenCount() == 0, "post: got %d, error %lu, %d delivered at once", posted,
       LastError(), SeenCount());
    PostMessageW(window, kPostedMessage + 1, 1, 0);
    PostMessageW(window, kPostedMessage + 2, 2, 0);

    MSG first = TakeMessage();
    ok(first.hwnd == window && first.message == kPostedMessage && first.wParam == 11 &&
           first.lParam == 22,
       "GetMessageW: message 0x%x, wParam %lu, lParam %ld", first.message,
       static_cast<unsigned long>(first.wParam), static_cast<long>(first.lParam));
    LRESULT answer = DispatchMessageW(&first);
    ok(answer == kPostedAnswer && CountSeen(kPostedMessage) == 1,
       "DispatchMessageW: got %ld, %d delivered", static_cast<long>(answer),
       CountSeen(kPostedMessage));
    MSG second = TakeMessage();
    MSG third = TakeMessage();
    ok(second.message == kPostedMessage + 1 && third.message == kPostedMessage + 2,
       "posted order: 0x%x then 0x%x", second.message, third.message);

    DWORD_PTR result = 0;
    LRESULT sent = SendMessageTimeoutW(window, kPostedMessage, 0, 0, SMTO_NORMAL, 1460, &result);
    ok(sent != 0 && result == static_cast<DWORD_PTR>(kPostedAnswer),
       "send to this thread's window: got %ld, result %lu", static_cast<long>(sent),
       static_cast<unsigned long>(result));

    PostQuitMessage(3);
    MSG quit;
    BOOL got = GetMessageW(&quit, NULL, 0, 0);
    ok(got == FALSE && quit.message == WM_QUIT && quit.wParam == 3,
       "quit request: got %d, message 0x%x, wParam %lu", got, quit.message,
       static_cast<unsigned long>(quit.wParam));
    DestroyWindow(window);
}

void RegisteredMessageCases()
{
    Poison();
    UINT power = RegisterWindowMessageW(L"WM_POWER_MODE_CHANGE");
    ok(power >= 0xC000 && power <= 0xFFFF, "registered id 0x%x, error %lu", power, LastError());
    UINT again = RegisterWindowMessageW(L"WM_POWER_MODE_CHANGE");
    ok(again == power, "same name: 0x%x then 0x%x", power, again);
    // Atom names ignore letter case on Windows.
    UINT lower = RegisterWindowMessageW(L"wm_power_mode_change");
    ok(lower == power, "other letter case: 0x%x, expected 0x%x", lower, power);
    UINT other = RegisterWindowMessageW(L"HAILCONF_OTHER_MESSAGE");
    ok(other >= 0xC000 && other != power, "other name: 0x%x (power 0x%x)", other, power);
}

} // namespace

// The supervisor's window is made with the arguments it has on the device
// (disabled, 0 by 0 at 0,0, no extended style) and shown with the show
// command a desktop start passes: it must stay frameless and 0 by 0, with
// no caption to see and no taskbar button.
void MainWindowCases()
{
    HWND window = CreateTestWindow();
    ok(window != NULL, "CreateWindowExW failed, error %lu", LastError());
    if (window == NULL)
        return;
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    WindowShape shape;
    if (!ReadWindowShape(window, &shape)) {
        skip("the %s backend keeps no window styles or sizes", BackendName());
        DestroyWindow(window);
        return;
    }
    // Popup, visible, disabled, and the WS_CLIPSIBLINGS desktop Windows gives
    // every top-level window; no caption (0x00C00000), no frame (0x00040000).
    const DWORD shown = 0x9C000000;
    const DWORD toolWindow = 0x80; // WS_EX_TOOLWINDOW; no edge (0x100)
    ok(shape.style == shown, "style 0x%08lx, expected 0x%08lx", U(shape.style), U(shown));
    ok(shape.exStyle == toolWindow, "extended style 0x%08lx, expected 0x%08lx", U(shape.exStyle),
       U(toolWindow));
    ok(shape.left == 0 && shape.top == 0 && shape.right == 0 && shape.bottom == 0,
       "window at %ld,%ld to %ld,%ld, expected 0,0 and 0 by 0", shape.left, shape.top,
       shape.right, shape.bottom);
    DestroyWindow(window);
}

void WindowClassCases()
{
    RegisterClassCases();
    CreateDestroyCases();
    AcceleratorCases();
}

void MessageLoopCases()
{
    PostAndDispatchCases();
    RegisteredMessageCases();
}

void FindWindowCases()
{
    HWND window = CreateTestWindow();
    ok(window != NULL, "CreateWindowExW failed, error %lu", LastError());
    HWND found = FindWindowW(kTestClass, NULL);
    ok(found == window, "by class: %p, expected %p", static_cast<void*>(found),
       static_cast<void*>(window));
    found = FindWindowW(NULL, kTestTitle);
    ok(found == window, "by title: %p", static_cast<void*>(found));
    found = FindWindowW(kTestClass, kTestTitle);
    ok(found == window, "by class and title: %p", static_cast<void*>(found));
    found = FindWindowW(L"hailconfwindow", L"HAIL CONFORMANCE");
    ok(found == window, "other letter case: %p", static_cast<void*>(found));
    found = FindWindowW(kTestClass, L"Hail Conformance Other");
    ok(found == NULL, "wrong title: %p", static_cast<void*>(found));
    found = FindWindowW(NULL, L"Hail Conf");
    ok(found == NULL, "title prefix matched: %p", static_cast<void*>(found));
    found = FindWindowW(L"HailConfNoClass", NULL);
    ok(found == NULL, "missing class: %p", static_cast<void*>(found));
    DestroyWindow(window);
    found = FindWindowW(kTestClass, kTestTitle);
    ok(found == NULL, "destroyed window found: %p", static_cast<void*>(found));
}

} // namespace conformance
