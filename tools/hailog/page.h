// A period of a terminal's log on one self-contained page: a timeline with a
// lane for the ignition, one for the supervisor's runs, one per watched
// application and lanes for the navigation application and the start-up
// updates, each event a mark that shows its log lines when hovered, and the
// summary beneath. No file and no script comes from anywhere else.
#ifndef HAILOG_PAGE_H
#define HAILOG_PAGE_H

#include <ostream>

#include "summary.h"

namespace hailog {

void WritePage(const Summary& summary, std::ostream& out);

} // namespace hailog

#endif
