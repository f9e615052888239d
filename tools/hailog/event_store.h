// The finished events of a terminal, put in time order without holding
// them all: beyond a memory budget, events are sorted and written to a
// temporary file, and the files are merged when they are read back.
#ifndef HAILOG_EVENT_STORE_H
#define HAILOG_EVENT_STORE_H

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "summary.h"

namespace hailog {

class EventStore : public EventSink {
public:
    explicit EventStore(size_t memoryBudget = 16 << 20);
    ~EventStore() override;
    void Add(Event&& event, std::uint64_t order) override;
    void AddMoment(const Moment& moment, std::uint64_t order) override;
    // Every event in time order, ties in the order they were begun in.
    void Visit(const std::function<void(const Event&)>& visit);

    class Source;

private:
    using Item = std::pair<std::uint64_t, Event>;
    struct Held;
    void SortHeld();
    void WriteHeld();

    const size_t budget_;
    std::unique_ptr<Held> held_;
    size_t heldBytes_ = 0;
    std::vector<std::FILE*> runs_; // two for each run: moments, and the other events; each sorted
};

} // namespace hailog

#endif
