// The verdict of a check, read from what the runs on the model terminal did:
// each line's changes and log, the bulk move, the next start, and what must
// hold after every start however it was cut. Each finding names the line
// and the files.
#ifndef HAILPATCH_CHECK_FINDINGS_H
#define HAILPATCH_CHECK_FINDINGS_H

#include "check_report.h"
#include "check_run.h"

namespace hailpatch {

// Attaches each line's effects to the listed lines and adds the findings,
// the bulk move, the next start and the time blocked to the report.
void JudgeRun(const CheckRun& run, CheckReport* report);

} // namespace hailpatch

#endif
