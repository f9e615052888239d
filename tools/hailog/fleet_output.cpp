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
    "628: build options refused by the call application; no-file: hours with no file (parked: no trouble).\n";

std::string Count(long long count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string Silence(long long seconds)
{
    return seconds >= 2 * 86400 ? Count(seconds / 86400, "day", "days") : Count(seconds / 3600, "hour", "hours");
}

// "update rolled back for Hailwire", "2 updates rolled back, the last for Hailwire".
std::string RolledBack(const Finding& f)
{
    return (f.count == 1 ? std::string("update") : Count(f.count, "update", "updates")) + " rolled back" +
           (f.count == 1 ? " for " : ", the last for ") + f.application;
}

// Each reason: its name for a warehouse, its words for an engineer, and
// what it says once the terminal recovered from it (none: it does not).
// Adding a reason to the fleet view is a row here.
struct ReasonRow {
    Reason reason;
    const char* name;
    std::string (*words)(const Finding&);
    std::string (*recovered)(const Finding&);
};

const ReasonRow kReasons[] = {
    {Reason::PackageKept, "package_kept",
     [](const Finding& f) { return "package kept at the last " + Count(f.count, "start", "starts"); },
     [](const Finding& f) {
         return "package kept at " + Count(f.count, "start", "starts") + " in a row, then applied";
     }},
    {Reason::RolledBack, "rolled_back", RolledBack,
     [](const Finding& f) { return RolledBack(f) + ", then a package applied"; }},
    {Reason::Restarting, "restarting",
     [](const Finding& f) { return f.application + " restarted " + Count(f.count, "time", "times") + " in the last day"; },
     nullptr},
    {Reason::StopsWithoutEnd, "stops_without_end_banner",
     [](const Finding& f) { return "stopped without an end banner " + Count(f.count, "time", "times"); }, nullptr},
    {Reason::Silent, "silent",
     [](const Finding& f) {
         return f.lastSeen ? "no log for " + Silence(f.count) + " while others report"
                           : std::string("no log in the period while others report");
     },
     nullptr},
    {Reason::LogStopped, "log_stopped",
     [](const Finding& f) { return "log stopped while running " + Count(f.count, "time", "times"); }, nullptr},
    {Reason::EmptyFolder, "empty_folder", [](const Finding&) { return std::string("no log files"); }, nullptr},
    {Reason::ClockLost, "clock_lost",
     [](const Finding& f) { return "clock lost " + Count(f.count, "time", "times"); }, nullptr},
};

const ReasonRow& RowOf(Reason reason)
{
    for (const ReasonRow& row : kReasons)
        if (row.reason == reason)
            return row;
    return kReasons[0];
}

// "package kept at the last 3 starts (last 2024-06-03 06:00:01)".
std::string Said(const Finding& finding)
{
    std::string text = RowOf(finding.reason).words(finding);
    if (finding.lastSeen)
        text += " (last " + FormatTime(*finding.lastSeen) + ")";
    return text;
}

// "package kept at 2 starts in a row, then applied (2024-06-03 06:00:01)".
std::string SaidRecovered(const Finding& finding)
{
    const ReasonRow& row = RowOf(finding.reason);
    return (row.recovered ? row.recovered(finding) : row.words(finding)) +
           (finding.lastSeen ? " (" + FormatTime(*finding.lastSeen) + ")" : std::string());
}

nlohmann::ordered_json FindingJson(const Finding& finding, const std::string& words)
{
    nlohmann::ordered_json object;
    object["reason"] = RowOf(finding.reason).name;
    object["last_seen"] =
        finding.lastSeen ? nlohmann::ordered_json(FormatTime(*finding.lastSeen)) : nlohmann::ordered_json();
    object["count"] = finding.count;
    if (!finding.application.empty())
        object["application"] = finding.application;
    object["text"] = words;
    return object;
}

std::string Verdict(const TerminalCounts& terminal)
{
    std::string text;
    for (const Finding& finding : terminal.findings)
        text += (text.empty() ? "  needs a visit: " : "; ") + Said(finding);
    for (const Finding& finding : terminal.recovered)
        text += (text.empty() ? "  recovered: " : "; recovered: ") + SaidRecovered(finding);
    return text;
}

} // namespace

void WriteFleetText(const std::vector<TerminalCounts>& terminals, std::ostream& out)
{
    size_t nameWidth = 8;
    for (const TerminalCounts& terminal : terminals)
        nameWidth = std::max(nameWidth, terminal.terminal.size());
    size_t visits = 0;
    for (const TerminalCounts& terminal : terminals)
        visits += terminal.NeedsAVisit() ? 1 : 0;
    out << "Terminals read: " << terminals.size() << ", " << visits << " needing a visit\n" << kLegend << "\n";
    out << std::left << std::setw(static_cast<int>(nameWidth)) << "terminal";
    for (const Column& column : kColumns)
        out << "  " << std::right << std::setw(9) << column.title;
    out << "\n";
    for (const TerminalCounts& terminal : terminals) {
        out << std::left << std::setw(static_cast<int>(nameWidth)) << terminal.terminal;
        for (const Column& column : kColumns)
            out << "  " << std::right << std::setw(9) << column.value(terminal);
        out << Verdict(terminal) << "\n";
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
        line["last_log"] = t.lastLine ? nlohmann::ordered_json(FormatTime(*t.lastLine)) : nlohmann::ordered_json();
        line["log_stops"] = t.logStops;
        line["clock_lost"] = t.clockLostEpisodes;
        line["rolled_back"] = t.rolledBack;
        line["reasons"] = nlohmann::ordered_json::array();
        for (const Finding& finding : t.findings)
            line["reasons"].push_back(FindingJson(finding, Said(finding)));
        line["recovered"] = nlohmann::ordered_json::array();
        for (const Finding& finding : t.recovered)
            line["recovered"].push_back(FindingJson(finding, SaidRecovered(finding)));
        out << line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
    }
}

} // namespace hailog
