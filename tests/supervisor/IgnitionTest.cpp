// Ignition changes: the news to the siblings, the paused watchdog, and the
// navigation application closed after 25 s off and restarted 8 s after on.
#include "ExpectedText.h"
#include "SupervisorTimeline.h"

#include "app/Messages.h"

namespace timeline {
namespace {

using IgnitionTimeline = SupervisorTest;

const std::vector<std::string> kOff = AccChangeLog("ACC OFF", 1000);
const std::vector<std::string> kOn = AccChangeLog("ACC ON", 0);
const std::string kAskNaviToQuit = Post("Roadlens", UM_NAVI_CLOSE, 501);

host::ProgramSetup QuitsOnNaviClose()
{
    host::ProgramSetup setup;
    setup.quitOnMessage = UM_NAVI_CLOSE;
    return setup;
}

std::vector<std::string> Posts(WPARAM state, std::initializer_list<const char*> titles)
{
    std::vector<std::string> posts;
    for (const char* title : titles)
        posts.push_back(Post(title, UM_ACC_STATE, state));
    return posts;
}

TEST_F(IgnitionTimeline, OffPast25sClosesNaviOnceAndOnStartsItAgain)
{
    for (const char* name : {"Hailnet", "Hailfare", "Hailwire", "Hailtrack"})
        Install(name, Presence::Running);
    Install("Roadlens", Presence::Running, QuitsOnNaviClose());
    Start();
    RunTimeline({
        {1500, AccOff(), Posts(1, {"Hailnet", "Hailfare", "Hailwire"}) + kOff},
        {5000, Nothing(), {kBuildOptionSent, Log(kVersion)}},
        // The watchdog rests while the ignition is off.
        {10500, UserCloses("Hailwire"), {}},
        // 26,000 ms after the off: the first step past 25,000 ms.
        {27500, Nothing(), {kAskNaviToQuit, Log(kNaviQuit)}},
        // The watchdog runs first, so the restarted modem hears the news.
        {41500, AccOn(), std::vector<std::string>{Started("Hailwire")} +
                             Posts(2, {"Hailnet", "Hailfare", "Hailwire"}) + kOn + std::vector<std::string>{Log(kModemMissing)}},
        {49500, Nothing(), {Started("Roadlens"), Log(kNaviStart)}},
    }, 70000);
}

TEST_F(IgnitionTimeline, OnWithin25sLeavesNaviAloneAndWakesTheWatchdog)
{
    Install("Hailfare", Presence::Running);
    Install("Roadlens", Presence::Running, QuitsOnNaviClose());
    Start();
    RunTimeline({
        {1500, AccOff(), Posts(1, {"Hailfare"}) + kOff},
        {3500, UserCloses("Hailfare"), {}},
        {5000, Nothing(), {Log(kVersion)}},
        {20500, AccOn(), std::vector<std::string>{Started("Hailfare")} + Posts(2, {"Hailfare"}) + kOn +
                             std::vector<std::string>{Log(kMeterMissing)}},
    }, 40000);
}

TEST_F(IgnitionTimeline, ShortOnKeepsTheClosedFlagUntilAFullOnPeriod)
{
    Install("Roadlens", Presence::Running, QuitsOnNaviClose());
    Start();
    RunTimeline({
        {1500, AccOff(), kOff},
        {5000, Nothing(), {Log(kVersion)}},
        {27500, Nothing(), {kAskNaviToQuit, Log(kNaviQuit)}},
        {30500, AccOn(), kOn},
        {35500, AccOff(), kOff},
        {70500, AccOn(), kOn},
        {78500, Nothing(), {Started("Roadlens"), Log(kNaviStart)}},
    }, 90000);
}

TEST_F(IgnitionTimeline, RepeatedMessagesRestartTheirWaits)
{
    Install("Roadlens", Presence::Running);  // ignores the quit request
    Start();
    RunTimeline({
        {1500, AccOff(), kOff},
        {5000, Nothing(), {Log(kVersion)}},
        {11500, AccOff(), kOff},
        {37500, Nothing(), {kAskNaviToQuit, Log(kNaviQuit)}},
        {40500, AccOff(), kOff},
        {66500, Nothing(), {kAskNaviToQuit, Log(kNaviQuit)}},
        {70500, AccOn(), kOn},
        {75500, AccOn(), kOn},
        // 8 s after the last on the window is still there: nothing is
        // started and the closed flag is spent, so a later user close is final.
        {84000, UserCloses("Roadlens"), {}},
        {85500, AccOff(), kOff},
        {87500, AccOn(), kOn},
    }, 100000);
}

TEST_F(IgnitionTimeline, IncidentMarkerKeepsNaviAndAUserCloseIsFinal)
{
    Install("Roadlens", Presence::Running, QuitsOnNaviClose());
    Start();
    RunTimeline({
        {1500, AccOff(), kOff},
        {5000, Nothing(), {Log(kVersion)}},
        {20500, FileAppears("\\ResidentFlash\\Hailnet\\Incident"), {}},
        {30500, AccOn(), kOn},
        {31500, UserCloses("Roadlens"), {}},
    }, 45000);
}

TEST_F(IgnitionTimeline, TickCountWrapInsideTheWaitCostsNothing)
{
    UseClock(0xFFFFFFFFu - 9999);  // wraps 10 s after start-up
    Install("Roadlens", Presence::Running, QuitsOnNaviClose());
    Start();
    RunTimeline({
        {1500, AccOff(), kOff},
        {5000, Nothing(), {Log(kVersion)}},
        {27500, Nothing(), {kAskNaviToQuit, Log(kNaviQuit)}},
        {30500, AccOn(), kOn},
        {38500, Nothing(), {Started("Roadlens"), Log(kNaviStart)}},
    }, 45000);
}

} // namespace
} // namespace timeline
