#include "cut_sweep.h"

#include <map>
#include <memory>
#include <set>
#include <utility>

#include "list_record.h"
#include "model_terminal.h"
#include "platform/host/host_control.h"
#include "tools/common/pc_text.h"

namespace hailpatch {

namespace {

// Starts run after a cut that does not take up the uninterrupted course.
const int kStartsAfterCut = 2;

std::string Folded(std::string text)
{
    for (char& c : text) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return text;
}

// How a change can be cut short: whole, or (a copy, a write) with half of
// its bytes or none.
std::vector<unsigned long long> Tears(const host::JournalEntry& entry, const TrackedChange& change)
{
    std::vector<unsigned long long> keep;
    bool writes = entry.operation == "CopyFileW" || entry.operation == "fopen";
    bool log = Folded(change.path).rfind("\\residentflash\\log\\", 0) == 0;
    if (writes && !log && change.after.exists && !change.after.folder && change.after.size > 0) {
        keep.push_back(change.after.size / 2);
        keep.push_back(0);
    }
    return keep;
}

std::string DescribeStep(const Step* step)
{
    if (step == nullptr) {
        return "before the list";
    }
    switch (step->kind) {
    case Step::Line: return "in line " + std::to_string(step->number);
    case Step::Copy:
        return step->inList ? "in the list's copy of " + tools::Show949(step->source)
                            : "in the bulk move of " + tools::Show949(step->source);
    case Step::ListClosed: return "after the list, while it is deleted";
    case Step::BulkDone: return "after the bulk move";
    case Step::Staging: return "while the staging folders are cleared";
    default: return "in the start-up";
    }
}

// The step a change belongs to: a copy of the list is told by its line.
const Step* OwningStep(const StartTrace& trace, std::size_t entry)
{
    const Step* step = trace.StepOf(entry);
    if (step != nullptr && step->kind == Step::Copy && step->inList) {
        for (const Step* line = step; line >= &trace.steps.front(); --line) {
            if (line->kind == Step::Line) {
                return line;
            }
        }
    }
    return step;
}

class Sweep {
public:
    Sweep(const StartupSetup& setup, const ReferencePoints& points, DeviceTracker* tracker, const CutJudge& judge)
        : setup_(setup), points_(points), tracker_(tracker), judge_(judge), records_(tracker)
    {
    }
    void CutStart(const StartTrace& start, int depth, const std::string& prefix,
                  const std::vector<const StartTrace*>& earlier);
    SweepCounts counts;
    std::function<void(std::size_t, std::size_t)> progress;
    std::size_t all = 0;

private:
    void Explore(int depth, const std::string& cut, const std::vector<const StartTrace*>& earlier);
    bool Rejoins(const Step& step);
    std::string Record() { return records_.View(); }
    std::string Describe(const StartTrace& start, std::size_t entry, unsigned long long keep, bool torn) const;

    const StartupSetup& setup_;
    const ReferencePoints& points_;
    DeviceTracker* tracker_;
    const CutJudge& judge_;
    std::set<std::pair<std::uint64_t, std::string>> seen_;
    ListRecordReader records_;
};

bool Sweep::Rejoins(const Step& step)
{
    auto point = points_.points.find(CheckpointKey(step));
    if (point == points_.points.end() || tracker_->Fingerprint() != point->second.fingerprint) {
        return false;
    }
    if (Record() != point->second.record) {
        return false;
    }
    ++counts.rejoined;
    return true;
}

std::string Sweep::Describe(const StartTrace& start, std::size_t entry, unsigned long long keep, bool torn) const
{
    const host::JournalEntry& change = host::JournalAt(entry);
    std::string what = change.operation + " " + change.devicePath;
    if (torn) {
        what += keep == 0 ? ", torn to nothing" : ", torn to half";
    }
    return DescribeStep(OwningStep(start, entry)) + " (after " + what + ")";
}

// The device stands at a cut: the next starts run until one takes up the
// uninterrupted course, or to their end, when they are judged. The device
// is put back afterwards.
void Sweep::Explore(int depth, const std::string& cut, const std::vector<const StartTrace*>& earlier)
{
    std::size_t base = tracker_->Length();
    if (!seen_.insert({tracker_->Fingerprint(), Record()}).second) {
        ++counts.repeated;
        return;
    }
    ++counts.cuts;
    counts.resumedCuts += depth > 1 ? 1 : 0;
    std::vector<StartTrace> starts;
    starts.reserve(kStartsAfterCut);
    auto rejoins = [this](const Step& step) { return Rejoins(step); };
    bool rejoined = false;
    for (int i = 0; i < kStartsAfterCut && !rejoined; ++i) {
        starts.push_back(RunTracedStart(setup_, rejoins, &records_));
        rejoined = starts.back().stopped;
    }
    tracker_->CatchUp();
    if (!rejoined) {
        CutRun run;
        run.cut = cut;
        run.starts = earlier;
        for (const StartTrace& start : starts) {
            run.starts.push_back(&start);
        }
        judge_(run);
    }
    if (depth == 1) {
        tracker_->UndoTo(starts.front().journalEnd);
        std::vector<const StartTrace*> before = earlier;
        before.push_back(&starts.front());
        CutStart(starts.front(), depth + 1, cut + "; then, in the next start, ", before);
    }
    tracker_->UndoTo(base);
}

// The device stands at the end of `start`: each of its changes is cut, the
// newest first, and undone.
void Sweep::CutStart(const StartTrace& start, int depth, const std::string& prefix,
                     const std::vector<const StartTrace*>& earlier)
{
    for (std::size_t entry = start.journalEnd; entry-- > start.journalBegin;) {
        tracker_->CatchUp();
        std::vector<unsigned long long> tears = Tears(host::JournalAt(entry), tracker_->At(entry));
        Explore(depth, prefix + Describe(start, entry, 0, false), earlier);
        for (unsigned long long keep : tears) {
            std::size_t before = tracker_->Length();
            if (host::TearFile(tracker_->At(entry).path, keep)) {
                Explore(depth, prefix + Describe(start, entry, keep, true), earlier);
            }
            tracker_->UndoTo(before);
        }
        tracker_->UndoTo(entry);
        if (depth == 1 && progress) {
            progress(start.journalEnd - entry, all);
        }
    }
}

} // namespace

std::string CheckpointKey(const Step& step)
{
    if (step.kind == Step::Line) {
        return "line " + std::to_string(step.number) + (step.tail ? "+" : "") + (step.listFailed ? " failed" : "");
    }
    return "bulk " + Folded(step.source);
}

Checkpoint RecordReference(DeviceTracker* tracker, ReferencePoints* reference)
{
    auto records = std::make_shared<ListRecordReader>(tracker);
    return [tracker, reference, records](const Step& step) {
        reference->points[CheckpointKey(step)] = {tracker->Fingerprint(), records->View()};
        return false;
    };
}

SweepCounts SweepCuts(const StartupSetup& setup, const StartTrace& reference, const ReferencePoints& points,
                      DeviceTracker* tracker, const CutJudge& judge,
                      const std::function<void(std::size_t done, std::size_t all)>& progress)
{
    Sweep sweep(setup, points, tracker, judge);
    sweep.progress = progress;
    sweep.all = reference.journalEnd - reference.journalBegin;
    sweep.CutStart(reference, 1, "", {&reference});
    return sweep.counts;
}

} // namespace hailpatch
