#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "parallel.h"

namespace hailog {
namespace {

class OrderedRun {
public:
    OrderedRun(size_t count, size_t window, const std::function<void(size_t)>& work)
        : count_(count), window_(window), work_(work), done_(count, 0), errors_(count)
    {
    }

    void Work()
    {
        for (;;) {
            size_t i;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                workers_.wait(lock, [&] { return next_ >= count_ || next_ < consumed_ + window_; });
                if (next_ >= count_)
                    return;
                i = next_++;
            }
            try {
                work_(i);
            } catch (...) {
                errors_[i] = std::current_exception();
            }
            std::lock_guard<std::mutex> lock(mutex_);
            done_[i] = 1;
            consumer_.notify_one();
        }
    }

    void Consume(const std::function<void(size_t)>& consume)
    {
        for (size_t i = 0; i < count_; ++i) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                consumer_.wait(lock, [&] { return done_[i] != 0; });
            }
            if (errors_[i])
                std::rethrow_exception(errors_[i]);
            consume(i);
            std::lock_guard<std::mutex> lock(mutex_);
            consumed_ = i + 1;
            workers_.notify_all();
        }
    }

    // Lets the workers end when the consumer stops early on an exception.
    void Stop()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        next_ = count_;
        workers_.notify_all();
    }

private:
    const size_t count_, window_;
    const std::function<void(size_t)>& work_;
    std::mutex mutex_;
    std::condition_variable workers_, consumer_;
    size_t next_ = 0, consumed_ = 0;
    std::vector<char> done_;
    std::vector<std::exception_ptr> errors_;
};

} // namespace

void RunOrdered(size_t count, unsigned jobs, size_t window, const std::function<void(size_t)>& work,
                const std::function<void(size_t)>& consume)
{
    if (jobs <= 1 || count <= 1) {
        for (size_t i = 0; i < count; ++i) {
            work(i);
            consume(i);
        }
        return;
    }
    OrderedRun run(count, window < 1 ? 1 : window, work);
    std::vector<std::thread> threads;
    for (unsigned j = 0; j < jobs && j < count; ++j)
        threads.emplace_back([&run] { run.Work(); });
    std::exception_ptr failure;
    try {
        run.Consume(consume);
    } catch (...) {
        failure = std::current_exception();
        run.Stop();
    }
    for (std::thread& thread : threads)
        thread.join();
    if (failure)
        std::rethrow_exception(failure);
}

unsigned DefaultJobs()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : cores;
}

} // namespace hailog
