#include "lost_clock.h"

#include <algorithm>

namespace hailog {

namespace {

// Asked of every line: worked out once.
const Seconds kDefaultDate = ToSeconds(2000, 1, 1, 0, 0, 0);
const Seconds kNextYear = ToSeconds(2001, 1, 1, 0, 0, 0);

} // namespace

bool IsClockLostHour(Seconds hour)
{
    return hour >= kDefaultDate && hour < kNextYear;
}

void LostClockTally::Take(const LogLine& line)
{
    if (tally_.lines == 0) {
        tally_.firstFile = FileNameOfHour(line.hour);
        firstTime_ = line.Time();
    }
    if (tally_.lines == 0 || line.hour != lastHour_)
        ++tally_.files;
    ++tally_.lines;
    lastHour_ = line.hour;
    tally_.lastFile = FileNameOfHour(line.hour);
    // Several episodes share the files: the latest time logged is the end.
    lastTime_ = std::max(lastTime_, line.Time());
    if (IsStartBanner(line))
        ++tally_.starts;
    else if (tally_.starts == 0 && line.Parsed() && !IsRule(line))
        beforeFirstStart_ = true;
}

long long LostClockTally::Episodes() const
{
    return tally_.starts + (beforeFirstStart_ ? 1 : 0);
}

Event LostClockTally::ToEvent(long long placed) const
{
    Event event;
    event.kind = EventKind::ClockLostLines;
    event.time = firstTime_;
    event.end = std::max(lastTime_, firstTime_);
    event.lost = tally_;
    event.lost.starts = Episodes();
    event.lost.unplaced = std::max(0LL, Episodes() - placed);
    return event;
}

} // namespace hailog
