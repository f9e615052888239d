// The period every verb reads, from --since and --until, in the forms a
// journal reader takes: a date, a date and time (with a space or ISO 8601's
// T), and times relative to now ("today", "yesterday", "-2h", "3 days ago").
// Times are the terminal's own local time, as in its log.
#ifndef HAILOG_TIME_WINDOW_H
#define HAILOG_TIME_WINDOW_H

#include <optional>
#include <string>

#include "clock.h"

namespace hailog {

struct TimeWindow {
    std::optional<Seconds> since; // the first second read
    std::optional<Seconds> until; // the last second read

    bool Any() const { return since || until; }
    // Whether the seconds first .. last (both included) meet the window.
    bool Meets(Seconds first, Seconds last) const
    {
        return !(since && last < *since) && !(until && first > *until);
    }
};

enum class Bound { Since, Until };

// The first second of what `text` names for --since, or its last second for
// --until: "2024-06-11" is the whole day, "2024-06-11 18:00" the whole
// minute, "now" and relative times ("-2h", "+30min", "2 hours ago") one
// second; "today", "yesterday" and "tomorrow" are days. Nothing when the
// text is none of these or names a date that does not exist.
std::optional<Seconds> ParseBound(const std::string& text, Bound bound, Seconds now);

// What the forms above look like, for messages.
extern const char kTimeForms[];

// The moment relative times count from: HAILOG_NOW when set (any absolute
// form above, read to the second), otherwise this PC's clock in its local
// time, which is taken to be the terminals' own. Nothing when HAILOG_NOW is
// set to something else.
std::optional<Seconds> Now();

} // namespace hailog

#endif
