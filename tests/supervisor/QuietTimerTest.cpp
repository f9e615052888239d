// The two timers that are armed and answered but do nothing: the minute timer
// from window creation and the 5-second one from the wait step that asks the
// navigation application to quit. Neither is ever killed, and neither may
// log, post or start anything (the timeline rows would show it).
#include "ExpectedText.h"
#include "SupervisorTimeline.h"

#include "app/Messages.h"

namespace timeline {
namespace {

using QuietTimers = SupervisorTest;

// The identifiers as the siblings and the device's tools know them, not
// through the macros the code arms them with.
const UINT_PTR kMinuteTimer = 1006;
const UINT_PTR kAfterNaviCloseTimer = 1005;
const UINT_PTR kCheckAppTimer = 1001;
const UINT_PTR kAccOffWaitTimer = 1003;

const std::vector<std::string> kOff = AccChangeLog("ACC OFF", 1000);
const std::vector<std::string> kOn = AccChangeLog("ACC ON", 0);

std::vector<DWORD> TimesOf(const std::vector<TimerTaken>& taken, UINT_PTR id)
{
    std::vector<DWORD> times;
    for (const TimerTaken& timer : taken) {
        if (timer.id == id)
            times.push_back(timer.atMs);
    }
    return times;
}

std::vector<UINT_PTR> IdsAt(const std::vector<TimerTaken>& taken, DWORD atMs)
{
    std::vector<UINT_PTR> ids;
    for (const TimerTaken& timer : taken) {
        if (timer.atMs == atMs)
            ids.push_back(timer.id);
    }
    return ids;
}

std::vector<DWORD> Every(DWORD firstMs, DWORD periodMs, DWORD lastMs)
{
    std::vector<DWORD> times;
    for (DWORD at = firstMs; at <= lastMs; at += periodMs)
        times.push_back(at);
    return times;
}

TEST_F(QuietTimers, MinuteTimerFromCreationAndCloseTimerFromTheQuitRequestRunOnQuietly)
{
    host::ProgramSetup quits;
    quits.quitOnMessage = UM_NAVI_CLOSE;
    Install("Roadlens", Presence::Running, quits);
    Start();
    RunTimeline({
        {1500, AccOff(), kOff},
        {5000, Nothing(), {Log(kVersion)}},
        {27500, Nothing(), {Post("Roadlens", UM_NAVI_CLOSE, 501), Log(kNaviQuit)}},
        // Neither the ignition coming back nor the restart stops them.
        {41500, AccOn(), kOn},
        {49500, Nothing(), {Started("Roadlens"), Log(kNaviStart)}},
    }, 130000);

    const std::vector<TimerTaken>& taken = TimersTaken();
    EXPECT_EQ(TimesOf(taken, kMinuteTimer), Every(60000, 60000, 130000));
    EXPECT_EQ(TimesOf(taken, kAfterNaviCloseTimer), Every(32500, 5000, 130000));
    // Armed right after TIMER_BUILD_OPTION, so after the watchdog's timer.
    EXPECT_EQ(IdsAt(taken, 60000), (std::vector<UINT_PTR>{kCheckAppTimer, kMinuteTimer}));
    // The off wait ends with the quit request; its timer stays killed.
    EXPECT_EQ(TimesOf(taken, kAccOffWaitTimer).back(), 27500u);
}

TEST_F(QuietTimers, CloseTimerIsArmedByTheWaitStepEvenWhenNothingWasAsked)
{
    // No navigation window: the 25-second step finds nothing to close, and
    // arms the timer all the same, as the step always does.
    Start();
    RunTimeline({
        {1500, AccOff(), kOff},
        {5000, Nothing(), {Log(kVersion)}},
    }, 40000);
    EXPECT_EQ(TimesOf(TimersTaken(), kAfterNaviCloseTimer), Every(32500, 5000, 40000));
}

TEST_F(QuietTimers, NoCloseTimerWhileTheIgnitionStaysOn)
{
    Install("Roadlens", Presence::Running);
    Start();
    RunTimeline({{5000, Nothing(), {Log(kVersion)}}}, 70000);
    EXPECT_TRUE(TimesOf(TimersTaken(), kAfterNaviCloseTimer).empty());
    EXPECT_EQ(TimesOf(TimersTaken(), kMinuteTimer), std::vector<DWORD>{60000});
}

} // namespace
} // namespace timeline
