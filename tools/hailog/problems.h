// Trouble with the input, one line each on standard error. Warnings let the
// reading go on; the exit status says whether there were any.
#ifndef HAILOG_PROBLEMS_H
#define HAILOG_PROBLEMS_H

#include <set>
#include <string>
#include <vector>

namespace hailog {

// Exit statuses of every verb.
enum ExitStatus {
    kClean = 0,      // everything read
    kWarnings = 1,   // read, but something was skipped, damaged or unfinished
    kWillNotWork = 2 // bad arguments, a path that does not exist, no log at all
};

class Progress;

class Problems {
public:
    Problems() = default;
    // Every line starts with `prefix` (a terminal's name) and is held, to
    // be written later in order (a fleet's terminals are read in parallel).
    explicit Problems(const std::string& prefix) : prefix_(prefix), hold_(true) {}
    const std::vector<std::string>& Held() const { return held_; }

    // A progress line shown is cleared before a warning is written.
    void ClearBeforeWarning(Progress* progress) { progress_ = progress; }
    // Says it once, however often the same trouble is met (--follow reads
    // the same files again every second).
    void Warn(const std::string& what);
    int Count() const { return count_; }

private:
    int count_ = 0;
    std::set<std::string> said_;
    Progress* progress_ = nullptr;
    std::string prefix_;
    bool hold_ = false;
    std::vector<std::string> held_;
};

} // namespace hailog

#endif
