// How far a reading has got, on tools::ProgressLine: files or terminals
// read, megabytes and their rate.
#ifndef HAILOG_PROGRESS_H
#define HAILOG_PROGRESS_H

#include <cstddef>
#include <string>

#include "progress_line.h"

namespace hailog {

class Progress {
public:
    // `total` things of the kind `what` ("files", "terminals") will be read.
    Progress(size_t total, const char* what) : total_(total), what_(what) {}
    // `things` more read, holding `bytes`.
    void Add(size_t things, size_t bytes);
    // Clears the line, so that the answer or a warning starts on a clean one.
    void Clear() { line_.Clear(); }

private:
    tools::ProgressLine line_;
    const size_t total_;
    const std::string what_;
    size_t done_ = 0, bytes_ = 0;
};

} // namespace hailog

#endif
