// Trouble with the input, one line each on standard error. Warnings let the
// reading go on; the exit status says whether there were any.
#ifndef HAILOG_PROBLEMS_H
#define HAILOG_PROBLEMS_H

#include <set>
#include <string>

namespace hailog {

// Exit statuses of every verb.
enum ExitStatus {
    kClean = 0,      // everything read
    kWarnings = 1,   // read, but something was skipped, damaged or unfinished
    kWillNotWork = 2 // bad arguments, a path that does not exist, no log at all
};

class Problems {
public:
    // Says it once, however often the same trouble is met (--follow reads
    // the same files again every second).
    void Warn(const std::string& what);
    int Count() const { return count_; }

private:
    int count_ = 0;
    std::set<std::string> said_;
};

} // namespace hailog

#endif
