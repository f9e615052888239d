// Times of the terminal's log, as seconds counted from 1970-01-01 00:00 of
// the terminal's own local time: the log knows no time zone, and the
// terminal never changes its clock for daylight saving.
#ifndef HAILOG_CLOCK_H
#define HAILOG_CLOCK_H

#include <optional>
#include <string>

namespace hailog {

using Seconds = long long;

Seconds ToSeconds(int year, int month, int day, int hour, int minute, int second);
// "YYYY-MM-DD HH:MM:SS".
std::string FormatTime(Seconds time);
// The same, appended: no string of its own for each of millions of times.
void AppendTime(std::string& out, Seconds time);
// "YYYY-MM-DD HH:MM".
std::string FormatMinute(Seconds time);
// "2 h 5 min 3 s", "40 s".
std::string FormatDuration(Seconds duration);
void AppendDuration(std::string& out, Seconds duration);
// "YYYY-MM-DD HH:MM" with a real date, or nothing.
std::optional<Seconds> ParseMinute(const std::string& text);

} // namespace hailog

#endif
