#include "message_format.h"

#include "log_line.h"

namespace hailog {
namespace {

const std::string_view kHead = "%s %s[%d] ";
const std::string_view kTagOnly = "%s ";
const std::string_view kLineEnd = "\r\n";
// Places tried for every "%s" of a message together: a line of the log is
// at most 1,023 bytes, and a text built to make the tries many still costs
// no more than this.
const int kMostTries = 256;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// What the text holds: the format past its head and without its line end.
std::string_view BodyOf(std::string_view format)
{
    if (format.substr(0, kHead.size()) == kHead)
        format.remove_prefix(kHead.size());
    else if (format.substr(0, kTagOnly.size()) == kTagOnly)
        format.remove_prefix(kTagOnly.size());
    if (format.size() >= kLineEnd.size() && format.substr(format.size() - kLineEnd.size()) == kLineEnd)
        format.remove_suffix(kLineEnd.size());
    return format;
}

class Reading {
public:
    Reading(std::string_view text, std::string_view format, MessageFields& fields)
        : text_(text), format_(format), fields_(fields)
    {
    }

    // Matches the text from `t` on against the format from `f` on, the
    // fields from `n` on.
    bool Match(size_t t, size_t f, size_t n)
    {
        while (f < format_.size()) {
            if (format_[f] != '%' || f + 1 == format_.size() || format_[f + 1] == '%') {
                if (t == text_.size() || text_[t] != format_[f])
                    return false;
                f += format_[f] == '%' ? 2 : 1;
                ++t;
                continue;
            }
            if (n == MessageFields::kMost)
                return false;
            if (format_[f + 1] == 's')
                return MatchText(t, f + 2, n);
            if (format_[f + 1] != 'd' || !TakeNumber(t, n))
                return false;
            f += 2;
            ++n;
        }
        fields_.count = n;
        return t == text_.size();
    }

private:
    bool TakeNumber(size_t& t, size_t n)
    {
        const size_t from = t;
        if (t < text_.size() && text_[t] == '-')
            ++t;
        const size_t digits = t;
        while (t < text_.size() && IsDigit(text_[t]))
            ++t;
        fields_.field[n] = text_.substr(from, t - from);
        return t > digits;
    }

    // A "%s": every end it could have, shortest first, whole characters
    // only; only the ends where the format's next byte stands are tries.
    bool MatchText(size_t t, size_t f, size_t n)
    {
        const bool literalNext = f < format_.size() && format_[f] != '%';
        for (size_t end = t;; end += CharLength(text_, end)) {
            const bool mayEnd = !literalNext || (end < text_.size() && text_[end] == format_[f]);
            if (mayEnd) {
                if (--tries_ < 0)
                    return false;
                fields_.field[n] = text_.substr(t, end - t);
                if (Match(end, f, n + 1))
                    return true;
            }
            if (end >= text_.size())
                return false;
        }
    }

    const std::string_view text_, format_;
    MessageFields& fields_;
    int tries_ = kMostTries;
};

} // namespace

bool ReadMessage(std::string_view text, std::string_view format, MessageFields& fields)
{
    fields = MessageFields();
    Reading reading(text, BodyOf(format), fields);
    return reading.Match(0, 0, 0);
}

} // namespace hailog
