#include "summary.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "rollback_lines.h"

namespace hailog {
namespace {

// An update's lines shown with its mark; a package of thousands of files
// would make a useless tooltip.
const size_t kLinesPerUpdate = 40;
const char kPackage[] = "\\SDMMC\\AirUpdate\\";
const char kPatchList[] = "\\SDMMC\\AirUpdate\\patch_list.txt";

// Ties of time keep this order: the reader's events, the hours with no file,
// then the lines not in the log's form.
const std::uint64_t kNoFileOrder = std::uint64_t(1) << 61;
const std::uint64_t kUnparsedOrder = std::uint64_t(1) << 62;
const size_t kUnparsedLinesShown = 5;

bool Contains(std::string_view text, const char* what) { return text.find(what) != std::string_view::npos; }

bool ContainsIgnoringCase(std::string_view text, std::string_view what)
{
    return std::search(text.begin(), text.end(), what.begin(), what.end(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           }) != text.end();
}

bool IsRule(const LogLine& line)
{
    return line.tag.empty() && line.function.empty() && !line.text.empty() &&
           line.text.find_first_not_of('#') == std::string::npos;
}

// The text between "label[" and the next "]".
std::string Bracketed(std::string_view text, const std::string& label)
{
    const size_t open = text.find(label + "[");
    if (open == std::string_view::npos)
        return std::string();
    const size_t from = open + label.size() + 1;
    const size_t close = text.find(']', from);
    return close == std::string_view::npos ? std::string() : std::string(text.substr(from, close - from));
}

std::string FileNameOfHour(Seconds hour)
{
    const std::string t = FormatTime(hour);
    return "hailwatch-" + t.substr(0, 4) + t.substr(5, 2) + t.substr(8, 2) + t.substr(11, 2) + ".log";
}

} // namespace

// An event in the making, and the order it was begun in.
struct Open {
    Event event;
    std::uint64_t order = 0;
};

class SummaryReader::Events {
public:
    Events(const std::vector<LogFile>& files, EventSink& sink, bool keepLines)
        : files_(files), sink_(sink), keepLines_(keepLines)
    {
    }

    void Take(const LogLine& line)
    {
        if (!line.Parsed()) {
            CountUnparsed(line);
            return;
        }
        if (!run_ && !outsideRuns_ && !IsRule(line))
            outsideRuns_ = line.Time();
        if (line.tag == "<I>" && line.function.empty() && Contains(line.text, "Hailwatch Start"))
            OnStart(line);
        else if (line.tag == "<I>" && line.function.empty() && Contains(line.text, "Hailwatch End"))
            OnEnd(line);
        else if (line.function.empty() && line.text.rfind("WM_POWER_MODE_CHANGE ", 0) == 0)
            OnIgnition(line);
        else if (line.function.empty() && line.tag == "<I>" && line.text.size() > 1 && line.text[0] == 'V' &&
                 std::isdigit(static_cast<unsigned char>(line.text[1])))
            OnVersion(line);
        else if (line.function == "CheckApp" && ApplicationOfRestart(line.number))
            Emit(Make(EventKind::Restart, line, ApplicationOfRestart(line.number)));
        else if (line.function == "RunNaviApp" && (line.number == 481 || line.number == 490))
            Emit(Make(line.number == 481 ? EventKind::NaviClose : EventKind::NaviStart, line, "Roadlens"));
        else if (line.function == "ReqBuildOption" && line.number == 628)
            OnBuildOptionFailed(line);
        else if (line.function.rfind("CPatchList::", 0) == 0)
            OnUpdateLine(line);
        else if (ReadRollbackLine(line).step != RollbackStep::None)
            OnRollback(line, ReadRollbackLine(line));
        if (!IsRule(line))
            last_ = line.Time();
    }

    void Finish()
    {
        if (run_)
            Close(run_, last_, Ending::LogEnds);
        if (off_)
            Close(off_, last_, Ending::LogEnds);
        FinishUpdate();
        if (rollback_)
            sink_.Add(std::move(rollback_->event), rollback_->order);
        rollback_.reset();
        AddHoursWithNoFile();
        if (unparsed_)
            sink_.Add(std::move(unparsed_->event), unparsed_->order);
        unparsed_.reset();
    }

private:
    Event Make(EventKind kind, const LogLine& line, const std::string& application = std::string())
    {
        Event event;
        event.kind = kind;
        event.time = line.Time();
        event.application = application;
        event.number = line.number;
        if (keepLines_)
            event.lines.emplace_back(line.raw);
        return event;
    }

    void Emit(Event&& event) { sink_.Add(std::move(event), order_++); }

    void Begin(std::optional<Open>& slot, Event&& event)
    {
        slot = Open{std::move(event), order_++};
    }

