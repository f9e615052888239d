#include "summary.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "log_line.h"
#include "log/LogCatalogue.h"
#include "lost_clock.h"
#include "message_format.h"

namespace hailog {
namespace {

// An update's lines shown with its mark; a package of thousands of files
// would make a useless tooltip.
const size_t kLinesPerUpdate = 40;
const char kPackage[] = "\\SDMMC\\AirUpdate\\";
const char kPatchList[] = "\\SDMMC\\AirUpdate\\patch_list.txt";

// Ties of time keep this order: the reader's events, the lines logged with
// the clock lost, the hours with no file, then the lines not in the log's
// form.
const std::uint64_t kClockLostOrder = std::uint64_t(1) << 60;
const std::uint64_t kNoFileOrder = std::uint64_t(1) << 61;
const std::uint64_t kUnparsedOrder = std::uint64_t(1) << 62;
const size_t kUnparsedLinesShown = 5;

// A run whose log has no file for more hours than this while the ignition
// is on, and then goes on without a start, stopped logging: a quiet hour
// (nothing missing, nothing switched) writes no file either.
const Seconds kQuietHours = 1;

const char* const kApplications[kApplicationCount] = {"", "Hailwire", "Hailfare", "Hailnet", "Hailtrack",
                                                       "Roadlens"};
const int kHailnet = 3, kRoadlens = 5;
// Compared with every line's function: views, not C strings.
const std::string_view kCheckApp = LOG_CHECK_APP, kRunNaviApp = LOG_RUN_NAVI_APP;
const std::string_view kPatchListPrefix = LOG_PATCH_LIST;
const std::string_view kIgnition = LOG_IGNITION_WORD " ", kAccOff = LOG_IGNITION_WORD " " LOG_ACC_OFF;

// 1 .. 4 for the applications CheckApp restarts, in ApplicationName's order.
int ApplicationIndexOfRestart(int number)
{
    switch (number) {
    case LOG_MODEM_RESTARTED: return 1;
    case LOG_METER_RESTARTED: return 2;
    case LOG_CALL_RESTARTED: return 3;
    case LOG_DTG_RESTARTED: return 4;
    default: return 0;
    }
}

bool ContainsIgnoringCase(std::string_view text, std::string_view what)
{
    return std::search(text.begin(), text.end(), what.begin(), what.end(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           }) != text.end();
}

// The text between "label[" and the next "]", the label found where a
// character starts (a pair's second byte can look like the first of another).
std::string_view Bracketed(std::string_view text, std::string_view label)
{
    for (size_t at = 0; at < text.size(); at += CharLength(text, at)) {
        if (text.compare(at, label.size(), label) != 0 || at + label.size() >= text.size() ||
            text[at + label.size()] != '[')
            continue;
        const size_t from = at + label.size() + 1;
        const size_t close = text.find(']', from);
        return close == std::string_view::npos ? std::string_view() : text.substr(from, close - from);
    }
    return std::string_view();
}

bool IsVersion(const LogLine& line)
{
    MessageFields fields;
    return line.function.empty() && line.tag == LOG_INFO && ReadMessage(line.text, LOG_VERSION, fields);
}

// The number a "%d" field holds; 0 for one too long to be an int.
int NumberOf(std::string_view digits)
{
    return digits.size() < 10 ? std::stoi(std::string(digits)) : 0;
}

bool IsRollbackLine(const LogLine& line)
{
    return line.function == LOG_ROLL_BACK_UPDATE || line.function == LOG_RESUME_ROLL_BACK ||
           (line.function == LOG_CHECK_UNDO_COPY && line.number == LOG_UNDO_COPY_MISMATCH);
}

// The restore of one path, which only a rollback writes.
bool IsRestoreLine(const LogLine& line)
{
    return line.function == LOG_RESTORE_FILE || line.function == LOG_REMOVE_NEW_PATH ||
           line.function == LOG_RESTORE_FOLDER;
}

} // namespace

// An event in the making, and the order it was begun in.
struct Open {
    Event event;
    std::uint64_t order = 0;
};

class SummaryReader::Events {
public:
    Events(const std::vector<LogFile>& files, EventSink& sink, const ReaderSettings& settings)
        : files_(files), sink_(sink), keepLines_(settings.keepLines), window_(settings.window)
    {
    }

    void Take(const LogLine& line)
    {
        if (IsClockLostHour(line.hour)) {
            lost_.Take(line);
            if (!line.Parsed())
                CountUnparsed(line);
            return;
        }
        if (!InWindow(line))
            return;
        if (!line.Parsed()) {
            CountUnparsed(line);
            return;
        }
        const bool rule = IsRule(line), start = !rule && IsStartBanner(line);
        if (!rule && !start)
            NoteAGap(line);
        if (!run_ && !outsideRuns_ && !rule)
            outsideRuns_ = line.Time();
        if (!rule)
            Dispatch(line, start);
        if (!rule) {
            last_ = line.Time();
            lastHour_ = line.hour;
            anyLine_ = true;
        }
    }

