// One line of a terminal's log, read once into its fields. The file's name
// gives the date and hour; the line itself only "MM:SS [K] " and a message
// that mostly reads "<I> Function[number] text".
#ifndef HAILOG_LOG_LINE_H
#define HAILOG_LOG_LINE_H

#include <string>
#include <string_view>

#include "clock.h"

namespace hailog {

struct LogLine {
    Seconds hour = 0;     // the start of the file's hour
    int minute = -1;      // -1: the line is not in the log's form
    int second = -1;
    // Views into the bytes the line was read from, in code page 949 (its
    // form is ASCII), which must outlive the line: a day's lines are never
    // copied one by one. Utf8Of decodes what is shown.
    std::string_view tag;      // "<I>", "<E>", or empty
    std::string_view function; // "CheckApp", "CPatchList::RM", or empty
    int number = -1;           // the message's number, -1 when it has none
    std::string_view text;     // the rest of the message
    std::string_view raw;      // the whole line as it stands, no line end

    bool Parsed() const { return minute >= 0; }
    // The line's time; the hour's start for a line not in the log's form.
    Seconds Time() const { return Parsed() ? hour + minute * 60 + second : hour; }
    // The function's own name: "RM" for "CPatchList::RM".
    std::string_view ShortFunction() const;
};

// `text` is one line without its line end, in 949 (or UTF-8, whose form
// is the same); the line refers to it.
LogLine ParseLine(std::string_view text, Seconds hour);

// 949 as the PC's native layer shows it (platform/host/native.h): UTF-8, a
// byte that starts no character, or a control, as \xNN.
std::string Utf8Of(std::string_view cp949);
void AppendUtf8Of(std::string& utf8, std::string_view cp949);
// How many bytes the character at `at` takes: 2 for a pair that is a
// character, 1 for anything else (as Utf8Of reads it).
size_t CharLength(std::string_view cp949, size_t at);

// The line, decoded from 949, with its full date and time in place of
// "MM:SS"; a line not in the log's form gets its hour and "??:??".
std::string WithFullTime(const LogLine& line);

// The lines of the supervisor's banners: a rule of '#' alone (above and
// below each banner and ignition line), the start banner, the end banner.
bool IsRule(const LogLine& line);
bool IsStartBanner(const LogLine& line);
bool IsEndBanner(const LogLine& line);

} // namespace hailog

#endif
