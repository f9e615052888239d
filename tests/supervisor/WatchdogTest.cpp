// The watchdog's five-second ticks: who is started, in which order, and who
// is left alone.
#include "ExpectedText.h"
#include "SupervisorTimeline.h"

namespace timeline {
namespace {

using WatchdogTimeline = SupervisorTest;

TEST_F(WatchdogTimeline, RestartsMissingInTableOrderAndSkipsRemovedOnes)
{
    Install("Hailwire", Presence::Stopped);
    Install("Hailfare", Presence::Stopped);
    Install("Hailnet", Presence::Running);
    Install("Hailtrack", Presence::NotInstalled);
    Start();
    RunTimeline({
        {5000, Nothing(), {Started("Hailwire"), Started("Hailfare"), kBuildOptionSent,
                           Log(kModemMissing), Log(kMeterMissing), Log(kVersion)}},
        {12500, UserCloses("Hailnet"), {}},
        {15000, Nothing(), {Started("Hailnet"), Log(kCallMissing)}},
    }, 30000);
}

TEST_F(WatchdogTimeline, StartsASlowSiblingAgainUntilItsWindowIsUp)
{
    host::ProgramSetup slow;
    slow.windowDelayMs = 7000;
    Install("Hailfare", Presence::Stopped, slow);
    Start();
    RunTimeline({
        {5000, Nothing(), {Started("Hailfare"), Log(kMeterMissing), Log(kVersion)}},
        {10000, Nothing(), {Started("Hailfare"), Log(kMeterMissing)}},
    }, 30000);
}

} // namespace
} // namespace timeline
