// This process's windows: classes, creation, destruction, finding, sending,
// registered messages and string resources.
#include "LoopFixture.h"

namespace {

using WindowsTest = HostLoopTest;

TEST_F(WindowsTest, ClassNameCanBeRegisteredOnlyOnce)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = L"HAILWATCH";
    EXPECT_NE(0, RegisterClassW(&wc));
    SetLastError(0);
    wc.lpszClassName = L"hailwatch";
    EXPECT_EQ(0, RegisterClassW(&wc));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS), GetLastError());
}

TEST_F(WindowsTest, CreationDeliversWmCreateBeforeReturning)
{
    HWND seenInCreate = NULL;
    TheRecorder().hook = [&](HWND, UINT message, WPARAM, LPARAM, LRESULT*) {
        if (message == WM_CREATE)
            seenInCreate = FindWindowW(L"TESTCLASS", L"Main");
        return false;
    };
    HWND window = MakeWindow();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(window, seenInCreate);
    ASSERT_EQ(1u, TheRecorder().messages.size());
    EXPECT_EQ(WM_CREATE + 0u, TheRecorder().messages[0].message);
    EXPECT_EQ(nullptr, CreateWindowExW(0, L"NOSUCHCLASS", L"x", 0, 0, 0, 0, 0, NULL, NULL,
                                       NULL, NULL));
}

TEST_F(WindowsTest, RefusingCreationDestroysTheWindow)
{
    TheRecorder().hook = [](HWND, UINT message, WPARAM, LPARAM, LRESULT* result) {
        *result = -1;
        return message == WM_CREATE;
    };
    EXPECT_EQ(nullptr, MakeWindow());
    EXPECT_EQ(nullptr, FindWindowW(NULL, L"Main"));
    EXPECT_EQ(1, TheRecorder().Count(WM_DESTROY));
}

TEST_F(WindowsTest, CloseLeadsToDestroyAndTheWindowGoes)
{
    HWND window = MakeWindow();
    SetTimer(window, 1, 1000, NULL);
    PostMessageW(window, WM_USER, 0, 0);
    EXPECT_EQ(0, SendMessageW(window, WM_CLOSE, 0, 0));
    EXPECT_EQ(1, TheRecorder().Count(WM_DESTROY));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(nullptr, FindWindowW(L"TESTCLASS", NULL));
    // Its timers and its queued messages went with it.
    MSG message;
    host::SetLoopDeadline(kStart + 5000);
    EXPECT_EQ(0, GetMessageW(&message, NULL, 0, 0));
    EXPECT_EQ(0, TheRecorder().Count(WM_USER));
    SetLastError(0);
    EXPECT_FALSE(PostMessageW(window, WM_USER, 0, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
}

TEST_F(WindowsTest, DestroyInsideDestroyIsHarmless)
{
    TheRecorder().hook = [](HWND w, UINT message, WPARAM, LPARAM, LRESULT*) {
        if (message == WM_DESTROY)
            DestroyWindow(w);
        return false;
    };
    HWND window = MakeWindow();
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_EQ(1, TheRecorder().Count(WM_DESTROY));
    EXPECT_FALSE(DestroyWindow(window));
}

TEST_F(WindowsTest, FindWindowIgnoresLetterCaseAndTakesNullAsAny)
{
    HWND window = MakeWindow(L"Hailwatch", L"HAILWATCH");
    EXPECT_EQ(window, FindWindowW(L"hailWATCH", L"HAILWATCH"));
    EXPECT_EQ(window, FindWindowW(NULL, L"hailwatch"));
    EXPECT_EQ(window, FindWindowW(L"HailWatch", NULL));
    EXPECT_EQ(nullptr, FindWindowW(L"HAILWATCH", L"Hailwatc"));
    EXPECT_EQ(nullptr, FindWindowW(L"HAILWATCHX", NULL));
    EXPECT_EQ(1, host::WindowCount(L"HAILWATCH"));
}

TEST_F(WindowsTest, SendingToThisProcessCallsTheProcedureAtOnce)
{
    HWND window = MakeWindow();
    TheRecorder().hook = [](HWND, UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
        *result = static_cast<LRESULT>(wParam * 2);
        return message == WM_USER;
    };
    DWORD_PTR result = 0;
    EXPECT_NE(0, SendMessageTimeoutW(window, WM_USER, 21, 0, SMTO_NORMAL, 5000, &result));
    EXPECT_EQ(42u, result);
    EXPECT_EQ(kStart, GetTickCount());
    EXPECT_TRUE(host::Trace().empty());
}

TEST_F(WindowsTest, RegisteredMessagesAreSharedPerNameWhateverTheCase)
{
    UINT power = RegisterWindowMessageW(L"WM_POWER_MODE_CHANGE");
    EXPECT_GE(power, 0xC000u);
    EXPECT_LE(power, 0xFFFFu);
    EXPECT_EQ(power, RegisterWindowMessageW(L"wm_power_mode_change"));
    UINT other = RegisterWindowMessageW(L"WM_OTHER");
    EXPECT_NE(power, other);
    EXPECT_GE(other, 0xC000u);
    EXPECT_EQ(0u, RegisterWindowMessageW(L""));
}

const host::StringResource kTestStrings[] = {{9001, L"Hailwatch"}, {9002, L""}};

TEST_F(WindowsTest, LoadStringCopiesWithinTheBufferAndTerminates)
{
    static bool registered = false;
    if (!registered) {
        host::RegisterStringTable(kTestStrings, 2);
        registered = true;
    }
    WCHAR buffer[100];
    EXPECT_EQ(9, LoadStringW(NULL, 9001, buffer, 100));
    EXPECT_EQ(std::wstring(L"Hailwatch"), buffer);
    WCHAR small[5] = {L'x', L'x', L'x', L'x', L'x'};
    EXPECT_EQ(4, LoadStringW(NULL, 9001, small, 5));
    EXPECT_EQ(std::wstring(L"Hail"), small);
    buffer[0] = L'x';
    EXPECT_EQ(0, LoadStringW(NULL, 9003, buffer, 100));
    EXPECT_EQ(0, buffer[0]);
    EXPECT_EQ(0, LoadStringW(NULL, 9002, buffer, 100));
}

} // namespace
