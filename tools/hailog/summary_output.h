// The summary written out: aligned text for a terminal, or one JSON object
// a line per event for a fleet's own pipeline.
#ifndef HAILOG_SUMMARY_OUTPUT_H
#define HAILOG_SUMMARY_OUTPUT_H

#include <nlohmann/json.hpp>

#include <memory>
#include <ostream>

#include "spill.h"
#include "summary.h"

namespace hailog {

// The aligned text, built from events in time order: each part is kept (in
// memory, or a temporary file when long) until all are written in turn.
// Each part takes its events in the order the reader finishes them, which
// is their time order, so the reader can feed it straight.
class TextSummary : public EventSink {
public:
    // `allRestarts`: every restart's time, where more than a few are
    // otherwise folded into their count, first, last and busiest hour.
    explicit TextSummary(const Hours& hours, bool allRestarts = false);
    ~TextSummary() override;
    void Add(const Event& event);
    void Add(Event&& event, std::uint64_t) override { Add(static_cast<const Event&>(event)); }
    void AddMoment(const Moment& moment, std::uint64_t) override;
    void Write(std::ostream& out);

private:
    class Restarts;
    void Section(std::ostream& out, const char* title, Spill& lines);
    template <typename Format>
    void RecordSection(std::ostream& out, const char* title, Spill& records, const Format& format);
    void WriteRestarts(std::ostream& out);
    void WriteClockLost(std::ostream& out);
    void AddIgnitionOff(Seconds time, Seconds end, Ending ending);
    void AddNavigation(EventKind kind, Seconds time);
    void AddBuildOption(Seconds time, int error);

    Hours hours_;
    std::unique_ptr<Restarts> restarts_[4];
    Spill runs_, updates_, rollbacks_, noFile_, stopped_, clockLost_, unparsed_;
    Spill ignition_, navigation_, buildOption_; // records, as text only when written
    std::string lostLines_; // what the lines logged with the clock lost were
};

void WriteJsonLine(const Event& event, std::ostream& out);

// One event as JSON: kind, time, and the fields of its kind; `withLines`
// adds the log lines it rests on.
nlohmann::ordered_json EventToJson(const Event& event, bool withLines);
const char* KindName(EventKind kind);
// JSON text that cannot end a <script> element early.
std::string DumpJson(const nlohmann::ordered_json& value);

} // namespace hailog

#endif
