// A terminal's lines summarised in memory, as the tool's outputs take them:
// the events in time order (as --json lists them), the text fed as the
// lines are read. And the test's own text turned into the terminal's bytes.
#ifndef HAILOG_TESTS_SUMMARISED_H
#define HAILOG_TESTS_SUMMARISED_H

#include <string>
#include <vector>

#include "summary.h"

namespace hailog {

std::vector<Event> Summarise(const std::vector<LogFile>& files, const std::vector<LogLine>& lines,
                             bool keepLines = true);
std::string TextOf(const std::vector<LogFile>& files, const std::vector<LogLine>& lines);
std::string JsonLinesOf(const std::vector<Event>& events);

// UTF-8 written in a test, as the terminal writes it: code page 949.
std::string ToCp949(const std::string& utf8);

// 949 decoded whole, and the bytes that were not 949.
struct Decoded {
    std::string utf8;
    size_t badBytes = 0;
};
bool DecodeCp949(const std::string& cp949, Decoded& out);

} // namespace hailog

#endif
