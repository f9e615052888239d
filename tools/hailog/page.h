// A period of a terminal's log on one self-contained page: a timeline with a
// lane for the ignition, one for the supervisor's runs, one per watched
// application and lanes for the navigation application and the start-up
// updates, each event a mark that shows its log lines when hovered, and the
// summary beneath. No file and no script comes from anywhere else. A period
// longer than a few days is drawn a day per row. Dense marks are gathered
// (see page_marks.h), so the page stays under 5 MB for any volume.
#ifndef HAILOG_PAGE_H
#define HAILOG_PAGE_H

#include <ostream>
#include <string>

#include "event_store.h"

namespace hailog {

// `terminal` names the terminal in the title and heading; empty: none.
void WritePage(const Hours& hours, EventStore& events, const std::string& terminal, std::ostream& out);

} // namespace hailog

#endif
