// The summary written out: aligned text for a terminal, or one JSON object
// a line per event for a fleet's own pipeline.
#ifndef HAILOG_SUMMARY_OUTPUT_H
#define HAILOG_SUMMARY_OUTPUT_H

#include <nlohmann/json.hpp>

#include <ostream>

#include "spill.h"
#include "summary.h"

namespace hailog {

// The aligned text, built from events in time order: each part is kept (in
// memory, or a temporary file when long) until all are written in turn.
class TextSummary {
public:
    explicit TextSummary(const Hours& hours);
    void Add(const Event& event);
    void Write(std::ostream& out);

private:
    void Section(std::ostream& out, const char* title, Spill& lines);
    void WriteRestarts(std::ostream& out);

    Hours hours_;
    Spill runs_, restarts_[4], ignition_, navigation_, updates_, rollbacks_, buildOption_, noFile_, unparsed_;
};

void WriteText(const Summary& summary, std::ostream& out);
void WriteJsonLines(const Summary& summary, std::ostream& out);
void WriteJsonLine(const Event& event, std::ostream& out);

// One event as JSON: kind, time, and the fields of its kind; `withLines`
// adds the log lines it rests on.
nlohmann::ordered_json EventToJson(const Event& event, bool withLines);
const char* KindName(EventKind kind);
// JSON text that cannot end a <script> element early.
std::string DumpJson(const nlohmann::ordered_json& value);

} // namespace hailog

#endif
