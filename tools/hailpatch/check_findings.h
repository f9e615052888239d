// The verdict of a check, read from what the run on the model terminal did:
// each command line's changes and log, the bulk move, the next start, and
// what became of the package's files.
#ifndef HAILPATCH_CHECK_FINDINGS_H
#define HAILPATCH_CHECK_FINDINGS_H

#include "check_run.h"
#include "package_check.h"

namespace hailpatch {

// Attaches each line's effects to the listed lines and adds the findings,
// the bulk move and the time blocked to the report.
void JudgeRun(const CheckRun& run, CheckReport* report);

// The lines after which a power cut is worth trying: those that changed the
// device in the first start.
std::vector<int> LinesToCut(const CheckRun& run);

// A file lost when a start is cut after a line, unless the run lost it anyway.
void JudgeCuts(const std::vector<CutLoss>& losses, CheckReport* report);

} // namespace hailpatch

#endif
