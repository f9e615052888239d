#include "time_window.h"

#include <cctype>
#include <cstdlib>
#include <ctime>
#include <string_view>

namespace hailog {

const char kTimeForms[] = "\"YYYY-MM-DD\", \"YYYY-MM-DD HH:MM[:SS]\", \"YYYY-MM-DDTHH:MM[:SS]\", now, today, "
                          "yesterday, tomorrow, -2h, +30min, \"3 days ago\"";

namespace {

const Seconds kDay = 86400;
// Past this a relative time means nothing on a terminal's log.
const Seconds kLongestSpan = Seconds(10000) * 366 * kDay;

// A moment named to some precision: its first second and how many seconds
// it covers.
struct Named {
    Seconds first;
    Seconds span;
};

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// Digits at `at` .. at + count, as a number; -1 when any is not a digit.
int Digits(std::string_view text, size_t at, size_t count)
{
    int value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (i >= text.size() || !IsDigit(text[i]))
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// "YYYY-MM-DD", then optionally " HH:MM" or "THH:MM", then optionally ":SS".
std::optional<Named> ParseAbsolute(std::string_view text)
{
    const size_t size = text.size();
    if (size != 10 && size != 16 && size != 19)
        return std::nullopt;
    const int year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    int hour = 0, minute = 0, second = 0;
    Seconds span = kDay;
    if (size >= 16) {
        hour = Digits(text, 11, 2);
        minute = Digits(text, 14, 2);
        if ((text[10] != ' ' && text[10] != 'T') || text[13] != ':' || hour < 0 || hour > 23 || minute < 0 ||
            minute > 59)
            return std::nullopt;
        span = 60;
    }
    if (size == 19) {
        second = Digits(text, 17, 2);
        if (text[16] != ':' || second < 0 || second > 59)
            return std::nullopt;
        span = 1;
    }
    const Seconds first = ToSeconds(year, month, day, hour, minute, second);
    // A date that does not exist (31 April) comes back as another one.
    if (FormatTime(first).compare(0, 10, text.substr(0, 10)) != 0)
        return std::nullopt;
    return Named{first, span};
}

std::optional<Seconds> SecondsOfUnit(std::string_view unit)
{
    static const struct {
        const char* names[5];
        Seconds seconds;
    } kUnits[] = {
        {{"", "s", "sec", "second", "seconds"}, 1},
        {{"secs", nullptr}, 1},
        {{"m", "min", "mins", "minute", "minutes"}, 60},
        {{"h", "hr", "hour", "hours", nullptr}, 3600},
        {{"d", "day", "days", nullptr}, kDay},
        {{"w", "week", "weeks", nullptr}, 7 * kDay},
        // As systemd counts them: a month is 30.44 days, a year 365.25.
        {{"M", "month", "months", nullptr}, 2629800},
        {{"y", "year", "years", nullptr}, 31557600},
    };
    for (const auto& entry : kUnits)
        for (const char* name : entry.names)
            if (name && unit == name)
                return entry.seconds;
    return std::nullopt;
}

// "2h", "1h 30min", "3 days": pairs of a number and a unit (seconds when it
// has none).
std::optional<Seconds> ParseSpan(std::string_view text)
{
    Seconds total = 0;
    size_t at = 0;
    bool any = false;
    for (;;) {
        while (at < text.size() && text[at] == ' ')
            ++at;
        if (at == text.size())
            return any ? std::optional<Seconds>(total) : std::nullopt;
        const size_t digits = at;
        Seconds number = 0;
        while (at < text.size() && IsDigit(text[at]) && at - digits < 9)
            number = number * 10 + (text[at++] - '0');
        if (at == digits || (at < text.size() && IsDigit(text[at])))
            return std::nullopt;
        while (at < text.size() && text[at] == ' ')
            ++at;
        const size_t letters = at;
        while (at < text.size() && std::isalpha(static_cast<unsigned char>(text[at])))
            ++at;
        const std::optional<Seconds> unit = SecondsOfUnit(text.substr(letters, at - letters));
        if (!unit)
            return std::nullopt;
        total += number * *unit;
        if (total > kLongestSpan)
            return std::nullopt;
        any = true;
    }
}

bool EndsWith(std::string_view text, std::string_view end)
{
    return text.size() > end.size() && text.substr(text.size() - end.size()) == end;
}

// "-2h", "+30min", "2 hours ago", "5 min left": a second counted from now.
std::optional<Seconds> ParseRelative(std::string_view text, Seconds now)
{
    int sign = 0;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        sign = text[0] == '-' ? -1 : 1;
        text.remove_prefix(1);
    } else if (EndsWith(text, " ago")) {
        sign = -1;
        text.remove_suffix(4);
    } else if (EndsWith(text, " left")) {
        sign = 1;
        text.remove_suffix(5);
    }
    if (sign == 0)
        return std::nullopt;
    const std::optional<Seconds> span = ParseSpan(text);
    if (!span)
        return std::nullopt;
    return now + sign * *span;
}

std::optional<Named> ParseNamed(std::string_view text, Seconds now)
{
    const Seconds today = now - ((now % kDay) + kDay) % kDay;
    if (text == "now")
        return Named{now, 1};
    if (text == "today")
        return Named{today, kDay};
    if (text == "yesterday")
        return Named{today - kDay, kDay};
    if (text == "tomorrow")
        return Named{today + kDay, kDay};
    if (const std::optional<Seconds> relative = ParseRelative(text, now))
        return Named{*relative, 1};
    return ParseAbsolute(text);
}

Seconds LocalNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return ToSeconds(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                     local.tm_sec);
}

} // namespace

std::optional<Seconds> ParseBound(const std::string& text, Bound bound, Seconds now)
{
    const std::optional<Named> named = ParseNamed(text, now);
    if (!named)
        return std::nullopt;
    return bound == Bound::Since ? named->first : named->first + named->span - 1;
}

std::optional<Seconds> Now()
{
    const char* fixed = std::getenv("HAILOG_NOW");
    if (!fixed)
        return LocalNow();
    const std::optional<Named> named = ParseAbsolute(fixed);
    if (!named)
        return std::nullopt;
    return named->first;
}

} // namespace hailog
