#include "page_marks.h"

#include <algorithm>

#include "summary_output.h"

namespace hailog {
namespace {

// Marks and bars at most on a page: with their hover texts and the summary
// this keeps a page of any period under 5 MB.
const size_t kMostMarks = 50000;
const size_t kMostTipBytes = 1 << 20;
const size_t kEventsPerTip = 3; // events of a mark whose lines its hover text shows
const Seconds kFirstBucket = 60;

const char* const kLanes[] = {"ignition", "supervisor", "Hailwire", "Hailfare",
                              "Hailnet",  "Hailtrack",  "Roadlens", "updates"};
const char* const kStyles[] = {"restart", "navi-close", "navi-start", "update", "update failed",
                               "cut",     "build-option", "run",      "acc-off", "nofile"};
enum Lane { kIgnition, kSupervisor, kFirstWatched, kRoadlens = 6, kUpdates = 7, kBackground = -1 };
enum Style { kRestart, kNaviClose, kNaviStart, kUpdate, kUpdateFailed, kCut, kBuildOption, kRun, kAccOff, kNoFile };

int LaneOfApplication(const std::string& application)
{
    for (int lane = kFirstWatched; lane < kRoadlens; ++lane)
        if (application == kLanes[lane])
            return lane;
    return kSupervisor;
}

std::string TipHead(const Event& event)
{
    return std::string(KindName(event.kind)) + " " + FormatTime(event.time) +
           (event.end ? " to " + FormatTime(*event.end) : std::string());
}

// Runs: how the run ended ("end banner", "no end banner", "log ends").
std::string EndedOf(const Event& event)
{
    return event.kind == EventKind::Run ? EventToJson(event, false)["ended"].get<std::string>() : std::string();
}

} // namespace

PageMarks::PageMarks(Seconds from) : from_(from), bucket_(kFirstBucket) {}

void PageMarks::Add(const Event& event)
{
    const Seconds end = event.end ? *event.end : event.time;
    switch (event.kind) {
    case EventKind::Run:
        AddBar(kSupervisor, kRun, event.time, end, event);
        if (event.ending == Ending::NoEndBanner)
            AddMark(kSupervisor, kCut, end, event);
        break;
    case EventKind::IgnitionOff: AddBar(kIgnition, kAccOff, event.time, end, event); break;
    case EventKind::Restart: AddMark(LaneOfApplication(event.application), kRestart, event.time, event); break;
    case EventKind::NaviClose: AddMark(kRoadlens, kNaviClose, event.time, event); break;
    case EventKind::NaviStart: AddMark(kRoadlens, kNaviStart, event.time, event); break;
    case EventKind::Update: {
        // Every start writes the update's lines; only a package makes it one.
        if (event.update.package == "none")
            break;
        const bool failed = !event.update.failed.empty() || event.update.kept;
        AddMark(kUpdates, failed ? kUpdateFailed : kUpdate, event.time, event);
        break;
    }
    // An update taken back failed on the terminal, however the rollback went.
    case EventKind::Rollback: AddMark(kUpdates, kUpdateFailed, event.time, event); break;
    case EventKind::BuildOptionFailed: AddMark(kSupervisor, kBuildOption, event.time, event); break;
    case EventKind::NoFile: AddBar(kBackground, kNoFile, event.time, end, event); break;
    case EventKind::Unparsed:
    case EventKind::LogStopped:
    case EventKind::ClockLost:
    case EventKind::ClockLostLines: break;
    }
    CoarsenIfFull();
}

void PageMarks::AddMark(int lane, int style, Seconds time, const Event& event)
{
    Mark& mark = marks_[Key(lane, style, (time - from_) / bucket_)];
    if (mark.count == 0) {
        mark.lane = lane;
        mark.style = style;
        mark.time = time;
        mark.tip = Tip(event);
    } else if (mark.count < static_cast<long>(kEventsPerTip)) {
        AddToTip(mark.tip, event);
    }
    ++mark.count;
}

void PageMarks::AddBar(int lane, int style, Seconds time, Seconds end, const Event& event)
{
    const auto last = lastBar_.find({lane, style});
    if (last != lastBar_.end() && time - bars_[last->second].end <= bucket_) {
        Mark& bar = bars_[last->second];
        bar.end = std::max(bar.end, end);
        if (bar.count < static_cast<long>(kEventsPerTip))
            AddToTip(bar.tip, event);
        ++bar.count;
        bar.ended = EndedOf(event);
        return;
    }
    Mark bar;
    bar.lane = lane;
    bar.style = style;
    bar.time = time;
    bar.end = end;
    bar.count = 1;
    bar.tip = Tip(event);
    bar.ended = EndedOf(event);
    lastBar_[{lane, style}] = bars_.size();
    bars_.push_back(bar);
}

int PageMarks::Tip(const Event& event)
{
    if (tipBytes_ >= kMostTipBytes)
        return -1;
    std::string text = TipHead(event);
    for (const std::string& line : event.lines)
        text += "\n" + line;
    tipBytes_ += text.size();
    tips_.push_back(text);
    return static_cast<int>(tips_.size() - 1);
}

// A further event of a mark adds its first line.
void PageMarks::AddToTip(int tip, const Event& event)
{
    if (tip < 0 || tipBytes_ >= kMostTipBytes)
        return;
    const std::string more = "\n" + TipHead(event) + (event.lines.empty() ? "" : "\n" + event.lines.front());
    tips_[static_cast<size_t>(tip)] += more;
    tipBytes_ += more.size();
}

void PageMarks::CoarsenIfFull()
{
    while (marks_.size() + bars_.size() > kMostMarks) {
        bucket_ *= 2;
        std::map<Key, Mark> merged;
        for (const auto& [key, mark] : marks_) {
            Mark& into = merged[Key(mark.lane, mark.style, (mark.time - from_) / bucket_)];
            if (into.count == 0)
                into = mark;
            else
                into.count += mark.count;
        }
        marks_.swap(merged);
        std::vector<Mark> bars;
        lastBar_.clear();
        for (const Mark& bar : bars_) {
            const auto last = lastBar_.find({bar.lane, bar.style});
            if (last != lastBar_.end() && bar.time - bars[last->second].end <= bucket_) {
                Mark& into = bars[last->second];
                into.end = std::max(into.end, bar.end);
                into.count += bar.count;
                into.ended = bar.ended;
                continue;
            }
            lastBar_[{bar.lane, bar.style}] = bars.size();
            bars.push_back(bar);
        }
        bars_.swap(bars);
    }
}

nlohmann::ordered_json PageMarks::ToJson() const
{
    nlohmann::ordered_json data;
    data["bucket"] = bucket_;
    data["lanes"] = kLanes;
    data["styles"] = kStyles;
    nlohmann::ordered_json marks = nlohmann::ordered_json::array();
    for (const auto& [key, mark] : marks_)
        marks.push_back({mark.lane, mark.style, mark.time, mark.count, mark.tip});
    data["marks"] = marks;
    nlohmann::ordered_json bars = nlohmann::ordered_json::array();
    for (const Mark& bar : bars_)
        bars.push_back({bar.lane, bar.style, bar.time, bar.end, bar.count, bar.tip, bar.ended});
    data["bars"] = bars;
    data["tips"] = tips_;
    return data;
}

} // namespace hailog