    void Finish()
    {
        if (run_)
            Close(run_, last_, Ending::LogEnds);
        if (off_)
            CloseOff(last_, Ending::LogEnds);
        FinishUpdate();
        if (rollback_)
            sink_.Add(std::move(rollback_->event), rollback_->order);
        rollback_.reset();
        AddHoursWithNoFile();
        if (unparsed_)
            sink_.Add(std::move(unparsed_->event), unparsed_->order);
        unparsed_.reset();
        // Through a window, episodes outside it are not looked for.
        if (lost_.Any())
            sink_.Add(lost_.ToEvent(window_.Any() ? lost_.Episodes() : placed_), kClockLostOrder);
    }

private:
    bool InWindow(const LogLine& line) const
    {
        return line.Parsed() ? window_.Meets(line.Time(), line.Time()) : window_.Meets(line.hour, line.hour + 3599);
    }

    void Dispatch(const LogLine& line, bool start)
    {
        if (line.function.empty())
            DispatchUnnamed(line, start);
        else if (line.function == kCheckApp && ApplicationOfRestart(line.number))
            EmitMoment(EventKind::Restart, line, ApplicationIndexOfRestart(line.number));
        else if (line.function == kRunNaviApp && (line.number == LOG_NAVI_CLOSED || line.number == LOG_NAVI_STARTED))
            EmitMoment(line.number == LOG_NAVI_CLOSED ? EventKind::NaviClose : EventKind::NaviStart, line, kRoadlens);
        else if (line.function == LOG_REQ_BUILD_OPTION && line.number == LOG_BUILD_OPTION_FAILED)
            OnBuildOptionFailed(line);
        else if (line.function.substr(0, kPatchListPrefix.size()) == kPatchListPrefix)
            OnUpdateLine(line);
        else if (IsRollbackLine(line))
            OnRollbackLine(line);
        else if (rollback_ && IsRestoreLine(line) && rollback_->event.lines.size() < kLinesPerUpdate)
            AddLine(rollback_->event, line);
    }

    // The lines that depart from "Function[number]": banners, ignition, version.
    void DispatchUnnamed(const LogLine& line, bool start)
    {
        if (start)
            OnStart(line);
        else if (IsEndBanner(line))
            OnEnd(line);
        else if (line.text.substr(0, kIgnition.size()) == kIgnition)
            OnIgnition(line);
        else if (IsVersion(line))
            OnVersion(line);
    }

    Event Make(EventKind kind, const LogLine& line, const std::string& application = std::string())
    {
        Event event;
        event.kind = kind;
        event.time = line.Time();
        event.application = application;
        event.number = line.number;
        if (keepLines_)
            event.lines.push_back(Utf8Of(line.raw));
        return event;
    }

    void Emit(Event&& event) { sink_.Add(std::move(event), order_++); }

    // Restarts and the navigation application: the most frequent events,
    // handed on without an Event unless their line is kept.
    void EmitMoment(EventKind kind, const LogLine& line, int application, int error = 0)
    {
        if (keepLines_) {
            Event event = Make(kind, line, ApplicationName(application));
            event.error = error;
            Emit(std::move(event));
            return;
        }
        Moment moment;
        moment.kind = kind;
        moment.time = line.Time();
        moment.application = application;
        moment.number = line.number;
        moment.error = error;
        sink_.AddMoment(moment, order_++);
    }

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

    // The ignition-off period: a moment with an end, or an Event when its
    // lines are kept (a loose ignition wire makes millions).
    void CloseOff(Seconds end, Ending ending)
    {
        if (off_->event) {
            off_->event->end = std::max(end, off_->time);
            off_->event->ending = ending;
            sink_.Add(std::move(*off_->event), off_->order);
        } else {
            Moment moment;
            moment.kind = EventKind::IgnitionOff;
            moment.time = off_->time;
            moment.end = std::max(end, off_->time);
            moment.ending = ending;
            sink_.AddMoment(moment, off_->order);
        }
        off_.reset();
    }

    void AddLine(Event& event, const LogLine& line)
    {
        if (keepLines_)
            event.lines.push_back(Utf8Of(line.raw));
    }

