#include "clock.h"

#include <cctype>
#include <charconv>
#include <cstdio>

namespace hailog {
namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
long long DaysFromCivil(int year, int month, int day)
{
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yearOfEra = year - era * 400;
    const long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(long long days, int& year, int& month, int& day)
{
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2));
}

struct Civil {
    int year, month, day, hour, minute, second;
};

Civil CivilOf(Seconds time)
{
    long long days = time / 86400;
    long long rest = time % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    // Times come a day at a time: the date of the last day is kept.
    thread_local long long lastDays = 0;
    thread_local Civil lastDate{1970, 1, 1, 0, 0, 0};
    if (days != lastDays) {
        CivilFromDays(days, lastDate.year, lastDate.month, lastDate.day);
        lastDays = days;
    }
    Civil civil = lastDate;
    civil.hour = static_cast<int>(rest / 3600);
    civil.minute = static_cast<int>(rest / 60 % 60);
    civil.second = static_cast<int>(rest % 60);
    return civil;
}

} // namespace

Seconds ToSeconds(int year, int month, int day, int hour, int minute, int second)
{
    return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

// Written digit by digit: a month of logs can hold millions of times.
void AppendTime(std::string& out, Seconds time)
{
    const Civil c = CivilOf(time);
    if (c.year < 0 || c.year > 9999) {
        char text[48];
        std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour,
                      c.minute, c.second);
        out += text;
        return;
    }
    char text[19];
    const int fields[] = {c.month, c.day, c.hour, c.minute, c.second};
    text[0] = static_cast<char>('0' + c.year / 1000);
    text[1] = static_cast<char>('0' + c.year / 100 % 10);
    text[2] = static_cast<char>('0' + c.year / 10 % 10);
    text[3] = static_cast<char>('0' + c.year % 10);
    const char separators[] = "-- ::";
    for (int i = 0; i < 5; ++i) {
        text[4 + 3 * i] = separators[i];
        text[5 + 3 * i] = static_cast<char>('0' + fields[i] / 10);
        text[6 + 3 * i] = static_cast<char>('0' + fields[i] % 10);
    }
    out.append(text, sizeof(text));
}

std::string FormatTime(Seconds time)
{
    std::string text;
    AppendTime(text, time);
    return text;
}

std::string FormatMinute(Seconds time)
{
    return FormatTime(time).substr(0, 16);
}

namespace {

void AppendNumber(std::string& out, long long value)
{
    char digits[24];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof(digits), value);
    out.append(digits, end.ptr);
}

} // namespace

void AppendDuration(std::string& out, Seconds duration)
{
    const long long hours = duration / 3600, minutes = duration / 60 % 60, seconds = duration % 60;
    if (hours > 0) {
        AppendNumber(out, hours);
        out += " h ";
    }
    if (hours > 0 || minutes > 0) {
        AppendNumber(out, minutes);
        out += " min ";
    }
    AppendNumber(out, seconds);
    out += " s";
}

std::string FormatDuration(Seconds duration)
{
    std::string text;
    AppendDuration(text, duration);
    return text;
}

std::optional<Seconds> ParseMinute(const std::string& text)
{
    static const char kShape[] = "0000-00-00 00:00";
    if (text.size() != sizeof(kShape) - 1)
        return std::nullopt;
    for (size_t i = 0; i < text.size(); ++i)
        if (kShape[i] == '0' ? !std::isdigit(static_cast<unsigned char>(text[i])) : text[i] != kShape[i])
            return std::nullopt;
    const int year = std::stoi(text.substr(0, 4)), month = std::stoi(text.substr(5, 2)),
              day = std::stoi(text.substr(8, 2)), hour = std::stoi(text.substr(11, 2)),
              minute = std::stoi(text.substr(14, 2));
    const Seconds time = ToSeconds(year, month, day, hour, minute, 0);
    // A date that does not exist (31 April) comes back as another one.
    const Civil back = CivilOf(time);
    if (back.year != year || back.month != month || back.day != day || hour > 23 || minute > 59)
        return std::nullopt;
    return time;
}

} // namespace hailog
