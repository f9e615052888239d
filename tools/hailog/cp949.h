// The terminal writes its log in code page 949; this turns it into UTF-8.
#ifndef HAILOG_CP949_H
#define HAILOG_CP949_H

#include <string>

namespace hailog {

struct Decoded {
    std::string utf8;
    size_t badBytes = 0; // bytes that are not 949, each shown as '?'
};

// Also shows control characters other than the tab and the line feed as '?', so that no byte
// of a damaged file can steer the reader's terminal. Returns false with an
// empty result when the system has no 949 converter.
bool DecodeCp949(const std::string& cp949, Decoded& out);

} // namespace hailog

#endif
