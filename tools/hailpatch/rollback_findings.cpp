#include "rollback_findings.h"

#include <set>

#include "own_files.h"
#include "package_files.h"

namespace hailpatch {

namespace {

// Folders whose changes are no part of the update: the package leaving the
// card, and the staging folders every start clears.
const char* const kNotTheUpdates[] = {
    "\\SDMMC\\AirUpdate\\", "\\ResidentFlash\\Update\\", "\\ResidentFlash\\SDIUpdate\\",
    "\\ResidentFlash\\AdtDownload\\",
};
const char kFlashStore[] = "\\ResidentFlash\\";
const char kLogFolder[] = "\\ResidentFlash\\Log\\";

bool StartsWithFolded(const std::string& path, const std::string& folder)
{
    if (path.empty()) {
        return false;
    }
    std::string folded = FoldCase(path + (path.back() == '\\' ? "" : "\\"));
    return folded.compare(0, folder.size(), FoldCase(folder)) == 0;
}

bool IsKeptByTheUndoCopy(const std::string& path)
{
    return StartsWithFolded(path, kFlashStore) && !StartsWithFolded(path, kLogFolder);
}

bool IsNoChangeOfTheUpdate(const std::string& path)
{
    for (const char* folder : kNotTheUpdates) {
        if (StartsWithFolded(path, folder)) {
            return true;
        }
    }
    return false;
}

RollbackBlindSpot::What WhatOf(const PathChange& change)
{
    return !change.before.exists ? RollbackBlindSpot::Added
         : !change.after.exists ? RollbackBlindSpot::Removed : RollbackBlindSpot::Changed;
}

void Collect(int line, const std::vector<PathChange>& changes, std::set<std::string>* seen,
             std::vector<RollbackBlindSpot>* spots)
{
    for (const PathChange& change : changes) {
        // The supervisor's own hourly files change at every start: no list's doing.
        bool ownLog = FoldCase(change.path).rfind("\\residentflash\\log\\hailwatch-", 0) == 0;
        bool bookkeeping = IsBookkeeping(change.path) && !StartsWithFolded(change.path, kLogFolder);
        if (ownLog || bookkeeping || IsKeptByTheUndoCopy(change.path) ||
            IsNoChangeOfTheUpdate(change.path) || !seen->insert(FoldCase(change.path)).second) {
            continue;
        }
        spots->push_back({line, WhatOf(change), change.path});
    }
}

} // namespace

std::vector<RollbackBlindSpot> FindRollbackBlindSpots(const std::vector<StepChanges>& start)
{
    std::vector<RollbackBlindSpot> spots;
    std::set<std::string> seen;
    for (const StepChanges& step : start) {
        Collect(step.line, step.changes, &seen, &spots);
    }
    return spots;
}

std::vector<StepChanges> FirstStartChanges(const CheckRun& run)
{
    std::vector<StepChanges> steps;
    for (size_t i = 0; i < run.first.steps.size(); ++i) {
        const Step& step = run.first.steps[i];
        if (step.kind == Step::Line && step.due) {
            steps.push_back({step.number, run.stepChanges[i]});
        }
    }
    steps.push_back({0, run.afterList});
    return steps;
}

std::string DescribeBlindSpot(const RollbackBlindSpot& spot)
{
    std::string where = spot.line > 0 ? "line " + std::to_string(spot.line) : "the bulk move";
    std::string verb = spot.what == RollbackBlindSpot::Removed ? " removes "
                     : spot.what == RollbackBlindSpot::Added ? " adds " : " changes ";
    std::string why = StartsWithFolded(spot.path, kLogFolder)
                          ? "the log is never taken back"
                          : "only the flash store is kept in the undo copy";
    std::string outcome = spot.what == RollbackBlindSpot::Added ? "a rollback leaves it there"
                                                                : "a rollback cannot bring it back";
    return where + verb + spot.path + ": " + outcome + " (" + why + ")";
}

} // namespace hailpatch