    // Ends an open event and hands it on.
    void Close(std::optional<Open>& slot, Seconds end, Ending ending)
    {
        Event& event = slot->event;
        event.end = std::max(end, event.time);
        event.ending = ending;
        sink_.Add(std::move(event), slot->order);
        slot.reset();
    }

    void AddLine(Event& event, const LogLine& line)
    {
        if (keepLines_)
            event.lines.emplace_back(line.raw);
    }

    void OnStart(const LogLine& line)
    {
        if (run_)
            Close(run_, last_, Ending::NoEndBanner);
        if (off_)
            Close(off_, line.Time(), Ending::NextStart);
        FinishUpdate();
        Begin(run_, Make(EventKind::Run, line));
        outsideRuns_.reset();
    }

    void OnEnd(const LogLine& line)
    {
        if (!run_) {
            // Logging was switched on while the supervisor ran, or the logs
            // read begin in the middle of a run: it ran at least since the
            // first line seen after the last run.
            Event run = Make(EventKind::Run, line);
            run.time = outsideRuns_ ? *outsideRuns_ : line.Time();
            run.startLogged = false;
            run.lines.clear();
            Begin(run_, std::move(run));
        }
        AddLine(run_->event, line);
        Close(run_, line.Time(), Ending::EndBanner);
        outsideRuns_.reset();
        FinishUpdate();
    }

    void OnVersion(const LogLine& line)
    {
        if (run_)
            run_->event.version = std::string(line.text.substr(1));
    }

    void OnIgnition(const LogLine& line)
    {
        const bool off = line.text.rfind("WM_POWER_MODE_CHANGE ACC OFF", 0) == 0;
        if (off && !off_) {
            Begin(off_, Make(EventKind::IgnitionOff, line));
        } else if (!off && off_) {
            AddLine(off_->event, line);
            Close(off_, line.Time(), Ending::AccOn);
        }
    }

    void OnBuildOptionFailed(const LogLine& line)
    {
        Event event = Make(EventKind::BuildOptionFailed, line, "Hailnet");
        const std::string error = Bracketed(line.text, "Error");
        if (!error.empty() && error.size() < 10 && error.find_first_not_of("-0123456789") == std::string::npos)
            event.error = std::stoi(error);
        Emit(std::move(event));
    }

    // Every CPatchList message comes from the start-up update, the one
    // place the update engine runs.
    void OnUpdateLine(const LogLine& line)
    {
        if (!update_) {
            Event event = Make(EventKind::Update, line);
            event.lines.clear();
            Begin(update_, std::move(event));
            sawFolderTest_ = listDeleted_ = filesLeft_ = false;
        }
        Event& event = update_->event;
        Update& update = event.update;
        if (event.lines.size() < kLinesPerUpdate)
            AddLine(event, line);
        const std::string result = Bracketed(line.text, "결과");
        if (line.function == "CPatchList::IsFolderFiles" && line.number == 425 && !sawFolderTest_) {
            sawFolderTest_ = true;
            update.package = result == "File" ? "found" : "none";
            update.patchList = update.package == "found";
        } else if (line.function == "CPatchList::SearchPatchListFiles" && line.number == 585) {
            update.patchList = false;
        } else if (line.function == "CPatchList::RM" && (line.number == 764 || line.number == 739) &&
                   ContainsIgnoringCase(line.text, kPatchList)) {
            listDeleted_ = true;
            if (result == "0")
                update.failed.emplace_back(line.raw.substr(10));
        } else if (line.function == "CPatchList::CP" && line.number == 858) {
            if (result == "1") {
                ++update.moved;
            } else {
                update.failed.emplace_back(line.raw.substr(10));
                filesLeft_ = filesLeft_ || ContainsIgnoringCase(Bracketed(line.text, "Src파일"), kPackage);
            }
        } else if (((line.function == "CPatchList::RM" && line.number == 764) ||
                    (line.function == "CPatchList::MKDIR" && line.number == 806) ||
                    (line.function == "CPatchList::RUN" && line.number == 724)) &&
                   result == "0") {
            update.failed.emplace_back(line.raw.substr(10));
        } else if (line.function == "CPatchList::KILL" && line.number == 711) {
            update.closed.push_back(Bracketed(line.text, "종료 윈도우이름"));
        }
    }

    // A rollback runs from its first line to the line saying how it ended;
    // one cut by the power stays open into the next run, which takes it up.
    void OnRollback(const LogLine& line, const RollbackLine& read)
    {
        if (!rollback_ || read.step == RollbackStep::Begun) {
            if (rollback_)
                sink_.Add(std::move(rollback_->event), rollback_->order);
            Begin(rollback_, Make(EventKind::Rollback, line, read.application));
        } else {
            AddLine(rollback_->event, line);
        }
        Event& event = rollback_->event;
        event.count = read.step == RollbackStep::Begun ? read.restarts : event.count;
        if (event.application.empty())
            event.application = read.application;
        event.number = line.number;
        if (read.step == RollbackStep::Done || read.step == RollbackStep::Unfinished ||
            read.step == RollbackStep::Refused)
            Close(rollback_, line.Time(), Ending::LogEnds);
    }

