#include <nlohmann/json.hpp>

#include <iomanip>

#include "fleet.h"

namespace hailog {
namespace {

struct Column {
    const char* title;
    size_t (*value)(const TerminalCounts&);
};

const Column kColumns[] = {
    {"files", [](const TerminalCounts& t) { return t.files; }},
    {"runs", [](const TerminalCounts& t) { return t.runs; }},
    {"cut", [](const TerminalCounts& t) { return t.stopsWithoutClosing; }},
    {"Hailwire", [](const TerminalCounts& t) { return t.restarts[0]; }},
    {"Hailfare", [](const TerminalCounts& t) { return t.restarts[1]; }},
    {"Hailnet", [](const TerminalCounts& t) { return t.restarts[2]; }},
    {"Hailtrack", [](const TerminalCounts& t) { return t.restarts[3]; }},
    {"applied", [](const TerminalCounts& t) { return t.updatesApplied; }},
    {"kept", [](const TerminalCounts& t) { return t.updatesKept; }},
    {"in-a-row", [](const TerminalCounts& t) { return t.keptInARow; }},
    {"628", [](const TerminalCounts& t) { return t.buildOptionFailed; }},
    {"no-file", [](const TerminalCounts& t) { return t.hoursWithNoFile; }},
};

const char kLegend[] =
    "cut: runs stopped without closing (no end banner); Hailwire .. Hailtrack: restarts;\n"
    "applied, kept: start-up updates; in-a-row: most starts in a row that kept the package;\n"
    "628: build options refused by the call application; no-file: hours with no file.\n";

} // namespace

std::string RolledBackReason(const TerminalCounts& terminal)
{
    std::string reason = "rolled back (" + terminal.lastRolledBackApplication + ", " + terminal.lastRolledBackTime + ")";
    if (terminal.rolledBack > 1)
        reason += ", " + std::to_string(terminal.rolledBack) + " updates rolled back";
    return reason;
}

void WriteFleetText(const std::vector<TerminalCounts>& terminals, std::ostream& out)
{
    size_t nameWidth = 8;
    for (const TerminalCounts& terminal : terminals)
        nameWidth = std::max(nameWidth, terminal.terminal.size());
    size_t visits = 0;
    for (const TerminalCounts& terminal : terminals)
        visits += terminal.NeedsAVisit() ? 1 : 0;
    out << "Terminals read: " << terminals.size() << ", " << visits << " needing a visit (package kept start "
        << "after start, or an update rolled back)\n" << kLegend << "\n";
    out << std::left << std::setw(static_cast<int>(nameWidth)) << "terminal";
    for (const Column& column : kColumns)
        out << "  " << std::right << std::setw(9) << column.title;
    out << "\n";
    for (const TerminalCounts& terminal : terminals) {
        out << std::left << std::setw(static_cast<int>(nameWidth)) << terminal.terminal;
        for (const Column& column : kColumns)
            out << "  " << std::right << std::setw(9) << column.value(terminal);
        if (terminal.keptInARow >= 2)
            out << "  needs a visit: package kept " << terminal.keptInARow << " starts in a row"
                << (terminal.keptAtLastStart ? ", still kept" : "");
        if (terminal.rolledBack > 0)
            out << (terminal.keptInARow >= 2 ? "; " : "  needs a visit: ") << RolledBackReason(terminal);
        if (terminal.files == 0)
            out << "  no log files";
        out << "\n";
    }
}

void WriteFleetJson(const std::vector<TerminalCounts>& terminals, std::ostream& out)
{
    for (const TerminalCounts& t : terminals) {
        nlohmann::ordered_json line;
        line["terminal"] = t.terminal;
        line["files"] = t.files;
        line["runs"] = t.runs;
        line["stops_without_closing"] = t.stopsWithoutClosing;
        line["restarts_hailwire"] = t.restarts[0];
        line["restarts_hailfare"] = t.restarts[1];
        line["restarts_hailnet"] = t.restarts[2];
        line["restarts_hailtrack"] = t.restarts[3];
        line["updates_applied"] = t.updatesApplied;
        line["updates_kept"] = t.updatesKept;
        line["kept_in_a_row"] = t.keptInARow;
        line["kept_at_last_start"] = t.keptAtLastStart;
        line["needs_visit"] = t.NeedsAVisit();
        line["build_option_failed"] = t.buildOptionFailed;
        line["hours_with_no_file"] = t.hoursWithNoFile;
        line["warnings"] = t.warnings;
        // Added after the fields earlier versions wrote, for pipelines that
        // read by position.
        line["rolled_back"] = t.rolledBack;
        line["last_rolled_back_application"] = t.lastRolledBackApplication;
        line["last_rolled_back_time"] = t.lastRolledBackTime;
        out << line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
    }
}

} // namespace hailog
