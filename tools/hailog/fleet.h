// A fleet's logs at a glance: under each ROOT, every sub-folder is one
// terminal's device copy or Log folder, named after the terminal. Each is
// read (in parallel) into counts of what happened and what is still wrong,
// then judged beside the rest of the fleet: the terminals that need a visit
// come first, each reason named with the last time it was seen, the most
// severe first.
#ifndef HAILOG_FLEET_H
#define HAILOG_FLEET_H

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "clock.h"
#include "time_window.h"

namespace hailog {

// Why a terminal needs a visit, most severe first. A new reason is a value
// here, a row in kReasons (fleet_output.cpp) and the test that finds it
// (fleet_judge.cpp).
enum class Reason {
    PackageKept,     // the package kept at the last starts: it will not apply itself
    RolledBack,      // an update taken back, and none applied cleanly since
    Restarting,      // an application restarting more often than the limit over the last day
    StopsWithoutEnd, // stops without an end banner, more than the fleet's usual
    Silent,          // no log for longer than the fleet's usual gap, while others report
    LogStopped,      // the log stopped for hours while the supervisor ran, more than once
    EmptyFolder,     // no log file at all
    ClockLost,       // the clock lost
};

struct Finding {
    Reason reason;
    std::optional<Seconds> lastSeen;
    long long count = 0;     // starts, restarts, rollbacks, days, hours or episodes, as the reason counts
    std::string application; // Restarting: which; RolledBack: the last one's
};

struct TerminalCounts {
    std::string terminal;
    size_t files = 0;
    size_t runs = 0;
    size_t stopsWithoutClosing = 0; // runs cut by a new start banner
    size_t restarts[4] = {};        // Hailwire, Hailfare, Hailnet, Hailtrack
    size_t updatesApplied = 0;      // a package found and not kept
    size_t updatesKept = 0;         // kept for the next start
    size_t keptInARow = 0;          // the most starts in a row that kept their package
    bool keptAtLastStart = false;
    size_t buildOptionFailed = 0;
    size_t hoursWithNoFile = 0;     // parked, mostly: history, not trouble
    size_t warnings = 0;
    size_t rolledBack = 0;          // updates taken back (969)

    // What the judgement rests on.
    bool noLogFiles = false;              // not one, whatever the window
    size_t keptAtTheLastStarts = 0;       // the streak of kept packages the log ends with
    std::optional<Seconds> lastKept;
    size_t recoveredStreak = 0;           // a streak of two or more that a later start applied
    std::optional<Seconds> recoveredAt;
    size_t rollbacksStanding = 0;         // rollbacks no update has applied cleanly after
    std::optional<Seconds> lastRolledBack;
    std::string lastRolledBackApplication;
    size_t rollbacksRecovered = 0;        // rollbacks that a later clean update put behind
    std::optional<Seconds> rollbacksRecoveredAt;
    size_t restartsLastDay[4] = {};       // in the 24 hours up to the last line
    std::optional<Seconds> lastRestart[4];
    std::optional<Seconds> lastStopWithoutClosing;
    size_t logStops = 0;
    std::optional<Seconds> lastLogStop;
    long long clockLostEpisodes = 0;
    std::optional<Seconds> lastClockLost; // when the clock was set again, the last time the log shows
    std::optional<Seconds> lastLine;      // the last line whose time is known
    std::optional<Seconds> lastHour;      // the last file's hour whose time is known, up to --until
    Seconds longestGap = 0;               // between two files' hours read

    std::vector<Finding> findings;        // most severe first; none: no visit needed
    std::vector<Finding> recovered;       // what was wrong and is no more

    size_t Restarts() const { return restarts[0] + restarts[1] + restarts[2] + restarts[3]; }
    bool NeedsAVisit() const { return !findings.empty(); }
    size_t Trouble() const;
};

struct FleetOptions {
    std::vector<std::string> roots;
    bool json = false;
    unsigned jobs = 1;
    int restartsADay = 12; // an application restarted more often than this in a day needs a visit
    TimeWindow window;
};

// The fleet's own measures, that each terminal is judged beside.
struct FleetUsual {
    std::optional<Seconds> lastHour; // the latest hour any terminal logged
    std::optional<Seconds> gap;      // the usual longest time between two files
};

FleetUsual UsualOf(const std::vector<TerminalCounts>& terminals);
// Fills each terminal's findings and what it recovered from.
void Judge(std::vector<TerminalCounts>& terminals, const FleetOptions& options);

// Those needing a visit first (the most severe reason first), then by
// trouble, then by name.
void SortByTrouble(std::vector<TerminalCounts>& terminals);

void WriteFleetText(const std::vector<TerminalCounts>& terminals, std::ostream& out);
void WriteFleetJson(const std::vector<TerminalCounts>& terminals, std::ostream& out);

int Fleet(const FleetOptions& options);

} // namespace hailog

#endif
