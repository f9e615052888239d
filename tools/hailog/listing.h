// The plain listing: every line in hour order, or the lines a filter keeps.
#ifndef HAILOG_LISTING_H
#define HAILOG_LISTING_H

#include <string>
#include <vector>

#include "filter.h"

namespace hailog {

struct ListOptions {
    std::vector<std::string> paths;
    Filter filter;
    bool follow = false;
    unsigned jobs = 1; // threads that read
};

// Without a filter each file is shown under its name with its lines as they
// stand; with one, each line kept is shown with its full date and time.
// --follow reads again every second and shows what was appended.
int List(const ListOptions& options);

} // namespace hailog

#endif
