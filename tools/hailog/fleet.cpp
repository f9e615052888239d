#include "fleet.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

#include "log_stream.h"
#include "parallel.h"
#include "problems.h"
#include "summary.h"

namespace fs = std::filesystem;

namespace hailog {
namespace {

const char* const kWatched[] = {"Hailwire", "Hailfare", "Hailnet", "Hailtrack"};

// Counts a terminal's events as they are finished; updates finish in the
// order of the starts they belong to, which the streak needs.
class Counter : public EventSink {
public:
    explicit Counter(TerminalCounts& counts) : counts_(counts) {}

    void Add(Event&& event, std::uint64_t) override
    {
        switch (event.kind) {
        case EventKind::Run:
            ++counts_.runs;
            counts_.stopsWithoutClosing += event.ending == Ending::NoEndBanner ? 1 : 0;
            break;
        case EventKind::Restart:
            for (size_t i = 0; i < 4; ++i)
                counts_.restarts[i] += event.application == kWatched[i] ? 1 : 0;
            break;
        case EventKind::Update: CountUpdate(event.update); break;
        case EventKind::BuildOptionFailed: ++counts_.buildOptionFailed; break;
        case EventKind::Rollback: CountRollback(event); break;
        case EventKind::NoFile: counts_.hoursWithNoFile += static_cast<size_t>(event.count); break;
        default: break;
        }
    }

private:
    void CountRollback(const Event& event)
    {
        if (event.number != 969)
            return;
        ++counts_.rolledBack;
        counts_.lastRolledBackApplication = event.application;
        counts_.lastRolledBackTime = FormatTime(event.end ? *event.end : event.time);
    }

    void CountUpdate(const Update& update)
    {
        if (update.package != "found")
            return;
        if (!update.kept) {
            ++counts_.updatesApplied;
            streak_ = 0;
        } else {
            ++counts_.updatesKept;
            counts_.keptInARow = std::max(counts_.keptInARow, ++streak_);
        }
        counts_.keptAtLastStart = update.kept;
    }

    TerminalCounts& counts_;
    size_t streak_ = 0;
};

struct Terminal {
    fs::path folder;
    TerminalCounts counts;
    std::vector<std::string> problems;
};

void ReadTerminal(Terminal& terminal)
{
    Problems problems(terminal.counts.terminal + ": ");
    std::vector<LogFile> files;
    FindLogFiles({terminal.folder.string()}, files, problems);
    terminal.counts.files = files.size();
    Counter counter(terminal.counts);
    SummaryReader reader(files, counter, false);
    ReadInOrder(files, ReadSettings{1, nullptr}, problems, reader);
    reader.Finish();
    terminal.counts.warnings = static_cast<size_t>(problems.Count());
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
    return stopsWithoutClosing + Restarts() + updatesKept + buildOptionFailed + hoursWithNoFile;
}

void SortByTrouble(std::vector<TerminalCounts>& terminals)
{
    std::stable_sort(terminals.begin(), terminals.end(), [](const TerminalCounts& a, const TerminalCounts& b) {
        const size_t visitA = a.VisitRank(), visitB = b.VisitRank();
        if (visitA != visitB)
            return visitA > visitB;
        if (a.Trouble() != b.Trouble())
            return a.Trouble() > b.Trouble();
        return a.terminal < b.terminal;
    });
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
        terminals.size(), jobs, 4 * jobs, [&](size_t i) { ReadTerminal(terminals[i]); },
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
    for (const Terminal& terminal : terminals)
        counts.push_back(terminal.counts);
    SortByTrouble(counts);
    if (options.json)
        WriteFleetJson(counts, std::cout);
    else
        WriteFleetText(counts, std::cout);
    std::cout << std::flush;
    return warnings > 0 ? kWarnings : kClean;
}

} // namespace hailog
