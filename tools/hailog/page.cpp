#include "page.h"

#include <sstream>

#include "page_template.h"
#include "summary_output.h"

namespace hailog {
namespace {

std::string EscapeHtml(const std::string& text)
{
    std::string out;
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

// The period drawn: the hours read, or the events' own span.
void PeriodOf(const Summary& summary, Seconds& from, Seconds& to)
{
    if (summary.first) {
        from = *summary.first;
        to = *summary.last + 3600;
        return;
    }
    from = to = 0;
    for (const Event& event : summary.events) {
        from = from == 0 ? event.time : std::min(from, event.time);
        to = std::max(to, event.end ? *event.end : event.time);
    }
    to = std::max(to, from + 3600);
}

nlohmann::ordered_json PageData(const Summary& summary, Seconds from, Seconds to)
{
    nlohmann::ordered_json data;
    data["from"] = from;
    data["to"] = to;
    data["from_text"] = FormatMinute(from);
    nlohmann::ordered_json events = nlohmann::ordered_json::array();
    for (const Event& event : summary.events) {
        nlohmann::ordered_json object = EventToJson(event, true);
        object["t"] = event.time;
        if (event.end)
            object["end_t"] = *event.end;
        events.push_back(object);
    }
    data["events"] = events;
    return data;
}

} // namespace

void WritePage(const Summary& summary, std::ostream& out)
{
    Seconds from = 0, to = 0;
    PeriodOf(summary, from, to);
    const std::string title = "Hailwatch log, " + FormatMinute(from) + " to " + FormatMinute(to - 1);
    std::ostringstream text;
    WriteText(summary, text);
    out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        << "<title>" << EscapeHtml(title) << "</title>\n<style>" << kPageStyle << "</style>\n</head>\n<body>\n"
        << "<h1>" << EscapeHtml(title) << "</h1>\n"
        << kPageLegend << "<div id=\"timeline\"></div>\n<div id=\"tip\" hidden></div>\n"
        << "<h2>Summary</h2>\n<pre id=\"summary\">" << EscapeHtml(text.str()) << "</pre>\n"
        << "<script id=\"data\" type=\"application/json\">" << DumpJson(PageData(summary, from, to))
        << "</script>\n<script>" << kPageScript << "</script>\n</body>\n</html>\n";
}

} // namespace hailog
