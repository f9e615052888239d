// What a rollback could not take back, read from a run of the update: the
// terminal keeps an undo copy of the flash store only, so a change the list
// makes anywhere else (files removed from the card, new files left on it),
// and a change to the log, stays as the update left it. The package's own
// files leaving the card are no such change: a rolled-back package is not
// applied again. For `check` on a device holding update.rollback.
#ifndef HAILPATCH_ROLLBACK_FINDINGS_H
#define HAILPATCH_ROLLBACK_FINDINGS_H

#include <string>
#include <vector>

#include "check_run.h"

namespace hailpatch {

struct RollbackBlindSpot {
    enum What { Added, Removed, Changed };
    int line = 0;                   // the list's line; 0: the bulk move or after it
    What what = Removed;
    std::string path;               // device path, UTF-8
};

// One step of a start (a line of the list, or with line 0 the bulk move and
// what follows it) and its changes.
struct StepChanges {
    int line = 0;
    std::vector<PathChange> changes;
};

// In the order the start made them, each path once.
std::vector<RollbackBlindSpot> FindRollbackBlindSpots(const std::vector<StepChanges>& start);

// The first start of a check's run, step by step.
std::vector<StepChanges> FirstStartChanges(const CheckRun& run);

// "line 3 removes \SDMMC\photo1.jpg: a rollback cannot bring it back (only
// the flash store is kept)".
std::string DescribeBlindSpot(const RollbackBlindSpot& spot);

} // namespace hailpatch

#endif
