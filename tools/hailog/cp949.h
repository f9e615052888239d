// The terminal writes its log in code page 949; this turns it into UTF-8.
// Each two-byte character is looked up in a table that the system's own
// converter fills once (iconv on Linux, MultiByteToWideChar on Windows), so
// both builds read the same bytes the same way, at the speed of a copy.
#ifndef HAILOG_CP949_H
#define HAILOG_CP949_H

#include <string>

namespace hailog {

struct Decoded {
    std::string utf8;
    size_t badBytes = 0; // bytes that are not 949, each shown as '?'
};

// Also shows control characters other than the tab and the line feed as '?', so that no byte
// of a damaged file can steer the reader's terminal. A lead byte whose pair
// is no character is one bad byte, and the byte after it is read afresh.
// Returns false with an empty result when the system has no 949 converter.
bool DecodeCp949(const std::string& cp949, Decoded& out);

// The same, appended to `utf8`; adds the bad bytes to `badBytes`.
bool AppendCp949(const char* cp949, size_t size, std::string& utf8, size_t& badBytes);

// The system converter's UTF-8 for one two-byte character, or false when the
// pair is none (cp949_pair_posix.cpp, cp949_pair_win32.cpp). Called only
// while the table is filled.
bool ConvertCp949Pair(unsigned char lead, unsigned char trail, std::string& utf8);
// False when the system has no 949 converter at all.
bool HaveCp949Converter();

} // namespace hailog

#endif
