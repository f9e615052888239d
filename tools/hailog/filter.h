// Which lines the listing shows: by number, function, the error tag and time.
#ifndef HAILOG_FILTER_H
#define HAILOG_FILTER_H

#include <optional>
#include <string>
#include <vector>

#include "log_line.h"
#include "time_window.h"

namespace hailog {

struct Filter {
    std::vector<int> numbers;  // any of them
    std::string function;      // "CPatchList::RM", or only "RM"
    bool errorsOnly = false;   // tag <E>
    TimeWindow window;         // lines from its first second to its last

    bool Any() const;
    // A line not in the log's form has no fields: a field test leaves it out,
    // and it counts as lying anywhere in its file's hour.
    bool Accepts(const LogLine& line) const;
};

} // namespace hailog

#endif
