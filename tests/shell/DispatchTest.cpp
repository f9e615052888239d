// What the main window does with each message: log control, the ignition
// message and the timers. The handlers behind the timers belong to the
// watchdog and the report; here they only show whether they were called.
#include "app/Messages.h"
#include "app/SupervisorState.h"
#include "log/WriteLog.h"
#include "tests/shell/ShellFixture.h"

namespace shelltest {
namespace {

using DispatchTest = ShellTest;

TEST_F(DispatchTest, LogControlOneFlushesAndOtherRequestsDoNothing)
{
    SetLogging(Logging::Buffered);
    StartShell();
    for (WPARAM request : {WPARAM(0), WPARAM(3), WPARAM(1000)}) {
        EXPECT_EQ(SendMessageW(window_, UM_LOG_CONTROL, request, 0), 0);
        EXPECT_FALSE(FileExists(logtest::kLogThisHour)) << "request " << request;
    }
    EXPECT_EQ(SendMessageW(window_, UM_LOG_CONTROL, LOG_CONTROL_FLUSH, 0), 0);
    EXPECT_EQ(FirstLines(3), StartBanner());
}

TEST_F(DispatchTest, LogControlOneWhileLoggingIsOffWritesNothing)
{
    SetLogging(Logging::Buffered);
    StartShell();
    SetMarkers(Logging::Off);
    EXPECT_EQ(SendMessageW(window_, UM_LOG_CONTROL, LOG_CONTROL_RELOAD, 0), 0);
    EXPECT_EQ(SendMessageW(window_, UM_LOG_CONTROL, LOG_CONTROL_FLUSH, 0), 0);
    EXPECT_FALSE(FileExists(logtest::kLogThisHour));
}

TEST_F(DispatchTest, LogControlTwoTurnsLoggingOnWithoutARestart)
{
    SetLogging(Logging::Off);
    StartShell();
    SetMarkers(Logging::RealTime);
    WriteLog("before\r\n");
    EXPECT_EQ(SendMessageW(window_, UM_LOG_CONTROL, 3, 0), 0);
    WriteLog("still off\r\n");
    EXPECT_FALSE(FileExists(logtest::kLogThisHour));

    PostMessageW(window_, UM_LOG_CONTROL, LOG_CONTROL_RELOAD, 0);
    host::RunMessageLoopUntil(GetTickCount() + 10);
    WriteLog("after\r\n");
    EXPECT_EQ(ReadFile(logtest::kLogThisHour), Line("59:58", "after\r\n"))
        << "what was logged while off is gone, the start banner included";
}

TEST_F(DispatchTest, ThePowerMessageActsOnlyWithWParam1000)
{
    SetLogging(Logging::Off);
    InstallSibling("Hailnet", true);
    StartShell();
    const UINT power = g_supervisor.powerMessage;
    EXPECT_EQ(SendMessageW(window_, power, 999, POWER_MODE_ACC_OFF), 0);
    EXPECT_EQ(SendMessageW(window_, power, 0, POWER_MODE_ACC_OFF), 0);
    EXPECT_EQ(g_supervisor.accOffFlag, 0);
    EXPECT_EQ(CountTo(L"Hailnet", UM_ACC_STATE), 0);

    // The same message with the ACC marker reaches the ignition handling.
    EXPECT_EQ(SendMessageW(window_, power, POWER_MODE_ACC_CHANGE, POWER_MODE_ACC_OFF), 0);
    EXPECT_EQ(g_supervisor.accOffFlag, 1);
    EXPECT_EQ(CountTo(L"Hailnet", UM_ACC_STATE), 1);
}

TEST_F(DispatchTest, TheWatchdogRestsWhileTheIgnitionIsOff)
{
    SetLogging(Logging::Off);
    InstallSibling("Hailwire", false);
    StartShell();
    g_supervisor.accOffFlag = 1;
    host::RunMessageLoopUntil(zero_ + 5000);
    EXPECT_TRUE(host::StartedImages().empty());

    g_supervisor.accOffFlag = 0;
    host::RunMessageLoopUntil(zero_ + 10000);
    EXPECT_EQ(host::StartedImages(),
              std::vector<std::string>{"\\ResidentFlash\\Hailnet\\Hailwire.exe"});
}

TEST_F(DispatchTest, TheBuildOptionReportRunsOnceFiveSecondsAfterStartUp)
{
    SetLogging(Logging::Off);
    InstallSibling("Hailnet", true);
    StartShell();
    host::RunMessageLoopUntil(zero_ + 4999);
    EXPECT_EQ(CountTo(L"Hailnet", WM_COPYDATA), 0);
    host::RunMessageLoopUntil(zero_ + 5000);
    EXPECT_EQ(CountTo(L"Hailnet", WM_COPYDATA), 1);
    host::RunMessageLoopUntil(zero_ + 30000);
    EXPECT_EQ(CountTo(L"Hailnet", WM_COPYDATA), 1);
}

TEST_F(DispatchTest, UnknownTimersAndMessagesAreHarmless)
{
    SetLogging(Logging::RealTime);
    StartShell();
    const std::string before = ReadFile(logtest::kLogThisHour);
    for (WPARAM timer : {WPARAM(1005), WPARAM(1006), WPARAM(7)})
        EXPECT_EQ(SendMessageW(window_, WM_TIMER, timer, 0), 0);
    EXPECT_EQ(SendMessageW(window_, WM_NULL, POWER_MODE_ACC_CHANGE, POWER_MODE_ACC_OFF), 0);
    EXPECT_EQ(g_supervisor.accOffFlag, 0);
    EXPECT_EQ(ReadFile(logtest::kLogThisHour), before);
}

} // namespace
} // namespace shelltest
