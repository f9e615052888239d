#include "device_tracker.h"

#include <set>

#include "model_terminal.h"

namespace hailpatch {

namespace {

std::uint64_t Mix(std::uint64_t value)
{
    value ^= value >> 33;
    value *= 0xff51afd7ed558ccdULL;
    value ^= value >> 33;
    value *= 0xc4ceb9fe1a85ec53ULL;
    return value ^ (value >> 33);
}

// A path in a state, as one term of the device's fingerprint; nothing at a
// path counts for nothing, so untouched paths need no term.
std::uint64_t Term(const std::string& path, const host::PathState& state)
{
    if (!state.exists) {
        return 0;
    }
    std::uint64_t value = std::hash<std::string>()(path);
    value = Mix(value ^ state.hash);
    value = Mix(value ^ (state.size + (static_cast<std::uint64_t>(state.attributes) << 40) +
                         (state.folder ? 1ULL << 63 : 0)));
    return value;
}

} // namespace

host::PathState ExactState(const std::string& devicePath)
{
    if (ResolveDevicePath(host::Utf8ToCp949(devicePath)) != devicePath) {
        return host::PathState();
    }
    return host::StateOf(devicePath);
}

void DeviceTracker::Account(const std::string& path, const host::PathState& from, const host::PathState& to)
{
    if (!IsBookkeeping(path)) {
        fingerprint_ ^= Term(path, from) ^ Term(path, to);
    }
}

// A path changed several times since the last call is looked at once: each
// change's outcome is what the next one found, or what stands there now.
void DeviceTracker::CatchUp()
{
    std::size_t first = changes_.size();
    std::size_t length = host::JournalLength();
    if (first == length) {
        return;
    }
    std::map<std::string, host::PathState> current;
    for (std::size_t i = first; i < length; ++i) {
        const host::JournalEntry& entry = host::JournalAt(i);
        changes_.push_back({entry.devicePath, entry.before, host::PathState()});
        current.emplace(entry.devicePath, host::PathState());
    }
    for (auto& [path, state] : current) {
        state = ExactState(path);
    }
    std::map<std::string, std::size_t> last;
    for (std::size_t i = first; i < length; ++i) {
        auto previous = last.find(changes_[i].path);
        if (previous != last.end()) {
            changes_[previous->second].after = changes_[i].before;
        }
        last[changes_[i].path] = i;
    }
    for (const auto& [path, index] : last) {
        changes_[index].after = current[path];
    }
    for (std::size_t i = first; i < length; ++i) {
        const TrackedChange& change = changes_[i];
        Account(change.path, change.before, change.after);
        now_[change.path] = change.after;
    }
}

void DeviceTracker::UndoTo(std::size_t length)
{
    CatchUp();
    while (changes_.size() > length) {
        const TrackedChange& change = changes_.back();
        Account(change.path, change.after, change.before);
        now_[change.path] = change.before;
        changes_.pop_back();
    }
    host::UndoJournal(length);
}

std::uint64_t DeviceTracker::Fingerprint()
{
    CatchUp();
    return fingerprint_;
}

host::PathState DeviceTracker::Now(const std::string& path, bool* touched) const
{
    auto found = now_.find(path);
    *touched = found != now_.end();
    return *touched ? found->second : host::PathState();
}

} // namespace hailpatch