    // A line that is no start: while no run is open and a start logged with
    // the clock lost is still to be placed, that start carrying on once the
    // clock was set; in a run, after hours with no file, the log that
    // stopped while the supervisor ran. (A start with the clock lost after a
    // power cut looks like the second, and is left unplaced.)
    void NoteAGap(const LogLine& line)
    {
        if (!run_ && placed_ < lost_.Episodes()) {
            CarryOnAfterTheClockLost(line);
            return;
        }
        if (run_ && !off_ && anyLine_ && line.hour - lastHour_ > (kQuietHours + 1) * 3600) {
            Event stopped = Make(EventKind::LogStopped, line);
            stopped.time = last_;
            stopped.end = line.Time();
            stopped.count = static_cast<int>((line.hour - lastHour_) / 3600 - 1);
            Emit(std::move(stopped));
        }
    }

    // The supervisor started with the clock lost and logged at the default
    // date; now the clock is set and its run goes on here.
    void CarryOnAfterTheClockLost(const LogLine& line)
    {
        if (off_)
            CloseOff(line.Time(), Ending::NextStart);
        FinishUpdate();
        Event lost;
        lost.kind = EventKind::ClockLost;
        lost.time = anyLine_ ? last_ : line.Time();
        lost.end = line.Time();
        lost.startLogged = anyLine_;
        Emit(std::move(lost));
        ++placed_;
        Event run = Make(EventKind::Run, line);
        run.startLogged = false;
        run.clockLostAtStart = true;
        Begin(run_, std::move(run));
        outsideRuns_.reset();
    }

    void OnStart(const LogLine& line)
    {
        if (run_)
            Close(run_, last_, Ending::NoEndBanner);
        if (off_)
            CloseOff(line.Time(), Ending::NextStart);
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
            run_->event.version = Utf8Of(line.text.substr(1));
    }

    void OnIgnition(const LogLine& line)
    {
        const bool off = line.text.substr(0, kAccOff.size()) == kAccOff;
        if (off && !off_) {
            off_ = OpenOff{line.Time(), order_++, std::nullopt};
            if (keepLines_)
                off_->event = Make(EventKind::IgnitionOff, line);
        } else if (!off && off_) {
            if (off_->event)
                AddLine(*off_->event, line);
            CloseOff(line.Time(), Ending::AccOn);
        }
    }

    void OnBuildOptionFailed(const LogLine& line)
    {
        const std::string error(Bracketed(line.text, LOG_ERROR_LABEL));
        int code = 0;
        if (!error.empty() && error.size() < 10 && error.find_first_not_of("-0123456789") == std::string::npos)
            code = std::stoi(error);
        EmitMoment(EventKind::BuildOptionFailed, line, kHailnet, code);
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
        const std::string_view text = line.text, message = line.raw.substr(10);
        const std::string_view result = Bracketed(text, LOG_RESULT_LABEL);
        if (line.function == LOG_IS_FOLDER_FILES && line.number == LOG_FOLDER_TESTED && !sawFolderTest_) {
            sawFolderTest_ = true;
            update.package = result == LOG_FOLDER_FILE ? "found" : "none";
            update.patchList = update.package == "found";
        } else if (line.function == LOG_SEARCH_PATCH_LIST_FILES && line.number == LOG_NO_PATCH_LIST) {
            update.patchList = false;
        } else if (line.function == LOG_RM && (line.number == LOG_RM_DONE || line.number == LOG_RM_NO_FILE) &&
                   ContainsIgnoringCase(text, kPatchList)) {
            listDeleted_ = true;
            if (result == "0")
                update.failed.push_back(Utf8Of(message));
        } else if (line.function == LOG_CP && line.number == LOG_CP_DONE) {
            if (result == "1") {
                ++update.moved;
            } else {
                update.failed.push_back(Utf8Of(message));
                filesLeft_ = filesLeft_ || ContainsIgnoringCase(Bracketed(text, LOG_SOURCE_LABEL), kPackage);
            }
        } else if (IsFailedResult(line, result)) {
            update.failed.push_back(Utf8Of(message));
        } else if (line.function == LOG_KILL && line.number == LOG_WINDOW_CLOSED) {
            update.closed.push_back(Utf8Of(Bracketed(text, LOG_CLOSED_WINDOW_LABEL)));
        }
    }

    // An operation of the list that failed: a file removed (764), a folder
    // made (806) or a program run (724) whose result is 0.
    static bool IsFailedResult(const LogLine& line, std::string_view result)
    {
        return result == "0" && ((line.function == LOG_RM && line.number == LOG_RM_DONE) ||
                                 (line.function == LOG_MKDIR && line.number == LOG_MKDIR_DONE) ||
                                 (line.function == LOG_RUN && line.number == LOG_PROGRAM_RUN));
    }

