// The summary written out: aligned text for a terminal, or one JSON object
// a line per event for a fleet's own pipeline.
#ifndef HAILOG_SUMMARY_OUTPUT_H
#define HAILOG_SUMMARY_OUTPUT_H

#include <nlohmann/json.hpp>

#include <ostream>

#include "summary.h"

namespace hailog {

void WriteText(const Summary& summary, std::ostream& out);
void WriteJsonLines(const Summary& summary, std::ostream& out);

// One event as JSON: kind, time, and the fields of its kind; `withLines`
// adds the log lines it rests on.
nlohmann::ordered_json EventToJson(const Event& event, bool withLines);
const char* KindName(EventKind kind);
// JSON text that cannot end a <script> element early.
std::string DumpJson(const nlohmann::ordered_json& value);

} // namespace hailog

#endif
