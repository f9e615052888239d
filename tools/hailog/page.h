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
#include "summary_output.h"

namespace hailog {

// Takes a period's events as they are read: the summary beneath the
// timeline at once, as `hailog summary` does; the marks need them in time
// order, and have them from the event store once all are read.
class Page : public EventSink {
public:
    explicit Page(const Hours& hours);
    void Add(Event&& event, std::uint64_t order) override;
    void AddMoment(const Moment& moment, std::uint64_t order) override;
    // `terminal` names the terminal in the title and heading; empty: none.
    void Write(const std::string& terminal, std::ostream& out);

private:
    const Hours hours_;
    TextSummary summary_;
    EventStore events_;
};

} // namespace hailog

#endif
