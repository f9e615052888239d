// Start-up and exit of the shell: one copy per device, the start and end
// banners, and the log flushed on the way out.
#include "app/Shell.h"
#include "app/SupervisorState.h"
#include "log/WriteLog.h"
#include "tests/shell/ShellFixture.h"

namespace shelltest {
namespace {

using StartupTest = ShellTest;

TEST_F(StartupTest, FirstCopyMakesItsWindowAndWritesTheStartBanner)
{
    SetLogging(Logging::RealTime);
    host::CaptureDebugOutput(true);
    StartShell();
    EXPECT_EQ(FirstLines(3), StartBanner());
    EXPECT_EQ(host::WindowCount(L"Hailwatch"), 1);
    EXPECT_EQ(GetLogEcho(), 0) << "no RetailMsg, no echo";
    EXPECT_TRUE(host::DebugOutput().empty());
    EXPECT_NE(g_supervisor.powerMessage, 0u);
    EXPECT_EQ(g_supervisor.powerMessage, RegisterWindowMessageW(L"WM_POWER_MODE_CHANGE"));
}

TEST_F(StartupTest, ASecondCopyExitsWithoutWindowOrLog)
{
    SetLogging(Logging::RealTime);
    host::HoldMutexElsewhere(L"Hailwatch");
    EXPECT_EQ(HAILWATCH_ENTRY(nullptr, nullptr, nullptr, SW_SHOW), 0);
    EXPECT_EQ(FindWindowW(L"HAILWATCH", nullptr), nullptr);
    EXPECT_FALSE(FileExists(logtest::kLogThisHour));
}

TEST_F(StartupTest, StartingAgainWhileRunningLeavesOneWindowAndOneBanner)
{
    SetLogging(Logging::RealTime);
    StartShell();
    const std::string before = ReadFile(logtest::kLogThisHour);
    EXPECT_FALSE(InitInstance(nullptr, SW_SHOW));
    EXPECT_EQ(host::WindowCount(L"Hailwatch"), 1);
    EXPECT_EQ(ReadFile(logtest::kLogThisHour), before);
}

TEST_F(StartupTest, RetailMsgAtStartUpEchoesEveryLine)
{
    SetLogging(Logging::Off);
    host::CaptureDebugOutput(true);
    MakeFile("\\ResidentFlash\\Hailnet\\RetailMsg");
    StartShell();
    EXPECT_EQ(GetLogEcho(), 1);
    ASSERT_GE(host::DebugOutput().size(), 3u);
    EXPECT_EQ(host::DebugOutput()[1],
              L"59:58 [K] <I> ###################### Hailwatch Start ######################\r\n");
}

TEST_F(StartupTest, DestroyWritesTheEndBannerAndQuitsWithZero)
{
    SetLogging(Logging::RealTime);
    StartShell();
    host::Advance(1000);
    PostMessageW(window_, WM_DESTROY, 0, 0);
    EXPECT_TRUE(host::RunMessageLoopUntil(zero_ + 60000));
    EXPECT_EQ(host::QuitCode(), 0);
    EXPECT_EQ(LastLines(3), EndBanner("59:59"));
}

TEST_F(StartupTest, CloseEndsTheSameWayThroughDefaultProcessing)
{
    SetLogging(Logging::RealTime);
    StartShell();
    EXPECT_EQ(SendMessageW(window_, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(LastLines(3), EndBanner("59:58"));
    EXPECT_TRUE(host::RunMessageLoopUntil(zero_ + 1000));
    EXPECT_EQ(host::QuitCode(), 0);
}

TEST_F(StartupTest, BufferedTextIsFlushedWhenTheLoopEnds)
{
    SetLogging(Logging::Buffered);
    host::SetLoopDeadline(GetTickCount() + 1000);
    EXPECT_EQ(HAILWATCH_ENTRY(nullptr, nullptr, nullptr, SW_SHOW), 0);
    EXPECT_EQ(FirstLines(3), StartBanner());
}

TEST_F(StartupTest, NothingIsWrittenOnExitWhenLoggingIsOff)
{
    SetLogging(Logging::Off);
    host::SetLoopDeadline(GetTickCount() + 1000);
    EXPECT_EQ(HAILWATCH_ENTRY(nullptr, nullptr, nullptr, SW_SHOW), 0);
    EXPECT_FALSE(FileExists(logtest::kLogThisHour));
}

} // namespace
} // namespace shelltest
