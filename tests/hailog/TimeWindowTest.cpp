// --since and --until as a table: each form, read as a first second
// (--since) and a last second (--until), against a fixed now.
#include <gtest/gtest.h>

#include <cstdlib>

#include "time_window.h"

namespace hailog {
namespace {

// Tuesday, 2024-06-11 14:30:15.
const Seconds kNow = ToSeconds(2024, 6, 11, 14, 30, 15);

struct Case {
    const char* text;
    const char* since; // "" when the text is refused
    const char* until;
};

const Case kCases[] = {
    // A date is the whole day; a minute the whole minute; a second itself.
    {"2024-06-11", "2024-06-11 00:00:00", "2024-06-11 23:59:59"},
    {"2024-06-11 18:00", "2024-06-11 18:00:00", "2024-06-11 18:00:59"},
    {"2024-06-11T18:00", "2024-06-11 18:00:00", "2024-06-11 18:00:59"},
    {"2024-06-11 18:00:30", "2024-06-11 18:00:30", "2024-06-11 18:00:30"},
    {"2024-06-11T06:05:09", "2024-06-11 06:05:09", "2024-06-11 06:05:09"},
    {"2024-02-29", "2024-02-29 00:00:00", "2024-02-29 23:59:59"},
    {"2024-12-31 23:59", "2024-12-31 23:59:00", "2024-12-31 23:59:59"},
    // Relative to now, as a journal reader counts.
    {"now", "2024-06-11 14:30:15", "2024-06-11 14:30:15"},
    {"today", "2024-06-11 00:00:00", "2024-06-11 23:59:59"},
    {"yesterday", "2024-06-10 00:00:00", "2024-06-10 23:59:59"},
    {"tomorrow", "2024-06-12 00:00:00", "2024-06-12 23:59:59"},
    {"-2h", "2024-06-11 12:30:15", "2024-06-11 12:30:15"},
    {"-7d", "2024-06-04 14:30:15", "2024-06-04 14:30:15"},
    {"+30min", "2024-06-11 15:00:15", "2024-06-11 15:00:15"},
    {"-1h 30min", "2024-06-11 13:00:15", "2024-06-11 13:00:15"},
    {"-1h30m", "2024-06-11 13:00:15", "2024-06-11 13:00:15"},
    {"-2w", "2024-05-28 14:30:15", "2024-05-28 14:30:15"},
    {"-90", "2024-06-11 14:28:45", "2024-06-11 14:28:45"}, // seconds when it has no unit
    {"3 days ago", "2024-06-08 14:30:15", "2024-06-08 14:30:15"},
    {"2 hours ago", "2024-06-11 12:30:15", "2024-06-11 12:30:15"},
    {"10 min left", "2024-06-11 14:40:15", "2024-06-11 14:40:15"},
    // Refused: dates and times that do not exist, other shapes, zones.
    {"2023-02-29", "", ""},
    {"2024-04-31 10:00", "", ""},
    {"2024-06-11 24:00", "", ""},
    {"2024-06-11 10:60", "", ""},
    {"2024-06-11 10:00:60", "", ""},
    {"2024-6-11", "", ""},
    {"2024-06-11 10:00 ", "", ""},
    {"2024-06-11T10:00Z", "", ""},
    {"2024-06-11X10:00", "", ""},
    {"11.06.2024", "", ""},
    {"", "", ""},
    {"-", "", ""},
    {"-2 fortnights", "", ""},
    {"-h", "", ""},
    {"ago", "", ""},
    {"-9999999999d", "", ""},
    {"Yesterday", "", ""},
};

TEST(HailogTimeWindow, ReadsEachFormAsAFirstAndALastSecond)
{
    for (const Case& c : kCases) {
        const std::optional<Seconds> since = ParseBound(c.text, Bound::Since, kNow);
        const std::optional<Seconds> until = ParseBound(c.text, Bound::Until, kNow);
        EXPECT_EQ(since ? FormatTime(*since) : "", c.since) << '"' << c.text << '"';
        EXPECT_EQ(until ? FormatTime(*until) : "", c.until) << '"' << c.text << '"';
    }
}

TEST(HailogTimeWindow, CountsFromHailogNowWhenItIsSet)
{
    ::setenv("HAILOG_NOW", "2024-06-11T14:30:15", 1);
    EXPECT_EQ(Now(), kNow);
    ::setenv("HAILOG_NOW", "-2h", 1);
    EXPECT_FALSE(Now()) << "a relative now counts from nothing";
    ::unsetenv("HAILOG_NOW");
    ASSERT_TRUE(Now());
    EXPECT_GT(*Now(), ToSeconds(2020, 1, 1, 0, 0, 0));
}

TEST(HailogTimeWindow, ANightShiftMeetsTheWindowAcrossMidnight)
{
    TimeWindow night{ParseBound("2024-06-11 18:00", Bound::Since, kNow),
                     ParseBound("2024-06-12 06:00", Bound::Until, kNow)};
    const Seconds evening = ToSeconds(2024, 6, 11, 18, 0, 0), morning = ToSeconds(2024, 6, 12, 6, 0, 0);
    EXPECT_TRUE(night.Meets(evening, evening));
    EXPECT_TRUE(night.Meets(morning + 59, morning + 59));
    EXPECT_FALSE(night.Meets(morning + 60, morning + 3599));
    EXPECT_TRUE(night.Meets(evening - 3600, evening)); // a span whose last second is in
    EXPECT_FALSE(night.Meets(evening - 3600, evening - 1));
}

} // namespace
} // namespace hailog
