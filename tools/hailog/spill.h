// Bytes kept in memory up to a limit and in a temporary file beyond it, so
// that a part of the answer as long as the logs never fills the memory.
#ifndef HAILOG_SPILL_H
#define HAILOG_SPILL_H

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace hailog {

class Spill {
public:
    explicit Spill(size_t memoryLimit = 1 << 20);
    ~Spill();
    Spill(const Spill&) = delete;
    Spill& operator=(const Spill&) = delete;

    void Append(std::string_view bytes);
    size_t Size() const { return size_; }
    // Hands the bytes back in order, in pieces whose length is a multiple of
    // `record` (but the last), from the start.
    void ForEach(size_t record, const std::function<void(std::string_view)>& take);

private:
    const size_t limit_;
    std::string memory_;
    std::FILE* file_ = nullptr;
    size_t size_ = 0;
};

// A temporary file that goes when closed; throws when none can be made.
std::FILE* TemporaryFile();

} // namespace hailog

#endif
