// The terminal writes its log in code page 949; this turns it into UTF-8.
// Each two-byte character is looked up in a table that the system's own
// converter fills once (iconv on Linux, MultiByteToWideChar on Windows), so
// both builds read the same bytes the same way, at the speed of a copy.
// The log's own form (times, tags, functions, numbers) is ASCII, which 949
// keeps as it is and never uses inside a character for a digit, a space or
// a bracket: so lines are read in 949, and only what is shown is decoded.
#ifndef HAILOG_CP949_H
#define HAILOG_CP949_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hailog {

// Appends the UTF-8 of `size` bytes of 949 to `utf8`, and adds the bytes
// that are not 949 to `badBytes`, each shown as '?'. Also shows control
// characters other than the tab and the line feed as '?', so that no byte
// of a damaged file can steer the reader's terminal. A lead byte whose pair
// is no character is one bad byte, and the byte after it is read afresh.
// Returns false, appending nothing, when the system has no 949 converter.
bool AppendCp949(const char* cp949, size_t size, std::string& utf8, size_t& badBytes);

// The same, for text that is known to be 949's.
void AppendUtf8Of(std::string& utf8, std::string_view cp949);
std::string Utf8Of(std::string_view cp949);

// How many bytes the character at `at` takes: 2 for a pair that is a
// character, 1 for anything else (as AppendCp949 reads it).
size_t Cp949CharLength(std::string_view cp949, size_t at);

// A block of the log's lines in one pass: the offset of each line feed is
// noted in `lineEnds`, and the bytes that are not 949 (as AppendCp949 counts
// them) are added to `badBytes`. False when the system has no 949 converter.
bool ScanLogLines(const char* cp949, size_t size, std::vector<std::uint32_t>& lineEnds, size_t& badBytes);

// The system converter's UTF-8 for one two-byte character, or false when the
// pair is none (cp949_pair_posix.cpp, cp949_pair_win32.cpp). Called only
// while the table is filled.
bool ConvertCp949Pair(unsigned char lead, unsigned char trail, std::string& utf8);
// False when the system has no 949 converter at all.
bool HaveCp949Converter();

} // namespace hailog

#endif
