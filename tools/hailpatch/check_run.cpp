#include "check_run.h"

#include "model_terminal.h"
#include "package_outcome.h"
#include "startup_run.h"

namespace hailpatch {

namespace {

// The supervisor's own files: its log, the record of how far the list has
// got, and the undo journal of a terminal that asks for rollbacks (its
// record beside the list's, its copy on the card).
const char* const kOwnFiles[] = {"\\ResidentFlash\\Log\\hailwatch-", "\\ResidentFlash\\Hailnet\\update.resume-",
                                 "\\ResidentFlash\\Hailnet\\update.undo-", "\\SDMMC\\AirUpdate.undo"};

} // namespace

bool IsOwnFile(const std::string& path)
{
    for (const char* prefix : kOwnFiles) {
        if (path.rfind(prefix, 0) == 0) {
            return true;
        }
    }
    return false;
}

namespace {

std::vector<std::string> Slice(const std::vector<std::string>& lines, size_t from, size_t to)
{
    from = from < lines.size() ? from : lines.size();
    to = to < lines.size() ? to : lines.size();
    return std::vector<std::string>(lines.begin() + static_cast<long>(from),
                                    lines.begin() + static_cast<long>(to > from ? to : from));
}

// Each line's changes end where the next line (or the end of the list) is
// looked at.
void SplitLines(const std::vector<JournalMark>& marks, const StatTree& end, StartRun* start)
{
    for (size_t i = 0; i < marks.size(); ++i) {
        const JournalMark& mark = marks[i];
        if (mark.kind == JournalMark::ListOpened) {
            start->listRan = true;
        }
        const StatTree& next = i + 1 < marks.size() ? marks[i + 1].tree : end;
        if (mark.kind == JournalMark::ListClosed) {
            start->afterList = DiffStatTrees(mark.tree, end);
        }
        if (mark.kind != JournalMark::LineRead) {
            continue;
        }
        LineRun line;
        line.mark = mark;
        line.changes = DiffStatTrees(mark.tree, next);
        size_t logEnd = i + 1 < marks.size() ? marks[i + 1].logLines : start->log.size();
        line.log = Slice(start->log, mark.logLines, logEnd);
        line.sleptMs = (i + 1 < marks.size() ? marks[i + 1].sleptMs : mark.sleptMs) - mark.sleptMs;
        line.before = mark.tree;
        line.after = next;
        line.mark.tree.clear();
        start->lines.push_back(line);
    }
}

} // namespace

std::string DescribeChange(const Change& change)
{
    const char* what = change.what == Change::Added ? "added   " :
                       change.what == Change::Removed ? "removed " : "changed ";
    return what + change.path + (change.folder ? "\\" : " (" + std::to_string(change.size) + " bytes)");
}

std::vector<Change> DiffStatTrees(const StatTree& before, const StatTree& after)
{
    std::vector<Change> changes;
    auto add = [&changes](Change::What what, const std::string& path, const StatEntry& entry) {
        if (!IsOwnFile(path)) {
            changes.push_back({what, path, entry.folder, entry.size});
        }
    };
    auto old = before.begin();
    auto now = after.begin();
    while (old != before.end() || now != after.end()) {
        if (now == after.end() || (old != before.end() && old->first < now->first)) {
            add(Change::Removed, old->first, old->second);
            ++old;
        } else if (old == before.end() || now->first < old->first) {
            add(Change::Added, now->first, now->second);
            ++now;
        } else {
            if (old->second.folder != now->second.folder) {
                add(Change::Removed, old->first, old->second);
                add(Change::Added, now->first, now->second);
            } else if (!now->second.folder && !(old->second == now->second)) {
                add(Change::Changed, now->first, now->second);
            }
            ++old;
            ++now;
        }
    }
    return changes;
}

bool RunOnModel(const fs::path& root, const std::vector<std::string>& titles, CheckRun* run,
                std::string* error)
{
    StartupSetup setup;
    setup.root = root;
    setup.staying = titles;
    for (int number = 0; number < 2; ++number) {
        StartRun start;
        if (!SnapshotTree(root, &start.before, error)) {
            return false;
        }
        StatTree statBefore = StatDeviceTree(root);
        BeginJournal(root);
        StartupOutcome outcome = RunStartup(setup);
        std::vector<JournalMark> marks = EndJournal();
        start.log = outcome.log;
        start.messages = outcome.messages;
        start.blockedMs = outcome.blockedMs;
        StatTree statAfter = StatDeviceTree(root);
        SplitLines(marks, statAfter, &start);
        if (!start.listRan) {
            start.afterList = DiffStatTrees(statBefore, statAfter);
        }
        if (!SnapshotTree(root, &start.after, error)) {
            return false;
        }
        run->starts.push_back(start);
    }
    return true;
}

bool SweepCuts(const fs::path& device, const fs::path& package, const std::vector<std::string>& titles,
               const std::vector<int>& lines, std::vector<CutLoss>* losses, std::string* error)
{
    for (int line : lines) {
        ModelTerminal terminal;
        Tree before;
        Tree after;
        if (!terminal.Make(device, package, error) || !SnapshotTree(terminal.Root(), &before, error)) {
            return false;
        }
        StartupSetup setup;
        setup.root = terminal.Root();
        setup.staying = titles;
        BeginJournal(terminal.Root());
        CutAfterLine(line);
        RunStartup(setup);
        EndJournal();
        RunStartup(setup);
        RunStartup(setup);
        if (!SnapshotTree(terminal.Root(), &after, error)) {
            return false;
        }
        std::vector<std::string> lost = LostPackageFiles(before, after);
        if (!lost.empty()) {
            losses->push_back({line, lost});
        }
    }
    return true;
}

} // namespace hailpatch
