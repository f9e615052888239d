#include <iomanip>
#include <sstream>

#include "summary_output.h"

namespace hailog {
namespace {

const char* const kWatched[] = {"Hailwire", "Hailfare", "Hailnet", "Hailtrack"};
const int kWatchedNumbers[] = {409, 417, 425, 434};
const size_t kTimesPerLine = 3;
const char kIndent[] = "  ";
// Where the second column starts under a time: indent, time, two spaces.
const std::string kUnderTime(2 + 19 + 2, ' ');

std::vector<const Event*> OfKind(const Summary& summary, EventKind kind)
{
    std::vector<const Event*> events;
    for (const Event& event : summary.events)
        if (event.kind == kind)
            events.push_back(&event);
    return events;
}

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

void WriteRuns(const Summary& summary, std::ostream& out)
{
    const std::vector<const Event*> runs = OfKind(summary, EventKind::Run);
    Heading(out, "Runs of the supervisor", runs.empty());
    for (const Event* run : runs) {
        out << kIndent << Period(*run);
        switch (run->ending) {
        case Ending::EndBanner: out << "ended (end banner)"; break;
        case Ending::NoEndBanner: out << "no end banner: stopped without closing"; break;
        default: out << "no end banner by the end of the log"; break;
        }
        if (!run->version.empty())
            out << "  V" << run->version;
        if (!run->startLogged)
            out << "  (its start is before the log)";
        out << "\n";
    }
}

void WriteRestarts(const Summary& summary, std::ostream& out)
{
    Heading(out, "Restarts of the watched applications", false);
    for (size_t i = 0; i < 4; ++i) {
        std::vector<std::string> times;
        for (const Event* event : OfKind(summary, EventKind::Restart))
            if (event->application == kWatched[i])
                times.push_back(FormatTime(event->time));
        std::ostringstream head;
        head << kIndent << std::left << std::setw(10) << kWatched[i] << std::setw(11)
             << (std::string(RoleOfApplication(kWatched[i])) + " " + std::to_string(kWatchedNumbers[i]))
             << std::right << std::setw(4) << times.size();
        out << head.str();
        for (size_t t = 0; t < times.size(); ++t) {
            if (t > 0 && t % kTimesPerLine == 0)
                out << "\n" << std::string(head.str().size(), ' ');
            out << "  " << times[t];
        }
        out << "\n";
    }
}

void WriteIgnition(const Summary& summary, std::ostream& out)
{
    const std::vector<const Event*> periods = OfKind(summary, EventKind::IgnitionOff);
    Heading(out, "Ignition off", periods.empty());
    for (const Event* period : periods) {
        out << kIndent << Period(*period);
        switch (period->ending) {
        case Ending::AccOn: out << "until ACC ON"; break;
        case Ending::NextStart: out << "until the supervisor started again"; break;
        default: out << "still off when the log ends"; break;
        }
        out << "\n";
    }
}

void WriteNavigation(const Summary& summary, std::ostream& out)
{
    bool any = false;
    for (const Event& event : summary.events)
        any = any || event.kind == EventKind::NaviClose || event.kind == EventKind::NaviStart;
    Heading(out, "Navigation application (Roadlens)", !any);
    for (const Event& event : summary.events) {
        if (event.kind == EventKind::NaviClose)
            out << kIndent << FormatTime(event.time) << "  closed: ignition off (481)\n";
        else if (event.kind == EventKind::NaviStart)
            out << kIndent << FormatTime(event.time) << "  started again: ignition on (490)\n";
    }
}

std::string Plural(size_t count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

void WriteUpdates(const Summary& summary, std::ostream& out)
{
    const std::vector<const Event*> updates = OfKind(summary, EventKind::Update);
    Heading(out, "Start-up updates", updates.empty());
    for (const Event* event : updates) {
        const Update& update = event->update;
        out << kIndent << FormatTime(event->time) << "  ";
        if (update.package == "none") {
            out << "no package\n";
            continue;
        }
        if (update.package == "left alone") {
            out << "package left alone: it carries Hailwatch.exe\n";
            continue;
        }
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
    }
}

void WriteBuildOption(const Summary& summary, std::ostream& out)
{
    const std::vector<const Event*> failures = OfKind(summary, EventKind::BuildOptionFailed);
    Heading(out, "Build option refused by the call application (628)", failures.empty());
    for (const Event* event : failures)
        out << kIndent << FormatTime(event->time) << "  Error[" << event->error << "]\n";
}

void WriteHoursWithNoFile(const Summary& summary, std::ostream& out)
{
    const std::vector<const Event*> gaps = OfKind(summary, EventKind::NoFile);
    Heading(out, "Hours with no file", gaps.empty());
    for (const Event* gap : gaps)
        out << kIndent << FormatMinute(gap->time) << "  to " << FormatMinute(*gap->end) << "  "
            << Plural(static_cast<size_t>(gap->count), "hour", "hours") << "\n";
}

void WriteUnparsed(const Summary& summary, std::ostream& out)
{
    const std::vector<const Event*> files = OfKind(summary, EventKind::Unparsed);
    if (files.empty())
        return;
    Heading(out, "Lines not in the log's form", false);
    for (const Event* file : files)
        out << kIndent << file->file << "  " << Plural(static_cast<size_t>(file->count), "line", "lines") << "\n";
}

} // namespace

void WriteText(const Summary& summary, std::ostream& out)
{
    out << "Logs read: " << Plural(summary.files, "file", "files");
    if (summary.first)
        out << ", hours " << FormatMinute(*summary.first) << " to " << FormatMinute(*summary.last + 3599);
    out << "\n";
    WriteRuns(summary, out);
    WriteRestarts(summary, out);
    WriteIgnition(summary, out);
    WriteNavigation(summary, out);
    WriteUpdates(summary, out);
    WriteBuildOption(summary, out);
    WriteHoursWithNoFile(summary, out);
    WriteUnparsed(summary, out);
}

} // namespace hailog
