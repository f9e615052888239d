#include "Summarised.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <sstream>

#include "event_store.h"
#include "platform/host/native.h"
#include "summary_output.h"

namespace hailog {
namespace {

void Read(const std::vector<LogFile>& files, const std::vector<LogLine>& lines, EventSink& sink, bool keepLines)
{
    ReaderSettings settings;
    settings.keepLines = keepLines;
    SummaryReader reader(files, sink, settings);
    for (const LogLine& line : lines)
        reader.Take(line);
    reader.Finish();
}

} // namespace

std::vector<Event> Summarise(const std::vector<LogFile>& files, const std::vector<LogLine>& lines, bool keepLines)
{
    EventStore store;
    Read(files, lines, store, keepLines);
    std::vector<Event> events;
    store.Visit([&](const Event& event) { events.push_back(event); });
    return events;
}

std::string TextOf(const std::vector<LogFile>& files, const std::vector<LogLine>& lines)
{
    TextSummary text(HoursOf(files));
    Read(files, lines, text, false);
    std::ostringstream out;
    text.Write(out);
    return out.str();
}

std::string JsonLinesOf(const std::vector<Event>& events)
{
    std::ostringstream out;
    for (const Event& event : events)
        WriteJsonLine(event, out);
    return out.str();
}

std::string ToCp949(const std::string& utf8)
{
    iconv_t codec = iconv_open("CP949", "UTF-8");
    std::string out(utf8.size() * 2 + 1, '\0');
    char* in = const_cast<char*>(utf8.data());
    char* at = &out[0];
    size_t left = utf8.size(), room = out.size();
    const size_t done = iconv(codec, &in, &left, &at, &room);
    iconv_close(codec);
    EXPECT_NE(done, static_cast<size_t>(-1)) << utf8;
    out.resize(out.size() - room);
    return out;
}

bool DecodeCp949(const std::string& cp949, Decoded& out)
{
    out = Decoded();
    out.badBytes = host::native::AppendCp949Shown(cp949.data(), cp949.size(), &out.utf8);
    return true;
}

} // namespace hailog
