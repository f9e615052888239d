// One start of the terminal's update on the model terminal, step by step:
// the package test, the signature check, each line of the list and each
// copy, each with where the change journal stood when it began, so that
// every change of the device belongs to the step that made it.
#ifndef HAILPATCH_START_TRACE_H
#define HAILPATCH_START_TRACE_H

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "patch/PatchLine.h"
#include "platform/host/host_control.h"
#include "startup_run.h"

namespace hailpatch {

struct Step {
    enum Kind { PackageTested, Verified, ListOpened, Line, ListClosed, Copy, BulkDone, Staging };
    Kind kind = Line;
    int number = 0;                      // Line: the line as an editor numbers it
    bool tail = false;
    PatchLineKind lineKind = PATCH_LINE_TOO_SHORT;
    PatchCommand command = PATCH_COMMAND_NONE;
    bool due = true;                     // Line: the interpreter runs it in this start
    std::string field;                   // field 0 (949); Staging: the folder
    std::string source;                  // Copy, and a CP line: the two paths (949)
    std::string destination;
    // The same paths as the device resolved them when the step ran (UTF-8).
    std::string resolvedField;
    std::string resolvedSource;
    std::string resolvedDestination;
    // Line: what stood at field 0, and at the folder it (or a CP's
    // destination) lies in, just before the line ran.
    host::PathState fieldState;
    host::PathState parentState;
    bool inList = false;                 // Copy: one of the list's, not the bulk move's
    bool listFailed = false;             // a copy of the list failed before this step
    int result = 0;                      // the test's answer, the check's, the list's, the copy's
    std::size_t journal = 0;             // journal length when the step began
    std::size_t logLines = 0;            // log lines written before it
    std::size_t messages = 0;            // messages posted before it
    unsigned long long sleptMs = 0;      // pauses before it
};

struct StartTrace {
    std::vector<Step> steps;
    StartupOutcome outcome;
    std::size_t journalBegin = 0;
    std::size_t journalEnd = 0;
    bool stopped = false;                // the power was cut at a checkpoint

    bool ListRan() const;
    // Whether the start took the package up at all: ran its list or moved a file.
    bool TookPackage() const;
    // Whether a keyed terminal refused the package.
    bool Refused() const;
    // The step a journal entry belongs to (the last one begun before it), or
    // nullptr for one made before the first step.
    const Step* StepOf(std::size_t entry) const;
    // The step after steps[index]: for a line, the first after its copy.
    std::size_t NextStep(std::size_t index) const;
    // The journal range of steps[index], up to the next step or the end.
    std::size_t StepEnd(std::size_t index) const;
    // The log lines of steps[index].
    std::vector<std::string> StepLog(std::size_t index) const;
};

// Answers true to stop the start: the power is cut there, so that the rest
// of it changes nothing. Asked at each line the start runs and at each copy
// of the bulk move.
using Checkpoint = std::function<bool(const Step&)>;

class ListRecordReader;

// `lists`, when given, measures the list for the start's record (the
// start would measure the same bytes again).
StartTrace RunTracedStart(const StartupSetup& setup, const Checkpoint& checkpoint = Checkpoint(),
                          ListRecordReader* lists = nullptr);

} // namespace hailpatch

#endif