    void FinishUpdate()
    {
        if (!update_)
            return;
        Update& update = update_->event.update;
        // Only a package that carries the supervisor's own exe is passed
        // over without the folder test.
        if (!sawFolderTest_)
            update.package = "left alone";
        update.kept = update.package == "found" && (!listDeleted_ || filesLeft_);
        sink_.Add(std::move(update_->event), update_->order);
        update_.reset();
    }

    // Lines not in the log's form, one event for each hour that has some.
    void CountUnparsed(const LogLine& line)
    {
        if (unparsed_ && unparsed_->event.time != line.hour) {
            sink_.Add(std::move(unparsed_->event), unparsed_->order);
            unparsed_.reset();
        }
        if (!unparsed_) {
            Event event;
            event.kind = EventKind::Unparsed;
            event.time = line.hour;
            event.file = FileNameOfHour(line.hour);
            unparsed_ = Open{std::move(event), kUnparsedOrder + unparsedGroups_++};
        }
        ++unparsed_->event.count;
        if (unparsed_->event.lines.size() < kUnparsedLinesShown)
            unparsed_->event.lines.emplace_back(line.raw);
    }

    void AddHoursWithNoFile()
    {
        std::uint64_t order = kNoFileOrder;
        Seconds previous = 0;
        bool any = false;
        for (const LogFile& file : files_) {
            if (any && file.hour - previous > 3600) {
                Event gap;
                gap.kind = EventKind::NoFile;
                gap.time = previous + 3600;
                gap.end = file.hour - 1;
                gap.count = static_cast<int>((file.hour - previous) / 3600 - 1);
                sink_.Add(std::move(gap), order++);
            }
            previous = file.hour;
            any = true;
        }
    }

    const std::vector<LogFile>& files_;
    EventSink& sink_;
    const bool keepLines_;
    std::uint64_t order_ = 0, unparsedGroups_ = 0;
    std::optional<Open> run_, off_, update_, unparsed_, rollback_;
    Seconds last_ = 0;
    std::optional<Seconds> outsideRuns_; // the first line seen while no run was open
    bool sawFolderTest_ = false, listDeleted_ = false, filesLeft_ = false;
};

SummaryReader::SummaryReader(const std::vector<LogFile>& files, EventSink& sink, bool keepLines)
    : events_(new Events(files, sink, keepLines))
{
}

SummaryReader::~SummaryReader() = default;

void SummaryReader::Take(const LogLine& line) { events_->Take(line); }

void SummaryReader::Finish() { events_->Finish(); }

Hours HoursOf(const std::vector<LogFile>& files)
{
    Hours hours;
    hours.files = files.size();
    for (const LogFile& file : files) {
        hours.first = hours.first ? std::min(*hours.first, file.hour) : file.hour;
        hours.last = hours.last ? std::max(*hours.last, file.hour) : file.hour;
    }
    return hours;
}

const char* ApplicationOfRestart(int number)
{
    switch (number) {
    case 409: return "Hailwire";
    case 417: return "Hailfare";
    case 425: return "Hailnet";
    case 434: return "Hailtrack";
    default: return nullptr;
    }
}

const char* RoleOfApplication(const std::string& title)
{
    if (title == "Hailwire") return "modem";
    if (title == "Hailfare") return "meter";
    if (title == "Hailnet") return "call";
    if (title == "Hailtrack") return "DTG";
    if (title == "Roadlens") return "navigation";
    return "";
}

namespace {

// Every event kept, to be put in time order at the end.
class Collected : public EventSink {
public:
    void Add(Event&& event, std::uint64_t order) override { events_.push_back({order, std::move(event)}); }

    std::vector<Event> InTimeOrder()
    {
        std::sort(events_.begin(), events_.end(), [](const auto& a, const auto& b) {
            return a.second.time != b.second.time ? a.second.time < b.second.time : a.first < b.first;
        });
        std::vector<Event> events;
        for (auto& item : events_)
            events.push_back(std::move(item.second));
        return events;
    }

private:
    std::vector<std::pair<std::uint64_t, Event>> events_;
};

} // namespace

Summary Summarise(const std::vector<LogFile>& files, const std::vector<LogLine>& lines, bool keepLines)
{
    Collected collected;
    SummaryReader reader(files, collected, keepLines);
    for (const LogLine& line : lines)
        reader.Take(line);
    reader.Finish();
    Summary summary;
    static_cast<Hours&>(summary) = HoursOf(files);
    summary.events = collected.InTimeOrder();
    return summary;
}

} // namespace hailog
