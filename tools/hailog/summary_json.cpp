#include "log/LogCatalogue.h"
#include "summary_output.h"

namespace hailog {
namespace {

const char* EndingName(Ending ending)
{
    switch (ending) {
    case Ending::EndBanner: return "end banner";
    case Ending::NoEndBanner: return "no end banner";
    case Ending::AccOn: return "ACC ON";
    case Ending::NextStart: return "next start";
    case Ending::LogEnds: return "log ends";
    }
    return "";
}

void AddPeriod(const Event& event, nlohmann::ordered_json& object)
{
    object["end"] = event.end ? nlohmann::ordered_json(FormatTime(*event.end)) : nlohmann::ordered_json();
    object["duration"] = event.end ? nlohmann::ordered_json(*event.end - event.time) : nlohmann::ordered_json();
    object["ended"] = EndingName(event.ending);
}

// Their times are the lost clock's, as logged.
void AddLostLines(const Event& event, nlohmann::ordered_json& object)
{
    object["end"] = FormatTime(*event.end);
    object["lines"] = event.lost.lines;
    object["files"] = event.lost.files;
    object["first_file"] = event.lost.firstFile;
    object["last_file"] = event.lost.lastFile;
    object["starts"] = event.lost.starts;
    object["not_placed"] = event.lost.unplaced;
}

} // namespace

const char* KindName(EventKind kind)
{
    switch (kind) {
    case EventKind::Run: return "run";
    case EventKind::Restart: return "restart";
    case EventKind::IgnitionOff: return "ignition_off";
    case EventKind::NaviClose: return "navi_close";
    case EventKind::NaviStart: return "navi_start";
    case EventKind::Update: return "update";
    case EventKind::Rollback: return "rollback";
    case EventKind::BuildOptionFailed: return "build_option_failed";
    case EventKind::NoFile: return "no_file";
    case EventKind::Unparsed: return "unparsed";
    case EventKind::LogStopped: return "log_stopped";
    case EventKind::ClockLost: return "clock_lost";
    case EventKind::ClockLostLines: return "clock_lost_lines";
    }
    return "";
}

nlohmann::ordered_json EventToJson(const Event& event, bool withLines)
{
    nlohmann::ordered_json object;
    object["kind"] = KindName(event.kind);
    object["time"] = FormatTime(event.time);
    switch (event.kind) {
    case EventKind::Run:
        AddPeriod(event, object);
        object["version"] = event.version;
        object["start_logged"] = event.startLogged;
        if (event.clockLostAtStart)
            object["clock_lost_at_start"] = true;
        break;
    case EventKind::IgnitionOff: AddPeriod(event, object); break;
    case EventKind::Restart:
    case EventKind::NaviClose:
    case EventKind::NaviStart:
        object["application"] = event.application;
        object["number"] = event.number;
        break;
    case EventKind::BuildOptionFailed:
        object["application"] = event.application;
        object["number"] = event.number;
        object["error"] = event.error;
        break;
    case EventKind::Update:
        object["package"] = event.update.package;
        object["patch_list"] = event.update.patchList;
        object["failed"] = event.update.failed;
        object["kept"] = event.update.kept;
        object["moved"] = event.update.moved;
        object["closed"] = event.update.closed;
        break;
    case EventKind::Rollback:
        object["application"] = event.application;
        object["restarts"] = event.count;
        object["number"] = event.number;
        object["rolled_back"] = event.number == LOG_ROLLBACK_DONE;
        object["end"] = event.end ? nlohmann::ordered_json(FormatTime(*event.end)) : nlohmann::ordered_json();
        break;
    case EventKind::NoFile:
        object["end"] = FormatTime(*event.end);
        object["hours"] = event.count;
        break;
    case EventKind::Unparsed:
        object["file"] = event.file;
        object["count"] = event.count;
        break;
    case EventKind::LogStopped:
        object["end"] = FormatTime(*event.end);
        object["duration"] = *event.end - event.time;
        object["hours"] = event.count;
        break;
    case EventKind::ClockLost:
        object["end"] = FormatTime(*event.end);
        object["from_known"] = event.startLogged;
        break;
    case EventKind::ClockLostLines: AddLostLines(event, object); break;
    }
    if (withLines)
        object["lines"] = event.lines;
    return object;
}

std::string DumpJson(const nlohmann::ordered_json& value)
{
    std::string text = value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    // "</script>" inside a string would end the page's data early.
    for (size_t at = 0; (at = text.find("</", at)) != std::string::npos; at += 3)
        text.replace(at, 2, "<\\/");
    return text;
}

void WriteJsonLine(const Event& event, std::ostream& out)
{
    out << EventToJson(event, false).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
}

} // namespace hailog
