// A fleet's logs at a glance: under each ROOT, every sub-folder is one
// terminal's device copy or Log folder, named after the terminal. Each is
// read (in parallel) into counts of what went wrong, and the terminals are
// listed most troubled first: a terminal whose update package was kept
// start after start needs a visit, and comes before all others.
#ifndef HAILOG_FLEET_H
#define HAILOG_FLEET_H

#include <ostream>
#include <string>
#include <vector>

namespace hailog {

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
    size_t hoursWithNoFile = 0;
    size_t warnings = 0;
    // Updates taken back: the terminal runs the version before the update,
    // and the update failed on it.
    size_t rolledBack = 0;
    std::string lastRolledBackApplication;
    std::string lastRolledBackTime;

    size_t Restarts() const { return restarts[0] + restarts[1] + restarts[2] + restarts[3]; }
    // Two starts in a row with the package kept: it will not apply itself.
    // An update taken back will not be applied again either.
    bool NeedsAVisit() const { return keptInARow >= 2 || rolledBack > 0; }
    // Among those needing a visit: the longest streak of kept packages
    // first, then the terminals that rolled an update back.
    size_t VisitRank() const { return keptInARow >= 2 ? keptInARow + 1 : rolledBack > 0 ? 1 : 0; }
    size_t Trouble() const;
};

struct FleetOptions {
    std::vector<std::string> roots;
    bool json = false;
    unsigned jobs = 1;
};

// Most troubled first: those needing a visit (longest streak first), then
// by trouble, then by name.
void SortByTrouble(std::vector<TerminalCounts>& terminals);

// "rolled back (Hailwire, 2024-06-11 06:10:20)": why a terminal that took an
// update back needs a visit.
std::string RolledBackReason(const TerminalCounts& terminal);

void WriteFleetText(const std::vector<TerminalCounts>& terminals, std::ostream& out);
void WriteFleetJson(const std::vector<TerminalCounts>& terminals, std::ostream& out);

int Fleet(const FleetOptions& options);

} // namespace hailog

#endif
