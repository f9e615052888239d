// Power cuts at every change of a start, and at every change of the start
// that resumes after each: what each cut leaves is explored on the one model
// terminal, walking its change journal backwards (so no tree is ever copied),
// and a start that reaches a moment of the uninterrupted start with the same
// device and the same progress record is known to end as that one did.
#ifndef HAILPATCH_CUT_SWEEP_H
#define HAILPATCH_CUT_SWEEP_H

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "device_tracker.h"
#include "start_trace.h"
#include "startup_run.h"

namespace hailpatch {

// A moment where a start may take up the uninterrupted start's course: a line
// it runs, or a copy of the bulk move.
std::string CheckpointKey(const Step& step);

// What the uninterrupted start looked like at each of its checkpoints.
struct ReferencePoints {
    struct Point {
        std::uint64_t fingerprint = 0;
        std::string record;
    };
    std::map<std::string, Point> points;
};

// Records a checkpoint of the uninterrupted start; for RunTracedStart.
Checkpoint RecordReference(DeviceTracker* tracker, ReferencePoints* reference);

// The starts after a cut that never took up the uninterrupted course, and
// what the device holds after them.
struct CutRun {
    std::string cut;                    // where the power failed, in words
    std::vector<const StartTrace*> starts;  // the cut start's earlier part is the reference
};

// Judges the device after a cut whose starts ran to their end (the cut
// start's reference part, `run.starts`): the tracker holds every change
// since the uninterrupted start began.
using CutJudge = std::function<void(const CutRun& run)>;

struct SweepCounts {
    std::size_t cuts = 0;          // cut points explored
    std::size_t resumedCuts = 0;   // cuts of a start that resumed
    std::size_t rejoined = 0;      // starts that took up the uninterrupted course
    std::size_t repeated = 0;      // cut points that left a device already explored
};

// The disk stands at the end of `reference` (its changes are the tracker's
// last); every change of it is cut, and every change of each start that
// resumes. Puts the device back to where `reference` began.
SweepCounts SweepCuts(const StartupSetup& setup, const StartTrace& reference, const ReferencePoints& points,
                      DeviceTracker* tracker, const CutJudge& judge,
                      const std::function<void(std::size_t done, std::size_t all)>& progress);

} // namespace hailpatch

#endif
