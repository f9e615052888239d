#include "page.h"

#include <sstream>
#include <streambuf>

#include "page_marks.h"
#include "page_template.h"

namespace hailog {
namespace {

// The summary shown beneath the timeline is cut here; `hailog summary`
// gives all of it.
const size_t kMostSummaryBytes = 1 << 20;
// Longer periods are drawn a day per row.
const Seconds kLongestSingleRow = 3 * 86400;

std::string EscapeHtml(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// Keeps the first bytes written to it and counts the rest.
class CappedText : public std::streambuf {
public:
    explicit CappedText(size_t limit) : limit_(limit) {}
    // The text kept, cut at a line's end, with a note of what was left out.
    std::string Text() const
    {
        if (total_ <= limit_)
            return kept_;
        const std::string whole = kept_.substr(0, kept_.rfind('\n') + 1);
        return whole + "... " + std::to_string(total_ - whole.size()) +
               " more bytes of the summary: hailog summary gives all of it\n";
    }

protected:
    int_type overflow(int_type c) override
    {
        if (c != traits_type::eof()) {
            const char byte = static_cast<char>(c);
            xsputn(&byte, 1);
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override
    {
        const size_t size = static_cast<size_t>(count);
        if (kept_.size() < limit_)
            kept_.append(text, std::min(size, limit_ - kept_.size()));
        total_ += size;
        return count;
    }

private:
    const size_t limit_;
    std::string kept_;
    size_t total_ = 0;
};

nlohmann::ordered_json Rows(Seconds from, Seconds to)
{
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    if (to - from <= kLongestSingleRow) {
        rows.push_back({from, to});
        return rows;
    }
    for (Seconds day = from - ((from % 86400) + 86400) % 86400; day < to; day += 86400)
        rows.push_back({std::max(day, from), std::min(day + 86400, to)});
    return rows;
}

} // namespace

Page::Page(const Hours& hours) : hours_(hours), summary_(hours) {}

void Page::Add(Event&& event, std::uint64_t order)
{
    summary_.Add(event);
    events_.Add(std::move(event), order);
}

void Page::AddMoment(const Moment& moment, std::uint64_t order)
{
    summary_.AddMoment(moment, order);
    events_.AddMoment(moment, order);
}

void Page::Write(const std::string& terminal, std::ostream& out)
{
    const Seconds from = hours_.From();
    const Seconds to = hours_.To() + 1;
    const std::string title = "Hailwatch log" + (terminal.empty() ? std::string() : " of " + terminal) + ", " +
                              FormatMinute(from) + " to " + FormatMinute(to - 1);
    PageMarks marks(from);
    events_.Visit([&](const Event& event) { marks.Add(event); });
    CappedText text(kMostSummaryBytes);
    std::ostream textOut(&text);
    summary_.Write(textOut);
    nlohmann::ordered_json data = marks.ToJson();
    data["from"] = from;
    data["to"] = to;
    data["rows"] = Rows(from, to);
    out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        << "<title>" << EscapeHtml(title) << "</title>\n<style>" << kPageStyle << "</style>\n</head>\n<body>\n"
        << "<h1>" << EscapeHtml(title) << "</h1>\n"
        << kPageLegend << "<div id=\"timeline\"></div>\n<div id=\"tip\" hidden></div>\n"
        << "<h2>Summary</h2>\n<pre id=\"summary\">" << EscapeHtml(text.Text()) << "</pre>\n"
        << "<script id=\"data\" type=\"application/json\">" << DumpJson(data)
        << "</script>\n<script>" << kPageScript << "</script>\n</body>\n</html>\n";
}

} // namespace hailog
