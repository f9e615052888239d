// The message loop on the virtual clock: timers, posted messages, the quit
// request, RunMessageLoopUntil and the loop deadline.
#include "LoopFixture.h"

namespace {

using LoopTest = HostLoopTest;

TEST_F(LoopTest, TimerCarriesItsIdAndRepeatsEveryPeriod)
{
    HWND window = MakeWindow();
    ASSERT_NE(nullptr, window);
    EXPECT_NE(0u, SetTimer(window, 1001, 5000, NULL));
    EXPECT_NE(0u, SetTimer(window, 102, 5000, NULL));
    EXPECT_FALSE(host::RunMessageLoopUntil(kStart + 10000));
    EXPECT_EQ((std::vector<DWORD>{kStart + 5000, kStart + 10000}),
              TheRecorder().TicksOf(WM_TIMER, 1001));
    EXPECT_EQ((std::vector<DWORD>{kStart + 5000, kStart + 10000}),
              TheRecorder().TicksOf(WM_TIMER, 102));
    // Equal expiries come in arming order.
    ASSERT_GE(TheRecorder().messages.size(), 3u);
    EXPECT_EQ(1001u, TheRecorder().messages[1].wParam);
    EXPECT_EQ(102u, TheRecorder().messages[2].wParam);
    EXPECT_EQ(kStart + 10000, GetTickCount());
}

TEST_F(LoopTest, TimerThatElapsedSeveralTimesWhileBusyArrivesOnce)
{
    HWND window = MakeWindow();
    SetTimer(window, 7, 1000, NULL);
    bool slept = false;
    TheRecorder().hook = [&](HWND, UINT message, WPARAM, LPARAM, LRESULT*) {
        if (message == WM_TIMER && !slept) {
            slept = true;
            Sleep(3500); // three more periods pass inside the handler
        }
        return false;
    };
    host::RunMessageLoopUntil(kStart + 6000);
    // Delivered at 1000; due again at once after the sleep (4500), then one
    // period after that delivery.
    EXPECT_EQ((std::vector<DWORD>{kStart + 1000, kStart + 4500, kStart + 5500}),
              TheRecorder().TicksOf(WM_TIMER, 7));
}

TEST_F(LoopTest, ArmingAnArmedTimerRestartsIt)
{
    HWND window = MakeWindow();
    SetTimer(window, 1003, 1000, NULL);
    host::Advance(600);
    SetTimer(window, 1003, 1000, NULL);
    host::RunMessageLoopUntil(kStart + 2000);
    EXPECT_EQ((std::vector<DWORD>{kStart + 1600}), TheRecorder().TicksOf(WM_TIMER, 1003));
}

TEST_F(LoopTest, KillingStopsATimerAndKillingAnUnarmedOneDoesNothing)
{
    HWND window = MakeWindow();
    SetTimer(window, 1004, 8000, NULL);
    SetLastError(12345);
    EXPECT_FALSE(KillTimer(window, 99));
    EXPECT_EQ(12345u, GetLastError());
    EXPECT_TRUE(KillTimer(window, 1004));
    EXPECT_FALSE(KillTimer(window, 1004));
    SetTimer(window, 5, 10000, NULL); // keeps the loop from idling forever
    host::RunMessageLoopUntil(kStart + 9000);
    EXPECT_TRUE(TheRecorder().TicksOf(WM_TIMER, 1004).empty());
}

TEST_F(LoopTest, RunMessageLoopUntilHandlesTheTickWrap)
{
    host::UseVirtualClock(0xFFFFF000u, LocalTime(2024, 3, 1, 9, 0, 0));
    HWND window = MakeWindow();
    SetTimer(window, 1, 1000, NULL);
    EXPECT_FALSE(host::RunMessageLoopUntil(0x00001000u));
    // 0x1000 ticks before the wrap and 0x1000 after: eight whole periods.
    std::vector<DWORD> ticks = TheRecorder().TicksOf(WM_TIMER, 1);
    ASSERT_EQ(8u, ticks.size());
    EXPECT_EQ(0xFFFFF3E8u, ticks[0]);
    EXPECT_EQ(0x00000F40u, ticks[7]);
    EXPECT_EQ(0x00001000u, GetTickCount());
}

TEST_F(LoopTest, PostedMessagesComeBeforeTimersAndQuitEndsTheRun)
{
    HWND window = MakeWindow();
    SetTimer(window, 1, 1000, NULL);
    TheRecorder().hook = [&](HWND w, UINT message, WPARAM wParam, LPARAM, LRESULT*) {
        if (message == WM_TIMER) {
            PostMessageW(w, WM_USER + 1, wParam, 0);
        } else if (message == WM_USER + 1) {
            PostQuitMessage(7);
        }
        return false;
    };
    EXPECT_TRUE(host::RunMessageLoopUntil(kStart + 60000));
    EXPECT_EQ(7, host::QuitCode());
    EXPECT_EQ(kStart + 1000, GetTickCount());
    ASSERT_EQ(3u, TheRecorder().messages.size());
    EXPECT_EQ(WM_USER + 1u, TheRecorder().messages[2].message);
}

TEST_F(LoopTest, GetMessageReturnsZeroWithTheExitCodeOnQuit)
{
    EXPECT_EQ(-1, host::QuitCode());
    HWND window = MakeWindow();
    PostMessageW(window, WM_USER, 1, 2);
    PostQuitMessage(3);
    MSG message = {};
    ASSERT_TRUE(GetMessageW(&message, NULL, 0, 0));
    EXPECT_EQ(window, message.hwnd);
    EXPECT_EQ(WM_USER + 0u, message.message);
    EXPECT_EQ(0, GetMessageW(&message, NULL, 0, 0));
    EXPECT_EQ(WM_QUIT + 0u, message.message);
    EXPECT_EQ(3u, message.wParam);
}

TEST_F(LoopTest, LoopDeadlineEndsAnIdleGetMessageAfterWhatIsDueAtIt)
{
    HWND window = MakeWindow();
    SetTimer(window, 1, 2000, NULL);
    host::SetLoopDeadline(kStart + 4000);
    MSG message = {};
    int timers = 0;
    while (GetMessageW(&message, NULL, 0, 0)) {
        DispatchMessageW(&message);
        ++timers;
    }
    EXPECT_EQ(2, timers); // at 2000 and 4000
    EXPECT_EQ(kStart + 4000, GetTickCount());
    EXPECT_EQ(-1, host::QuitCode());
    EXPECT_EQ(0, GetMessageW(&message, NULL, 0, 0)); // still past the deadline
}

TEST_F(LoopTest, FilteredGetMessageSkipsTimersWithoutStallingTheClock)
{
    HWND window = MakeWindow();
    SetTimer(window, 1, 1000, NULL);
    PostMessageW(window, WM_USER, 0, 0);
    PostMessageW(window, WM_USER + 9, 0, 0);
    host::SetLoopDeadline(kStart + 3000);
    MSG message = {};
    ASSERT_TRUE(GetMessageW(&message, NULL, WM_USER, WM_USER));
    EXPECT_EQ(0, GetMessageW(&message, NULL, WM_USER, WM_USER));
    EXPECT_EQ(kStart + 3000, GetTickCount());
    // Unfiltered, the posted message outside the range and the timer follow.
    ASSERT_TRUE(GetMessageW(&message, NULL, 0, 0));
    EXPECT_EQ(WM_USER + 9u, message.message);
    ASSERT_TRUE(GetMessageW(&message, NULL, 0, 0));
    EXPECT_EQ(WM_TIMER + 0u, message.message);
}

TEST_F(LoopTest, HandlerRunningPastTheTargetEndsTheRun)
{
    HWND window = MakeWindow();
    SetTimer(window, 1, 1000, NULL);
    TheRecorder().hook = [](HWND, UINT message, WPARAM, LPARAM, LRESULT*) {
        if (message == WM_TIMER)
            Sleep(5000);
        return false;
    };
    EXPECT_FALSE(host::RunMessageLoopUntil(kStart + 2000));
    EXPECT_EQ(1u, TheRecorder().TicksOf(WM_TIMER, 1).size());
    EXPECT_EQ(kStart + 6000, GetTickCount());
}

TEST_F(LoopTest, ArmedTimerKeepsItsRemainingTimeWhenTheClockIsSwitched)
{
    HWND window = MakeWindow();
    SetTimer(window, 1, 5000, NULL);
    host::Advance(1000);
    host::UseVirtualClock(500, LocalTime(2024, 3, 1, 9, 0, 0));
    host::RunMessageLoopUntil(5000);
    EXPECT_EQ((std::vector<DWORD>{4500}), TheRecorder().TicksOf(WM_TIMER, 1));
}

TEST_F(LoopTest, TimerProcedureIsCalledByDispatch)
{
    static int calls;
    calls = 0;
    UINT_PTR id = SetTimer(NULL, 0, 100, [](HWND, UINT, UINT_PTR, DWORD) { ++calls; });
    EXPECT_NE(0u, id);
    host::RunMessageLoopUntil(kStart + 350);
    EXPECT_EQ(3, calls);
    EXPECT_TRUE(KillTimer(NULL, id));
}

using LoopDeathTest = HostLoopTest;

TEST_F(LoopDeathTest, IdleWithNothingToWaitForAbortsLoudly)
{
    MSG message;
    EXPECT_DEATH(GetMessageW(&message, NULL, 0, 0), "wait forever");
}

} // namespace
