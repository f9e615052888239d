// Shared set-up for the host loop tests: a fresh simulated device on the
// virtual clock, and a window class whose procedure records what it receives.
#ifndef HAILWATCH_TESTS_HOST_LOOP_FIXTURE_H
#define HAILWATCH_TESTS_HOST_LOOP_FIXTURE_H

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/host/host_control.h"

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD tick;
};

// What the recording procedure saw, and an optional hook run on each message
// before default processing (its result replaces the default one if set).
struct Recorder {
    std::vector<Received> messages;
    std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)> hook;

    std::vector<DWORD> TicksOf(UINT message, WPARAM wParam) const
    {
        std::vector<DWORD> ticks;
        for (const Received& r : messages)
            if (r.message == message && r.wParam == wParam)
                ticks.push_back(r.tick);
        return ticks;
    }
    int Count(UINT message) const
    {
        int n = 0;
        for (const Received& r : messages)
            n += r.message == message ? 1 : 0;
        return n;
    }
};

inline Recorder& TheRecorder()
{
    static Recorder recorder;
    return recorder;
}

inline LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    TheRecorder().messages.push_back({message, wParam, lParam, GetTickCount()});
    LRESULT result = 0;
    if (TheRecorder().hook && TheRecorder().hook(window, message, wParam, lParam, &result))
        return result;
    return DefWindowProcW(window, message, wParam, lParam);
}

inline SYSTEMTIME LocalTime(WORD year, WORD month, WORD day, WORD hour, WORD minute,
                            WORD second, WORD ms = 0)
{
    SYSTEMTIME t = {};
    t.wYear = year;
    t.wMonth = month;
    t.wDay = day;
    t.wHour = hour;
    t.wMinute = minute;
    t.wSecond = second;
    t.wMilliseconds = ms;
    return t;
}

class HostLoopTest : public ::testing::Test {
protected:
    static constexpr DWORD kStart = 100000;

    void SetUp() override
    {
        host::Reset();
        TheRecorder() = Recorder();
        host::UseVirtualClock(kStart, LocalTime(2024, 3, 1, 9, 0, 0));
    }
    void TearDown() override
    {
        TheRecorder() = Recorder();
        host::Reset();
    }

    HWND MakeWindow(const wchar_t* title = L"Main", const wchar_t* className = L"TESTCLASS")
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = RecordingProc;
        wc.lpszClassName = className;
        RegisterClassW(&wc);
        return CreateWindowExW(0, className, title, WS_DISABLED, 0, 0, 0, 0, NULL, NULL,
                               NULL, NULL);
    }
};

#endif
