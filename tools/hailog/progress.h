// A one-line progress indicator on standard error, for readings that take
// more than a second, and only when standard error is a terminal: a script
// that pipes or keeps the output never sees it.
#ifndef HAILOG_PROGRESS_H
#define HAILOG_PROGRESS_H

#include <chrono>
#include <cstddef>
#include <string>

namespace hailog {

class Progress {
public:
    // `total` things of the kind `what` ("files", "terminals") will be read.
    Progress(size_t total, const char* what);
    ~Progress();
    // `things` more read, holding `bytes`.
    void Add(size_t things, size_t bytes);
    // Clears the line, so that the answer or a warning starts on a clean one.
    void Clear();

    static bool StderrIsTerminal();

private:
    using Clock = std::chrono::steady_clock;
    const bool enabled_;
    const size_t total_;
    const std::string what_;
    const Clock::time_point start_;
    Clock::time_point shown_;
    size_t done_ = 0, bytes_ = 0, width_ = 0;
};

} // namespace hailog

#endif
