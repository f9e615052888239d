// A message read back through the printf format the terminal wrote it
// with: "%s" stands for any text, "%d" for a number, every other byte for
// itself. One format is one truth: the reader never keeps a second copy of
// a message's words.
#ifndef HAILOG_MESSAGE_FORMAT_H
#define HAILOG_MESSAGE_FORMAT_H

#include <string_view>

namespace hailog {

// The fields of one message, in order; views into the text read.
struct MessageFields {
    static const size_t kMost = 4;
    std::string_view field[kMost];
    size_t count = 0;
};

// `text` is a line's message past its tag, function and number
// (LogLine::text); `format` is the whole format, whose head ("%s %s[%d] ",
// or "%s " for a line with a tag only) and "\r\n" the text does not hold.
// False when the text is not of the format. A "%s" is tried at each place
// the text after it could begin, a bounded number of times in all.
bool ReadMessage(std::string_view text, std::string_view format, MessageFields& fields);

} // namespace hailog

#endif
