#include "fleet.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

#include "log/LogCatalogue.h"
#include "log_stream.h"
#include "lost_clock.h"
#include "parallel.h"
#include "problems.h"
#include "summary.h"

namespace fs = std::filesystem;

namespace hailog {
namespace {

const Seconds kDay = 86400;
const long long kMinutesADay = kDay / 60;

// Restarts of one application by the minute, over the latest day seen:
// bounded however fast it restarts.
class LastDay {
public:
    void Add(Seconds time)
    {
        const long long minute = time / 60;
        if (!any_ || minute > latest_) {
            const long long step = any_ ? std::min(minute - latest_, kMinutesADay) : kMinutesADay;
            for (long long m = minute - step + 1; m <= minute; ++m)
                counts_[Slot(m)] = 0;
            latest_ = minute;
            any_ = true;
        }
        if (minute > latest_ - kMinutesADay)
            ++counts_[Slot(minute)];
    }
    // Restarts in the 24 hours up to `end`.
    size_t UpTo(Seconds end) const
    {
        const long long last = end / 60;
        size_t total = 0;
        for (long long m = latest_; any_ && m > latest_ - kMinutesADay; --m)
            if (m > last - kMinutesADay && m <= last)
                total += counts_[Slot(m)];
        return total;
    }

private:
    static size_t Slot(long long minute) { return static_cast<size_t>(((minute % kMinutesADay) + kMinutesADay) % kMinutesADay); }
    std::vector<size_t> counts_ = std::vector<size_t>(kMinutesADay, 0);
    long long latest_ = 0;
    bool any_ = false;
};

// Counts a terminal's events as they are finished; updates finish in the
// order of the starts they belong to, which the streaks need.
class Counter : public EventSink {
public:
    explicit Counter(TerminalCounts& counts) : counts_(counts) {}

    void Add(Event&& event, std::uint64_t) override
    {
        switch (event.kind) {
        case EventKind::Run: CountRun(event); break;
        case EventKind::Restart: CountRestart(ApplicationIndex(event.application), event.time); break;
        case EventKind::Update: CountUpdate(event.time, event.update); break;
        case EventKind::Rollback: CountRollback(event); break;
        case EventKind::BuildOptionFailed: ++counts_.buildOptionFailed; break;
        case EventKind::NoFile: counts_.hoursWithNoFile += static_cast<size_t>(event.count); break;
        case EventKind::LogStopped: CountLogStop(event); break;
        case EventKind::ClockLost:
            ++counts_.clockLostEpisodes;
            counts_.lastClockLost = event.end;
            break;
        case EventKind::ClockLostLines: counts_.clockLostEpisodes += event.lost.unplaced; break;
        default: break;
        }
    }

    void AddMoment(const Moment& moment, std::uint64_t) override
    {
        if (moment.kind == EventKind::Restart)
            CountRestart(moment.application, moment.time);
        else if (moment.kind == EventKind::BuildOptionFailed)
            ++counts_.buildOptionFailed;
    }

    void Finish()
    {
        for (size_t i = 0; i < 4; ++i)
            counts_.restartsLastDay[i] = counts_.lastLine ? lastDay_[i].UpTo(*counts_.lastLine) : 0;
    }

private:
    void CountRun(const Event& run)
    {
        ++counts_.runs;
        if (run.ending != Ending::NoEndBanner)
            return;
        ++counts_.stopsWithoutClosing;
        counts_.lastStopWithoutClosing = std::max(counts_.lastStopWithoutClosing.value_or(*run.end), *run.end);
    }

    void CountRestart(int application, Seconds time)
    {
        if (application < 1 || application > 4)
            return;
        const size_t i = static_cast<size_t>(application - 1);
        ++counts_.restarts[i];
        lastDay_[i].Add(time);
        counts_.lastRestart[i] = std::max(counts_.lastRestart[i].value_or(time), time);
    }

    void CountLogStop(const Event& stop)
    {
        ++counts_.logStops;
        counts_.lastLogStop = std::max(counts_.lastLogStop.value_or(stop.time), stop.time);
    }

    // Only a rollback that was done takes the update back; one refused
    // leaves the update in place (its application keeps restarting).
    void CountRollback(const Event& rollback)
    {
        if (rollback.number != LOG_ROLLBACK_DONE || !rollback.end)
            return;
        ++counts_.rolledBack;
        ++counts_.rollbacksStanding;
        counts_.lastRolledBack = std::max(counts_.lastRolledBack.value_or(*rollback.end), *rollback.end);
        counts_.lastRolledBackApplication = rollback.application;
    }

    // An update applied cleanly after a rollback puts the rollback behind.
    // The update a rollback took back was applied before it, though its
    // event is finished (at the end of its run) after the rollback's.
    void CountCleanUpdate(Seconds time)
    {
        if (counts_.rollbacksStanding == 0 || time <= *counts_.lastRolledBack)
            return;
        counts_.rollbacksRecovered = counts_.rollbacksStanding;
        counts_.rollbacksRecoveredAt = time;
        counts_.rollbacksStanding = 0;
    }

