// The Windows build reads in one thread: its compiler's runtime has no
// std::thread, and one engineer's SD card is small beside a fleet's logs.
#include "parallel.h"

namespace hailog {

void RunOrdered(size_t count, unsigned, size_t, const std::function<void(size_t)>& work,
                const std::function<void(size_t)>& consume)
{
    for (size_t i = 0; i < count; ++i) {
        work(i);
        consume(i);
    }
}

unsigned DefaultJobs() { return 1; }

} // namespace hailog
