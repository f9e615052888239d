// The one-time report five seconds after start-up.
#include "ExpectedText.h"
#include "SupervisorTimeline.h"

namespace timeline {
namespace {

using BuildOptionTimeline = SupervisorTest;

TEST_F(BuildOptionTimeline, SendsTheRecordOnceToARunningCallApp)
{
    Install("Hailnet", Presence::Running);
    Start();
    RunTimeline({{5000, Nothing(), {kBuildOptionSent, Log(kVersion)}}}, 30000);
}

TEST_F(BuildOptionTimeline, SendsNothingToACallAppStillStartingAndNeverAsksAgain)
{
    host::ProgramSetup slow;
    slow.windowDelayMs = 1000;
    Install("Hailnet", Presence::Stopped, slow);
    Start();
    RunTimeline({{5000, Nothing(), {Started("Hailnet"), Log(kCallMissing), Log(kVersion)}}}, 30000);
}

TEST_F(BuildOptionTimeline, LogsTheTimeOutWithTheLastErrorAndCarriesOn)
{
    host::ProgramSetup late;
    late.copyDataDelayMs = 6000;
    Install("Hailnet", Presence::Running, late);
    Start();
    RunTimeline({
        {5000, Nothing(), {kBuildOptionSent, Log(kVersion), LogAt(10000, kBuildOptionFailed)}},
        {12500, UserCloses("Hailnet"), {}},
        {15000, Nothing(), {Started("Hailnet"), Log(kCallMissing)}},
    }, 20000);
}

} // namespace
} // namespace timeline
