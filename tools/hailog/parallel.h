// Work spread over threads, its results taken in order.
#ifndef HAILOG_PARALLEL_H
#define HAILOG_PARALLEL_H

#include <cstddef>
#include <functional>

namespace hailog {

// Runs work(i) for every i below `count` on up to `jobs` threads, and
// consume(i) on the calling thread in the order of i, each once its work is
// done. work(i) starts only once consume(i - window) has returned, so at
// most `window` results wait at any time: a slot i % window is free for it.
// An exception from work(i) comes out of the consume(i) call's place.
void RunOrdered(size_t count, unsigned jobs, size_t window, const std::function<void(size_t)>& work,
                const std::function<void(size_t)>& consume);

// The cores of this machine (parallel_posix.cpp); 1 where threads are not
// built (parallel_win32.cpp).
unsigned DefaultJobs();

} // namespace hailog

#endif
