#include "log_line.h"

#include "log/LogCatalogue.h"
#include "message_format.h"
#include "platform/host/native.h"

#include <algorithm>
#include <cstring>

namespace hailog {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Letters, digits, '_' and ':' (of "CPatchList::RM"), in ASCII only: a
// table, since every line's function is read through it.
struct NameChars {
    bool of[256] = {};
    NameChars()
    {
        for (int c = 0; c < 256; ++c)
            of[c] = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
    }
};
const NameChars kNameChars;

bool IsNameChar(char c) { return kNameChars.of[static_cast<unsigned char>(c)]; }

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

LogLine ParseLine(std::string_view bytes, Seconds hour)
{
    LogLine line;
    line.hour = hour;
    line.raw = bytes;
    static const std::string_view kMark = LOG_STAMP_MARK;
    if (bytes.size() < 10 || bytes[2] != ':' || bytes.substr(5, 5) != kMark)
        return line;
    const int minute = TwoDigits(bytes, 0, 60), second = TwoDigits(bytes, 3, 60);
    if (minute < 0 || second < 0)
        return line;
    line.minute = minute;
    line.second = second;
    size_t at = 10;
    const std::string_view tag = bytes.substr(at, 3);
    if (tag == "<I>" || tag == "<E>") {
        line.tag = tag;
        at += 3;
        if (at < bytes.size() && bytes[at] == ' ')
            ++at;
    }
    TakeFunction(bytes, at, line);
    line.text = bytes.substr(at);
    return line;
}

bool IsRule(const LogLine& line)
{
    // The log's rules are 63 and 64 long; longer ones are read a piece at a time.
    static const std::string kRules(128, '#');
    if (!line.tag.empty() || !line.function.empty() || line.text.empty() || line.text[0] != '#')
        return false;
    for (size_t at = 0; at < line.text.size(); at += kRules.size()) {
        const size_t piece = std::min(kRules.size(), line.text.size() - at);
        if (std::memcmp(line.text.data() + at, kRules.data(), piece) != 0)
            return false;
    }
    return true;
}

// A banner is the whole line: a longer one is no banner of the supervisor's.
bool IsBanner(const LogLine& line, std::string_view banner)
{
    MessageFields none;
    return line.tag == LOG_INFO && line.function.empty() && ReadMessage(line.text, banner, none);
}

bool IsStartBanner(const LogLine& line) { return IsBanner(line, LOG_START_BANNER); }

bool IsEndBanner(const LogLine& line) { return IsBanner(line, LOG_END_BANNER); }

std::string Utf8Of(std::string_view cp949)
{
    std::string utf8;
    AppendUtf8Of(utf8, cp949);
    return utf8;
}

void AppendUtf8Of(std::string& utf8, std::string_view cp949)
{
    host::native::AppendCp949Shown(cp949.data(), cp949.size(), &utf8);
}

size_t CharLength(std::string_view cp949, size_t at)
{
    return at + 1 < cp949.size() && host::native::IsCp949Pair(static_cast<unsigned char>(cp949[at]),
                                                              static_cast<unsigned char>(cp949[at + 1]))
               ? 2
               : 1;
}

std::string WithFullTime(const LogLine& line)
{
    if (!line.Parsed())
        return FormatTime(line.hour).substr(0, 14) + "??:?? " + Utf8Of(line.raw);
    return FormatTime(line.Time()) + Utf8Of(line.raw.substr(5));
}

} // namespace hailog
