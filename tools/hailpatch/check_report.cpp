// The check's report as the engineer reads it: the lines, the bulk move,
// the findings, and last the time blocked and the verdict.
#include <cstdio>
#include <ostream>

#include "package_check.h"

namespace hailpatch {

namespace {

const char kInstallFolder[] = "\\ResidentFlash\\Hailnet";

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

namespace {

const char* VerdictText(Severity worst)
{
    switch (worst) {
    case Severity::Destroys: return "destroys or loses files";
    case Severity::RunsAgain: return "runs again at every start";
    case Severity::Blocks: return "blocks every start too long";
    case Severity::NotApplied: return "will not apply";
    default: return "applies, with warnings";
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

} // namespace

void PrintReport(const CheckReport& report, std::ostream& out)
{
    if (report.ran) {
        out << "on " << (report.stock ? "a stock terminal" : "a copy of the terminal given") << "\n";
    } else {
        out << "the list read only; the start-up not run\n";
    }
    if (!report.hasList) {
        out << "no patch_list.txt: only the bulk move runs\n";
    } else if (report.leftAlone) {
        out << "patch_list.txt, never run while the package holds Hailwatch.exe:\n";
    } else {
        out << "patch_list.txt, first pass:\n";
    }
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
    for (const Finding& finding : report.findings) {
        out << (finding.severity == Severity::Warning ? "warning: " : "error: ") << finding.text << "\n";
    }
    const char* verdict = report.findings.empty() ? "clean" : VerdictText(report.Worst());
    unsigned long long total = report.killMs + report.sleepMs + report.failureMs;
    out << "start-up blocked at most " << FormatSeconds(total) << " (windows that stay "
        << FormatSeconds(report.killMs) << ", SLEEP " << FormatSeconds(report.sleepMs)
        << ", failing operations " << FormatSeconds(report.failureMs) << "); verdict: " << verdict
        << " (" << report.Status() << ")\n";
}

} // namespace hailpatch
