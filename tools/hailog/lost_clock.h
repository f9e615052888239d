// A terminal whose clock is lost (its battery gone) comes up at the
// device's default date, 2000-01-01 00:00, and names its hourly files from
// there until the clock is set again; the next start with the clock still
// lost appends to the same files. Lines logged then have no time the log
// can tell, and the starts of several days share files, interleaved in the
// order they were written. hailog keeps them in the order of the file
// sequence (file names, then lines), out of the period, and places each
// episode where the rest of the log shows it: a run that carries on, with
// the clock set, without its start banner.
#ifndef HAILOG_LOST_CLOCK_H
#define HAILOG_LOST_CLOCK_H

#include "summary.h"

namespace hailog {

// Whether a file of this hour was named by a lost clock: any hour of the
// default date's year, which no fleet logs in.
bool IsClockLostHour(Seconds hour);

// Counts the lines logged at the default date, as they are read.
class LostClockTally {
public:
    void Take(const LogLine& line);
    bool Any() const { return tally_.lines > 0; }
    // Episodes: the starts of the supervisor among the lines, and one more
    // when lines come before the first (the clock went back while it ran).
    long long Episodes() const;
    // The event that tells them, with the episodes that were not placed.
    Event ToEvent(long long placed) const;

private:
    LostClockLines tally_;
    Seconds firstTime_ = 0, lastTime_ = 0, lastHour_ = 0;
    bool beforeFirstStart_ = false;
};

} // namespace hailog

#endif
