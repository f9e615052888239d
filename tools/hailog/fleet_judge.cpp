// What still needs a visit, judged from a terminal's counts and the fleet's
// usual: only what is still wrong at the end of the period read is a
// reason; what was wrong and is no more is history.
#include <algorithm>

#include "fleet.h"

namespace hailog {
namespace {

const char* const kWatched[] = {"Hailwire", "Hailfare", "Hailnet", "Hailtrack"};
// A package kept at this many starts in a row will not apply itself.
const size_t kKeptStartsThatStay = 2;
// Stops without an end banner are trouble from this many, and from twice
// as many as the rest of the fleet's usual: a fleet whose drivers pull the
// power is not a fleet of broken terminals.
const size_t kLeastStopsWithoutEnd = 3;
// A log that stopped while the supervisor ran, this many times.
const size_t kLeastLogStops = 2;

// The value a share of them is at or below (0.5: the upper median);
// nothing for no values.
std::optional<long long> Quantile(std::vector<long long> values, double share)
{
    if (values.empty())
        return std::nullopt;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(share * static_cast<double>(values.size() - 1) + 0.5)];
}

size_t StopsWithoutEndLimit(const std::vector<TerminalCounts>& terminals, size_t self)
{
    std::vector<long long> others;
    for (size_t i = 0; i < terminals.size(); ++i)
        if (i != self && terminals[i].runs > 0)
            others.push_back(static_cast<long long>(terminals[i].stopsWithoutClosing));
    const long long usual = Quantile(others, 0.5).value_or(0);
    return std::max(kLeastStopsWithoutEnd, static_cast<size_t>(2 * usual));
}

// An update taken back will not come again by itself: the terminal needs a
// visit until a later update applies cleanly.
void JudgeRollbacks(TerminalCounts& t)
{
    if (t.rollbacksStanding > 0)
        t.findings.push_back(Finding{Reason::RolledBack, t.lastRolledBack,
                                     static_cast<long long>(t.rollbacksStanding), t.lastRolledBackApplication});
}

void JudgeRestarts(TerminalCounts& t, int limit)
{
    for (size_t i = 0; i < 4; ++i)
        if (t.restartsLastDay[i] > static_cast<size_t>(limit))
            t.findings.push_back(Finding{Reason::Restarting, t.lastRestart[i],
                                         static_cast<long long>(t.restartsLastDay[i]), kWatched[i]});
}

// Silent: no log for longer than the fleet's usual longest gap, up to the
// last hour any terminal logged.
void JudgeSilence(TerminalCounts& t, const FleetUsual& usual)
{
    if (t.noLogFiles || !usual.lastHour || !usual.gap)
        return;
    if (!t.lastHour) {
        t.findings.push_back(Finding{Reason::Silent, std::nullopt, 0, std::string()});
        return;
    }
    const Seconds silent = *usual.lastHour - *t.lastHour;
    if (silent > *usual.gap)
        t.findings.push_back(
            Finding{Reason::Silent, t.lastLine ? t.lastLine : std::optional<Seconds>(*t.lastHour + 3599), silent,
                    std::string()});
}

void JudgeOne(TerminalCounts& t, const FleetUsual& usual, size_t stopsLimit, const FleetOptions& options)
{
    t.findings.clear();
    t.recovered.clear();
    const bool stillKept = t.keptAtLastStart && t.keptAtTheLastStarts >= kKeptStartsThatStay;
    if (stillKept)
        t.findings.push_back(Finding{Reason::PackageKept, t.lastKept,
                                     static_cast<long long>(t.keptAtTheLastStarts), std::string()});
    JudgeRollbacks(t);
    JudgeRestarts(t, options.restartsADay);
    if (t.stopsWithoutClosing >= stopsLimit)
        t.findings.push_back(Finding{Reason::StopsWithoutEnd, t.lastStopWithoutClosing,
                                     static_cast<long long>(t.stopsWithoutClosing), std::string()});
    JudgeSilence(t, usual);
    if (t.logStops >= kLeastLogStops)
        t.findings.push_back(
            Finding{Reason::LogStopped, t.lastLogStop, static_cast<long long>(t.logStops), std::string()});
    if (t.noLogFiles)
        t.findings.push_back(Finding{Reason::EmptyFolder, std::nullopt, 0, std::string()});
    if (t.clockLostEpisodes > 0)
        t.findings.push_back(Finding{Reason::ClockLost, t.lastClockLost, t.clockLostEpisodes, std::string()});
    if (!stillKept && t.recoveredStreak >= kKeptStartsThatStay)
        t.recovered.push_back(Finding{Reason::PackageKept, t.recoveredAt,
                                      static_cast<long long>(t.recoveredStreak), std::string()});
    if (t.rollbacksStanding == 0 && t.rollbacksRecovered > 0)
        t.recovered.push_back(Finding{Reason::RolledBack, t.rollbacksRecoveredAt,
                                      static_cast<long long>(t.rollbacksRecovered), t.lastRolledBackApplication});
}

int Rank(const TerminalCounts& t)
{
    return t.findings.empty() ? 1000 : static_cast<int>(t.findings.front().reason);
}

} // namespace

FleetUsual UsualOf(const std::vector<TerminalCounts>& terminals)
{
    FleetUsual usual;
    std::vector<long long> gaps;
    for (const TerminalCounts& t : terminals) {
        if (t.lastHour)
            usual.lastHour = std::max(usual.lastHour.value_or(*t.lastHour), *t.lastHour);
        if (t.longestGap > 0)
            gaps.push_back(t.longestGap);
    }
    // Drivers take days off: the usual gap is the upper quartile of each
    // terminal's longest.
    usual.gap = Quantile(gaps, 0.75);
    return usual;
}

void Judge(std::vector<TerminalCounts>& terminals, const FleetOptions& options)
{
    const FleetUsual usual = UsualOf(terminals);
    for (size_t i = 0; i < terminals.size(); ++i)
        JudgeOne(terminals[i], usual, StopsWithoutEndLimit(terminals, i), options);
}

void SortByTrouble(std::vector<TerminalCounts>& terminals)
{
    std::stable_sort(terminals.begin(), terminals.end(), [](const TerminalCounts& a, const TerminalCounts& b) {
        if (Rank(a) != Rank(b))
            return Rank(a) < Rank(b);
        // Of two packages kept, the longer streak first.
        const long long streakA = a.NeedsAVisit() ? a.findings.front().count : 0;
        const long long streakB = b.NeedsAVisit() ? b.findings.front().count : 0;
        if (Rank(a) == static_cast<int>(Reason::PackageKept) && streakA != streakB)
            return streakA > streakB;
        if (a.findings.size() != b.findings.size())
            return a.findings.size() > b.findings.size();
        if (a.Trouble() != b.Trouble())
            return a.Trouble() > b.Trouble();
        return a.terminal < b.terminal;
    });
}

} // namespace hailog
