// One line of progress on standard error, redrawn in place, for work that
// takes more than a second, and only when standard error is a terminal: a
// script that pipes or keeps the output never sees it.
#ifndef HAILWATCH_TOOLS_PROGRESS_LINE_H
#define HAILWATCH_TOOLS_PROGRESS_LINE_H

#include <chrono>
#include <cstddef>
#include <string>

namespace tools {

class ProgressLine {
public:
    ProgressLine();
    ~ProgressLine() { Clear(); }
    // Whether a line is to be drawn now: the work has gone on for a second,
    // and the last line is a quarter of a second old.
    bool Due() const;
    void Show(const std::string& text);
    // Clears the line, so that the answer or a warning starts on a clean one.
    void Clear();
    // Seconds since the work began.
    double Elapsed() const;

    static bool StderrIsTerminal();

private:
    using Clock = std::chrono::steady_clock;
    const bool enabled_;
    const Clock::time_point start_;
    Clock::time_point shown_;
    std::size_t width_ = 0;
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;
};

} // namespace tools

#endif
