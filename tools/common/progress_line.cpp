#include "progress_line.h"

#include <iostream>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tools {
namespace {

const auto kQuiet = std::chrono::seconds(1);          // nothing for work this short
const auto kEvery = std::chrono::milliseconds(250);   // redrawn no more often

} // namespace

bool ProgressLine::StderrIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

ProgressLine::ProgressLine() : enabled_(StderrIsTerminal()), start_(Clock::now()), shown_(start_) {}

bool ProgressLine::Due() const
{
    Clock::time_point now = Clock::now();
    return enabled_ && now - start_ >= kQuiet && now - shown_ >= kEvery;
}

void ProgressLine::Show(const std::string& text)
{
    shown_ = Clock::now();
    std::string line = text;
    if (line.size() < width_) {
        line.append(width_ - line.size(), ' ');
    }
    width_ = text.size();
    std::cerr << '\r' << line << std::flush;
}

void ProgressLine::Clear()
{
    if (width_ == 0) {
        return;
    }
    std::cerr << '\r' << std::string(width_, ' ') << '\r' << std::flush;
    width_ = 0;
}

double ProgressLine::Elapsed() const
{
    return std::chrono::duration<double>(Clock::now() - start_).count();
}

} // namespace tools
