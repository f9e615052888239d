#include <iomanip>
#include <sstream>

#include "rollback_lines.h"
#include "summary_output.h"

namespace hailog {
namespace {

const char* const kWatched[] = {"Hailwire", "Hailfare", "Hailnet", "Hailtrack"};
const int kWatchedNumbers[] = {409, 417, 425, 434};
const size_t kTimesPerLine = 3;
const size_t kTimeWidth = 19; // "YYYY-MM-DD HH:MM:SS"
const char kIndent[] = "  ";
// Where the second column starts under a time: indent, time, two spaces.
const std::string kUnderTime(2 + 19 + 2, ' ');

void Heading(std::ostream& out, const std::string& title, bool empty)
{
    out << "\n" << title << "\n";
    if (empty)
        out << kIndent << "none\n";
}

std::string Period(const Event& event)
{
    std::ostringstream text;
    text << FormatTime(event.time) << "  to " << (event.end ? FormatTime(*event.end) : std::string(19, '?'))
         << "  " << std::left << std::setw(18) << (event.end ? FormatDuration(*event.end - event.time) : "");
    return text.str();
}

std::string Plural(size_t count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string RunLine(const Event& run)
{
    std::ostringstream out;
    out << kIndent << Period(run);
    switch (run.ending) {
    case Ending::EndBanner: out << "ended (end banner)"; break;
    case Ending::NoEndBanner: out << "no end banner: stopped without closing"; break;
    default: out << "no end banner by the end of the log"; break;
    }
    if (!run.version.empty())
        out << "  V" << run.version;
    if (!run.startLogged)
        out << "  (its start is before the log)";
    out << "\n";
    return out.str();
}

std::string IgnitionLine(const Event& period)
{
    std::ostringstream out;
    out << kIndent << Period(period);
    switch (period.ending) {
    case Ending::AccOn: out << "until ACC ON"; break;
    case Ending::NextStart: out << "until the supervisor started again"; break;
    default: out << "still off when the log ends"; break;
    }
    out << "\n";
    return out.str();
}

std::string UpdateLines(const Event& event)
{
    std::ostringstream out;
    const Update& update = event.update;
    out << kIndent << FormatTime(event.time) << "  ";
    if (update.package == "none")
        return out.str() + "no package\n";
    if (update.package == "left alone")
        return out.str() + "package left alone: it carries Hailwatch.exe\n";
    out << "package found, " << (update.patchList ? "patch list run" : "no patch list") << ", "
        << Plural(update.failed.size(), "line failed", "lines failed") << ", "
        << (update.kept ? "kept for the next start" : "not kept") << ", "
        << Plural(static_cast<size_t>(update.moved), "file moved", "files moved") << "\n";
    for (const std::string& failed : update.failed)
        out << kUnderTime << "failed: " << failed << "\n";
    if (!update.closed.empty()) {
        out << kUnderTime << "closed:";
        for (size_t i = 0; i < update.closed.size(); ++i)
            out << (i ? ", " : " ") << update.closed[i];
        out << "\n";
    }
    return out.str();
}

std::string RollbackLineOf(const Event& event)
{
    std::ostringstream out;
    out << kIndent << FormatTime(event.time) << "  " << (event.application.empty() ? "?" : event.application);
    const std::string role = RoleOfApplication(event.application);
    if (!role.empty())
        out << " (" << role << ")";
    if (event.count > 0)
        out << " after " << Plural(static_cast<size_t>(event.count), "restart", "restarts");
    out << ": " << RollbackOutcome(event.number);
    if (event.end && *event.end != event.time)
        out << ", " << FormatTime(*event.end);
    out << "\n";
    return out.str();
}

size_t WatchedIndex(const std::string& application)
{
    for (size_t i = 0; i < 4; ++i)
        if (application == kWatched[i])
            return i;
    return 4;
}

} // namespace

TextSummary::TextSummary(const Hours& hours) : hours_(hours) {}

void TextSummary::Add(const Event& event)
{
    switch (event.kind) {
    case EventKind::Run: runs_.Append(RunLine(event)); break;
    case EventKind::Restart: {
        const size_t i = WatchedIndex(event.application);
        if (i < 4)
            restarts_[i].Append(FormatTime(event.time));
        break;
    }
    case EventKind::IgnitionOff: ignition_.Append(IgnitionLine(event)); break;
    case EventKind::NaviClose:
        navigation_.Append(kIndent + FormatTime(event.time) + "  closed: ignition off (481)\n");
        break;
    case EventKind::NaviStart:
        navigation_.Append(kIndent + FormatTime(event.time) + "  started again: ignition on (490)\n");
        break;
    case EventKind::Update: updates_.Append(UpdateLines(event)); break;
    case EventKind::Rollback: rollbacks_.Append(RollbackLineOf(event)); break;
    case EventKind::BuildOptionFailed:
        buildOption_.Append(kIndent + FormatTime(event.time) + "  Error[" + std::to_string(event.error) + "]\n");
        break;
    case EventKind::NoFile:
        noFile_.Append(kIndent + FormatMinute(event.time) + "  to " + FormatMinute(*event.end) + "  " +
                       Plural(static_cast<size_t>(event.count), "hour", "hours") + "\n");
        break;
    case EventKind::Unparsed:
        unparsed_.Append(kIndent + event.file + "  " + Plural(static_cast<size_t>(event.count), "line", "lines") +
                         "\n");
        break;
    }
}

void TextSummary::Section(std::ostream& out, const char* title, Spill& lines)
{
    Heading(out, title, lines.Size() == 0);
    lines.ForEach(1, [&](std::string_view text) { out << text; });
}

void TextSummary::WriteRestarts(std::ostream& out)
{
    Heading(out, "Restarts of the watched applications", false);
    for (size_t i = 0; i < 4; ++i) {
        const size_t count = restarts_[i].Size() / kTimeWidth;
        std::ostringstream head;
        head << kIndent << std::left << std::setw(10) << kWatched[i] << std::setw(11)
             << (std::string(RoleOfApplication(kWatched[i])) + " " + std::to_string(kWatchedNumbers[i]))
             << std::right << std::setw(4) << count;
        out << head.str();
        const std::string under(head.str().size(), ' ');
        size_t t = 0;
        restarts_[i].ForEach(kTimeWidth, [&](std::string_view times) {
            for (size_t at = 0; at + kTimeWidth <= times.size(); at += kTimeWidth, ++t) {
                if (t > 0 && t % kTimesPerLine == 0)
                    out << "\n" << under;
                out << "  " << times.substr(at, kTimeWidth);
            }
        });
        out << "\n";
    }
}

void TextSummary::Write(std::ostream& out)
{
    out << "Logs read: " << Plural(hours_.files, "file", "files");
    if (hours_.first)
        out << ", hours " << FormatMinute(*hours_.first) << " to " << FormatMinute(*hours_.last + 3599);
    out << "\n";
    Section(out, "Runs of the supervisor", runs_);
    WriteRestarts(out);
    Section(out, "Ignition off", ignition_);
    Section(out, "Navigation application (Roadlens)", navigation_);
    Section(out, "Start-up updates", updates_);
    // Only a terminal that asks for rollbacks can write one.
    if (rollbacks_.Size() > 0)
        Section(out, "Updates rolled back", rollbacks_);
    Section(out, "Build option refused by the call application (628)", buildOption_);
    Section(out, "Hours with no file", noFile_);
    if (unparsed_.Size() > 0)
        Section(out, "Lines not in the log's form", unparsed_);
}

void WriteText(const Summary& summary, std::ostream& out)
{
    TextSummary text(summary);
    for (const Event& event : summary.events)
        text.Add(event);
    text.Write(out);
}

} // namespace hailog
