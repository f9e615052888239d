// The check's report as the engineer reads it (the lines, the bulk move,
// the findings, last the time blocked and the verdict) and as a pipeline
// reads it (one JSON object).
#include "check_report.h"

#include <cstdio>
#include <ostream>

#include <nlohmann/json.hpp>

namespace hailpatch {

namespace {

const char kInstallFolder[] = "\\ResidentFlash\\Hailnet";

const char* VerdictText(const CheckReport& report)
{
    if (report.findings.empty()) {
        return "clean";
    }
    switch (report.Worst()) {
    case Severity::Destroys: return "destroys or loses files";
    case Severity::Breaks: return "breaks later updates";
    case Severity::RunsAgain: return "runs again at the next start";
    case Severity::Blocks: return "blocks the start-up too long";
    case Severity::NotApplied: return "will not apply";
    default: return "applies, with warnings";
    }
}

const char* SeverityName(Severity severity)
{
    switch (severity) {
    case Severity::Destroys: return "destroys";
    case Severity::Breaks: return "breaks-updates";
    case Severity::RunsAgain: return "runs-again";
    case Severity::Blocks: return "blocks";
    case Severity::NotApplied: return "not-applied";
    default: return "warning";
    }
}

void PrintLines(const CheckReport& report, std::ostream& out)
{
    for (const ListedLine& line : report.lines) {
        char number[16];
        std::snprintf(number, sizeof(number), "%5d%s ", line.number, line.tail ? "+" : " ");
        out << number << line.what << "\n";
        for (const std::string& effect : line.effects) {
            out << "         " << effect << "\n";
        }
    }
}

void PrintHeading(const CheckReport& report, std::ostream& out)
{
    if (report.ran) {
        out << "on " << (report.stock ? "a stock terminal" : "a copy of the terminal given")
            << (report.keyed ? " holding update.pub" : "") << "\n";
    } else {
        out << "the list read only; the start-up not run\n";
    }
    if (report.listFolder) {
        out << "patch_list.txt is a folder: no list runs, only the bulk move\n";
    } else if (!report.hasList) {
        out << "no patch_list.txt: only the bulk move runs\n";
    } else if (report.leftAlone) {
        out << "patch_list.txt, never run while the package holds Hailwatch.exe:\n";
    } else {
        out << "patch_list.txt, first pass:\n";
    }
}

} // namespace

std::string FormatSeconds(unsigned long long ms)
{
    std::string text = std::to_string(ms / 1000);
    if (ms % 1000 != 0) {
        char part[8];
        std::snprintf(part, sizeof(part), ".%03llu", ms % 1000);
        text += part;
        while (text.back() == '0') {
            text.pop_back();
        }
    }
    return text + " s";
}

Severity CheckReport::Worst() const
{
    Severity worst = Severity::Warning;
    for (const Finding& finding : findings) {
        worst = finding.severity > worst ? finding.severity : worst;
    }
    return worst;
}

int CheckReport::Status() const
{
    if (findings.empty()) {
        return kStatusClean;
    }
    return Worst() == Severity::Warning ? kStatusWarnings : kStatusWillNotWork;
}

void CheckReport::Add(Severity severity, const std::string& text, int line, const std::vector<std::string>& files)
{
    findings.push_back({severity, text, line, files});
}

void PrintReport(const CheckReport& report, std::ostream& out)
{
    PrintHeading(report, out);
    PrintLines(report, out);
    if (!report.bulkMoves.empty()) {
        out << "bulk move into " << kInstallFolder << ", after closing Hailnet, Hailwire, Hailfare:\n";
        for (const std::string& name : report.bulkMoves) {
            out << "      " << name << "\n";
        }
    }
    if (!report.nextStart.empty()) {
        out << "the next start changes:\n";
        for (const std::string& change : report.nextStart) {
            out << "      " << change << "\n";
        }
    }
    if (!report.signature.empty()) {
        out << "signature: " << report.signature << "\n";
    }
    for (const Finding& finding : report.findings) {
        out << (finding.severity == Severity::Warning ? "warning: " : "error: ") << finding.text << "\n";
    }
    unsigned long long total = report.killMs + report.sleepMs + report.failureMs;
    out << "start-up blocked at most " << FormatSeconds(total) << " (windows that stay "
        << FormatSeconds(report.killMs) << ", SLEEP " << FormatSeconds(report.sleepMs)
        << ", failing operations " << FormatSeconds(report.failureMs) << "); verdict: " << VerdictText(report)
        << " (" << report.Status() << ")\n";
}

void PrintJson(const CheckReport& report, std::ostream& out)
{
    nlohmann::ordered_json json;
    json["verdict"] = VerdictText(report);
    json["status"] = report.Status();
    json["terminal"] = report.stock ? "stock" : "device";
    json["keyed"] = report.keyed;
    if (!report.signature.empty()) {
        json["signature"] = report.signature;
    }
    json["list"] = report.listFolder ? "folder" : report.hasList ? "present" : "none";
    json["lines"] = nlohmann::ordered_json::array();
    for (const ListedLine& line : report.lines) {
        json["lines"].push_back({{"number", line.number}, {"tail", line.tail}, {"what", line.what},
                                 {"effects", line.effects}});
    }
    json["bulk_move"] = report.bulkMoves;
    json["next_start"] = report.nextStart;
    json["findings"] = nlohmann::ordered_json::array();
    for (const Finding& finding : report.findings) {
        nlohmann::ordered_json item = {{"severity", SeverityName(finding.severity)}, {"text", finding.text}};
        if (finding.line != 0) {
            item["line"] = finding.line;
        }
        item["files"] = finding.files;
        json["findings"].push_back(item);
    }
    json["blocked_ms"] = {{"windows", report.killMs}, {"sleep", report.sleepMs}, {"failures", report.failureMs},
                          {"total", report.killMs + report.sleepMs + report.failureMs}};
    json["power_cuts"] = {{"cut_points", report.cutPoints}, {"in_resumed_starts", report.resumedCutPoints}};
    out << json.dump(2) << "\n";
}

} // namespace hailpatch