    // A package is kept until a start applies it or finds none; a package
    // left alone (it carries the supervisor) leaves the streak as it is.
    void CountUpdate(Seconds time, const Update& update)
    {
        if (update.package == "found" && !update.kept && update.failed.empty())
            CountCleanUpdate(time);
        if (update.package == "none") {
            current_ = 0;
            counts_.keptAtLastStart = false;
            counts_.keptAtTheLastStarts = 0;
        }
        if (update.package != "found")
            return;
        if (update.kept) {
            ++counts_.updatesKept;
            counts_.keptInARow = std::max(counts_.keptInARow, ++streak_);
            ++current_;
            counts_.lastKept = time;
        } else {
            ++counts_.updatesApplied;
            if (current_ >= 2) {
                counts_.recoveredStreak = current_;
                counts_.recoveredAt = time;
            }
            streak_ = current_ = 0;
        }
        counts_.keptAtLastStart = update.kept;
        counts_.keptAtTheLastStarts = current_;
    }

    TerminalCounts& counts_;
    size_t streak_ = 0, current_ = 0;
    LastDay lastDay_[4];
};

// Passes the lines on to the reader, noting the last whose time is known.
class Observed : public LineSink {
public:
    Observed(LineSink& reader, const TimeWindow& window, std::optional<Seconds>& lastLine)
        : reader_(reader), window_(window), lastLine_(lastLine)
    {
    }
    void Take(const LogLine& line) override
    {
        if (line.Parsed() && !IsClockLostHour(line.hour) && window_.Meets(line.Time(), line.Time()))
            lastLine_ = std::max(lastLine_.value_or(line.Time()), line.Time());
        reader_.Take(line);
    }

private:
    LineSink& reader_;
    const TimeWindow& window_;
    std::optional<Seconds>& lastLine_;
};

struct Terminal {
    fs::path folder;
    TerminalCounts counts;
    std::vector<std::string> problems;
};

// The last hour logged up to the window's end, and the longest time between
// two files read.
void NoteHours(const std::vector<LogFile>& all, const std::vector<LogFile>& read, const TimeWindow& window,
               TerminalCounts& counts)
{
    for (const LogFile& file : all)
        if (!IsClockLostHour(file.hour) && !(window.until && file.hour > *window.until))
            counts.lastHour = std::max(counts.lastHour.value_or(file.hour), file.hour);
    std::optional<Seconds> previous;
    for (const LogFile& file : read) {
        if (IsClockLostHour(file.hour))
            continue;
        if (previous)
            counts.longestGap = std::max(counts.longestGap, file.hour - *previous);
        previous = file.hour;
    }
}

void ReadTerminal(Terminal& terminal, const TimeWindow& window)
{
    Problems problems(terminal.counts.terminal + ": ");
    std::vector<LogFile> all;
    FindLogFiles({terminal.folder.string()}, all, problems);
    std::vector<LogFile> files = all;
    KeepFilesMeeting(files, window);
    TerminalCounts& counts = terminal.counts;
    counts.files = files.size();
    NoteHours(all, files, window, counts);
    counts.noLogFiles = all.empty();
    Counter counter(counts);
    SummaryReader reader(files, counter, ReaderSettings{false, window});
    Observed observed(reader, window, counts.lastLine);
    ReadInOrder(files, ReadSettings{1, nullptr}, problems, observed);
    reader.Finish();
    counter.Finish();
    counts.warnings = static_cast<size_t>(problems.Count());
    terminal.problems = problems.Held();
}

// The terminals' folders under the roots, by name; false when a root does
// not exist.
bool FindTerminals(const std::vector<std::string>& roots, std::vector<Terminal>& terminals)
{
    for (const std::string& root : roots) {
        std::error_code error;
        if (!fs::is_directory(root, error)) {
            std::cerr << "hailog: " << root << ": no such folder\n";
            return false;
        }
        std::vector<fs::path> folders;
        for (fs::directory_iterator it(root, error), end; !error && it != end; it.increment(error))
            if (it->is_directory(error))
                folders.push_back(it->path());
        if (error)
            std::cerr << "hailog: " << root << ": cannot read the folder: " << error.message() << "\n";
        std::sort(folders.begin(), folders.end());
        for (const fs::path& folder : folders) {
            Terminal terminal;
            terminal.folder = folder;
            terminal.counts.terminal = folder.filename().string();
            terminals.push_back(terminal);
        }
    }
    return true;
}

} // namespace

size_t TerminalCounts::Trouble() const
{
    return stopsWithoutClosing + Restarts() + updatesKept + buildOptionFailed;
}

int Fleet(const FleetOptions& options)
{
    std::vector<Terminal> terminals;
    if (!FindTerminals(options.roots, terminals))
        return kWillNotWork;
    if (terminals.empty()) {
        std::cerr << "hailog: no terminal folders under the roots given\n";
        return kWillNotWork;
    }
    Progress progress(terminals.size(), "terminals");
    size_t warnings = 0;
    const unsigned jobs = std::max(1u, options.jobs);
    RunOrdered(
        terminals.size(), jobs, 4 * jobs, [&](size_t i) { ReadTerminal(terminals[i], options.window); },
        [&](size_t i) {
            if (!terminals[i].problems.empty())
                progress.Clear();
            for (const std::string& line : terminals[i].problems)
                std::cerr << line << "\n";
            warnings += terminals[i].counts.warnings;
            progress.Add(1, 0);
        });
    progress.Clear();
    std::vector<TerminalCounts> counts;
    for (Terminal& terminal : terminals)
        counts.push_back(std::move(terminal.counts));
    Judge(counts, options);
    SortByTrouble(counts);
    if (options.json)
        WriteFleetJson(counts, std::cout);
    else
        WriteFleetText(counts, std::cout);
    std::cout << std::flush;
    return warnings > 0 ? kWarnings : kClean;
}

} // namespace hailog
