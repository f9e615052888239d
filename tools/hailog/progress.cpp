#include "progress.h"

#include <cstdio>
#include <iostream>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace hailog {
namespace {

const auto kQuiet = std::chrono::seconds(1);          // nothing for a reading this short
const auto kEvery = std::chrono::milliseconds(250);   // redrawn no more often

} // namespace

bool Progress::StderrIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

Progress::Progress(size_t total, const char* what)
    : enabled_(StderrIsTerminal()), total_(total), what_(what), start_(Clock::now()), shown_(start_)
{
}

Progress::~Progress() { Clear(); }

void Progress::Add(size_t things, size_t bytes)
{
    done_ += things;
    bytes_ += bytes;
    if (!enabled_)
        return;
    const Clock::time_point now = Clock::now();
    if (now - start_ < kQuiet || now - shown_ < kEvery)
        return;
    shown_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double megabytes = bytes_ / 1e6;
    char line[160];
    std::snprintf(line, sizeof(line), "hailog: %zu of %zu %s read, %.1f MB, %.1f MB/s", done_, total_,
                  what_.c_str(), megabytes, megabytes / seconds);
    std::string text(line);
    const size_t width = text.size();
    if (text.size() < width_)
        text.append(width_ - text.size(), ' ');
    width_ = width;
    std::cerr << '\r' << text << std::flush;
}

void Progress::Clear()
{
    if (width_ == 0)
        return;
    std::cerr << '\r' << std::string(width_, ' ') << '\r' << std::flush;
    width_ = 0;
}

} // namespace hailog
