#include "progress.h"

#include <cstdio>

namespace hailog {

void Progress::Add(size_t things, size_t bytes)
{
    done_ += things;
    bytes_ += bytes;
    if (!line_.Due()) {
        return;
    }
    const double megabytes = bytes_ / 1e6;
    char text[160];
    std::snprintf(text, sizeof(text), "hailog: %zu of %zu %s read, %.1f MB, %.1f MB/s", done_, total_,
                  what_.c_str(), megabytes, megabytes / line_.Elapsed());
    line_.Show(text);
}

} // namespace hailog
