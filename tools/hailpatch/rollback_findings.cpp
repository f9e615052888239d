#include "rollback_findings.h"

#include <set>

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

void Collect(int line, const std::vector<Change>& changes, std::set<std::string>* seen,
             std::vector<RollbackBlindSpot>* spots)
{
    for (const Change& change : changes) {
        if (IsOwnFile(change.path) || IsKeptByTheUndoCopy(change.path) ||
            IsNoChangeOfTheUpdate(change.path) || !seen->insert(FoldCase(change.path)).second) {
            continue;
        }
        spots->push_back({line, change.what, change.path});
    }
}

} // namespace

std::vector<RollbackBlindSpot> FindRollbackBlindSpots(const StartRun& start)
{
    std::vector<RollbackBlindSpot> spots;
    std::set<std::string> seen;
    for (const LineRun& line : start.lines) {
        Collect(line.mark.number, line.changes, &seen, &spots);
    }
    Collect(0, start.afterList, &seen, &spots);
    return spots;
}

std::string DescribeBlindSpot(const RollbackBlindSpot& spot)
{
    std::string where = spot.line > 0 ? "line " + std::to_string(spot.line) : "the bulk move";
    std::string verb = spot.what == Change::Removed ? " removes " : spot.what == Change::Added ? " adds " : " changes ";
    std::string why = StartsWithFolded(spot.path, kLogFolder)
                          ? "the log is never taken back"
                          : "only the flash store is kept in the undo copy";
    std::string outcome = spot.what == Change::Added ? "a rollback leaves it there" : "a rollback cannot bring it back";
    return where + verb + spot.path + ": " + outcome + " (" + why + ")";
}

} // namespace hailpatch
