#include "log_line.h"

#include <cctype>

namespace hailog {
namespace {

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

bool IsNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == ':';
}

// "NN" below `limit` at `at`.
int TwoDigits(std::string_view text, size_t at, int limit)
{
    if (!IsDigit(text[at]) || !IsDigit(text[at + 1]))
        return -1;
    const int value = (text[at] - '0') * 10 + (text[at + 1] - '0');
    return value < limit ? value : -1;
}

// "Name[123]" followed by a space or the end: the function and the number.
bool TakeFunction(std::string_view text, size_t& at, LogLine& line)
{
    size_t end = at;
    while (end < text.size() && IsNameChar(text[end]))
        ++end;
    if (end == at || end >= text.size() || text[end] != '[')
        return false;
    size_t digits = end + 1;
    size_t close = digits;
    while (close < text.size() && IsDigit(text[close]) && close - digits < 9)
        ++close;
    if (close == digits || close >= text.size() || text[close] != ']')
        return false;
    if (close + 1 < text.size() && text[close + 1] != ' ')
        return false;
    line.function = text.substr(at, end - at);
    int number = 0;
    for (size_t i = digits; i < close; ++i)
        number = number * 10 + (text[i] - '0');
    line.number = number;
    at = close + 1 < text.size() ? close + 2 : close + 1;
    return true;
}

} // namespace

std::string_view LogLine::ShortFunction() const
{
    const size_t colons = function.rfind("::");
    return colons == std::string::npos ? function : function.substr(colons + 2);
}

LogLine ParseLine(std::string_view utf8, Seconds hour)
{
    LogLine line;
    line.hour = hour;
    line.raw = utf8;
    static const std::string_view kMark = " [K] ";
    if (utf8.size() < 10 || utf8[2] != ':' || utf8.substr(5, 5) != kMark)
        return line;
    const int minute = TwoDigits(utf8, 0, 60), second = TwoDigits(utf8, 3, 60);
    if (minute < 0 || second < 0)
        return line;
    line.minute = minute;
    line.second = second;
    size_t at = 10;
    const std::string_view tag = utf8.substr(at, 3);
    if (tag == "<I>" || tag == "<E>") {
        line.tag = tag;
        at += 3;
        if (at < utf8.size() && utf8[at] == ' ')
            ++at;
    }
    TakeFunction(utf8, at, line);
    line.text = utf8.substr(at);
    return line;
}

bool IsRule(const LogLine& line)
{
    return line.tag.empty() && line.function.empty() && !line.text.empty() &&
           line.text.find_first_not_of('#') == std::string::npos;
}

bool IsStartBanner(const LogLine& line)
{
    return line.tag == "<I>" && line.function.empty() && line.text.find("Hailwatch Start") != std::string::npos;
}

bool IsEndBanner(const LogLine& line)
{
    return line.tag == "<I>" && line.function.empty() && line.text.find("Hailwatch End") != std::string::npos;
}

std::string WithFullTime(const LogLine& line)
{
    if (!line.Parsed())
        return FormatTime(line.hour).substr(0, 14) + "??:?? " + std::string(line.raw);
    return FormatTime(line.Time()) + std::string(line.raw.substr(5));
}

} // namespace hailog
