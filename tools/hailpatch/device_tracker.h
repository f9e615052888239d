// The model terminal's device as its change journal saw it change: what
// stands now at every path a change touched, and one fingerprint of the whole
// device, so that two moments of runs from the same device compare in
// constant time. The supervisor's own bookkeeping (its log, the list's
// progress record) is left out of the fingerprint: a start that resumes
// writes them differently and still leaves the same device.
#ifndef HAILPATCH_DEVICE_TRACKER_H
#define HAILPATCH_DEVICE_TRACKER_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "own_files.h"
#include "platform/host/host_control.h"

namespace hailpatch {

// One change of the journal, with what stood at its path before and after.
struct TrackedChange {
    std::string path;            // device path, UTF-8, spelled as on disk
    host::PathState before;
    host::PathState after;
};

class DeviceTracker {
public:
    // Takes in the journal's changes made since the last call.
    void CatchUp();
    // Undoes the journal back to `length` changes.
    void UndoTo(std::size_t length);
    std::uint64_t Fingerprint();
    std::size_t Length() const { return changes_.size(); }
    const TrackedChange& At(std::size_t index) const { return changes_.at(index); }
    // What stands at a path now, for a path a change touched (`touched`
    // false otherwise).
    host::PathState Now(const std::string& path, bool* touched) const;
    // Every path a change touched, with what stands there now.
    const std::map<std::string, host::PathState>& Touched() const { return now_; }

private:
    void Account(const std::string& path, const host::PathState& from, const host::PathState& to);

    std::vector<TrackedChange> changes_;
    std::map<std::string, host::PathState> now_;
    std::uint64_t fingerprint_ = 0;
};

// What stands at a device path, spelled exactly so: a file whose name differs
// in letter case is another name.
host::PathState ExactState(const std::string& devicePath);

} // namespace hailpatch

#endif