    // A rollback runs from the line that begins it to the line that says how
    // it ended. One cut by the power stays open into the next run, whose
    // start takes it up (970); one left unfinished (972) is told as such,
    // and the start that takes it up begins the next.
    void OnRollbackLine(const LogLine& line)
    {
        MessageFields fields;
        const bool begun =
            line.number == LOG_ROLLBACK_BEGUN && ReadMessage(line.text, LOG_ROLLBACK_BEGUN_FORMAT, fields);
        if (begun || !rollback_) {
            if (rollback_)
                sink_.Add(std::move(rollback_->event), rollback_->order);
            Begin(rollback_, Make(EventKind::Rollback, line));
        } else {
            AddLine(rollback_->event, line);
        }
        Event& event = rollback_->event;
        event.number = line.number;
        if (begun)
            event.count = NumberOf(fields.field[1]);
        if (event.application.empty() && (begun || ReadMessage(line.text, LOG_ROLLBACK_DONE_FORMAT, fields) ||
                                          ReadMessage(line.text, LOG_ROLLBACK_RESUMED_FORMAT, fields)))
            event.application = Utf8Of(fields.field[0]);
        if (line.number != LOG_ROLLBACK_BEGUN && line.number != LOG_ROLLBACK_RESUMED)
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
            unparsed_->event.lines.push_back(Utf8Of(line.raw));
    }

    void AddHoursWithNoFile()
    {
        std::uint64_t order = kNoFileOrder;
        Seconds previous = 0;
        bool any = false;
        for (const LogFile& file : files_) {
            if (IsClockLostHour(file.hour))
                continue;
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
    const TimeWindow window_;
    std::uint64_t order_ = 0, unparsedGroups_ = 0;
    struct OpenOff {
        Seconds time;
        std::uint64_t order;
        std::optional<Event> event; // when its lines are kept
    };
    std::optional<Open> run_, update_, unparsed_, rollback_;
    std::optional<OpenOff> off_;
    Seconds last_ = 0, lastHour_ = 0; // the last line that is no rule, and its file's hour
    bool anyLine_ = false;
    std::optional<Seconds> outsideRuns_; // the first line seen while no run was open
    bool sawFolderTest_ = false, listDeleted_ = false, filesLeft_ = false;
    LostClockTally lost_;
    long long placed_ = 0; // episodes of the lost clock placed so far
};

SummaryReader::SummaryReader(const std::vector<LogFile>& files, EventSink& sink, const ReaderSettings& settings)
    : events_(new Events(files, sink, settings))
{
}

SummaryReader::~SummaryReader() = default;

void SummaryReader::Take(const LogLine& line) { events_->Take(line); }

void SummaryReader::Finish() { events_->Finish(); }

Hours HoursOf(const std::vector<LogFile>& files, const TimeWindow& window)
{
    Hours hours;
    hours.files = files.size();
    hours.window = window;
    for (const LogFile& file : files) {
        if (IsClockLostHour(file.hour))
            continue;
        hours.first = hours.first ? std::min(*hours.first, file.hour) : file.hour;
        hours.last = hours.last ? std::max(*hours.last, file.hour) : file.hour;
    }
    return hours;
}

Seconds Hours::From() const
{
    const Seconds from = first ? *first : 0;
    return window.since ? std::max(from, *window.since) : from;
}

Seconds Hours::To() const
{
    const Seconds to = last ? *last + 3599 : From() + 3599;
    return window.until ? std::min(to, *window.until) : to;
}

const char* ApplicationName(int index)
{
    return index >= 0 && index < kApplicationCount ? kApplications[index] : "";
}

int ApplicationIndex(const std::string& name)
{
    for (int i = 0; i < kApplicationCount; ++i)
        if (name == kApplications[i])
            return i;
    return kApplicationCount;
}

Event EventOf(const Moment& moment)
{
    Event event;
    event.kind = moment.kind;
    event.time = moment.time;
    if (moment.kind == EventKind::IgnitionOff) {
        event.end = moment.end;
        event.ending = moment.ending;
    }
    event.application = ApplicationName(moment.application);
    event.number = moment.kind == EventKind::IgnitionOff ? -1 : moment.number;
    event.error = moment.error;
    return event;
}

const char* ApplicationOfRestart(int number)
{
    const int index = ApplicationIndexOfRestart(number);
    return index > 0 ? ApplicationName(index) : nullptr;
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

std::string FileNameOfHour(Seconds hour)
{
    const std::string t = FormatTime(hour);
    return LOG_FILE_PREFIX + t.substr(0, 4) + t.substr(5, 2) + t.substr(8, 2) + t.substr(11, 2) + ".log";
}

} // namespace hailog
