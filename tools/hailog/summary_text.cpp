#include <cstring>
#include <map>

#include "log/LogCatalogue.h"
#include "summary_output.h"

namespace hailog {
namespace {

const char* const kWatched[] = {"Hailwire", "Hailfare", "Hailnet", "Hailtrack"};
const int kWatchedNumbers[] = {LOG_MODEM_RESTARTED, LOG_METER_RESTARTED, LOG_CALL_RESTARTED, LOG_DTG_RESTARTED};
const size_t kTimesPerLine = 3;
// Up to two lines of restart times are listed; more are folded.
const size_t kMostListed = 2 * kTimesPerLine;
const size_t kTimeWidth = 19; // "YYYY-MM-DD HH:MM:SS"
const size_t kDurationWidth = 18;
const char kIndent[] = "  ";
// Where the second column starts under a time: indent, time, two spaces.
const std::string kUnderTime(2 + 19 + 2, ' ');

void Heading(std::ostream& out, const std::string& title, bool empty)
{
    out << "\n" << title << "\n";
    if (empty)
        out << kIndent << "none\n";
}

void PadTo(std::string& text, size_t width)
{
    if (text.size() < width)
        text.append(width - text.size(), ' ');
}

// "  TIME  to END  DURATION" with the duration padded to its column.
void AppendPeriod(std::string& text, Seconds time, const std::optional<Seconds>& end)
{
    text += kIndent;
    AppendTime(text, time);
    text += "  to ";
    if (end)
        AppendTime(text, *end);
    else
        text.append(kTimeWidth, '?');
    text += "  ";
    const size_t column = text.size();
    if (end)
        AppendDuration(text, *end - time);
    PadTo(text, column + kDurationWidth);
}

std::string Period(Seconds time, const std::optional<Seconds>& end)
{
    std::string text;
    AppendPeriod(text, time, end);
    return text;
}

// The frequent lines (ignition off, the navigation application, refused
// build options) are kept as fixed records, a third of their text, and
// written out as text at the end.
struct Record {
    Seconds time = 0, end = 0;
    std::int64_t value = 0; // ignition off: how it ended; navigation: the kind; build option: the error
};

void AppendRecord(Spill& records, const Record& record)
{
    records.Append(std::string_view(reinterpret_cast<const char*>(&record), sizeof(record)));
}

// Each record's line, written out in large pieces.
template <typename Format>
void WriteRecords(std::ostream& out, Spill& records, const Format& format)
{
    std::string text;
    records.ForEach(sizeof(Record), [&](std::string_view bytes) {
        for (size_t at = 0; at + sizeof(Record) <= bytes.size(); at += sizeof(Record)) {
            Record record;
            std::memcpy(&record, bytes.data() + at, sizeof(record));
            format(text, record);
        }
        out << text;
        text.clear();
    });
}

void AppendIgnitionLine(std::string& text, const Record& period)
{
    AppendPeriod(text, period.time, period.end);
    switch (static_cast<Ending>(period.value)) {
    case Ending::AccOn: text += "until ACC ON\n"; break;
    case Ending::NextStart: text += "until the supervisor started again\n"; break;
    default: text += "still off when the log ends\n"; break;
    }
}

void AppendNavigationLine(std::string& text, const Record& moment)
{
    static const std::string closed = "  closed: ignition off (" + std::to_string(LOG_NAVI_CLOSED) + ")\n";
    static const std::string started = "  started again: ignition on (" + std::to_string(LOG_NAVI_STARTED) + ")\n";
    text += kIndent;
    AppendTime(text, moment.time);
    text += static_cast<EventKind>(moment.value) == EventKind::NaviClose ? closed : started;
}

void AppendBuildOptionLine(std::string& text, const Record& moment)
{
    text += kIndent;
    AppendTime(text, moment.time);
    text += "  Error[" + std::to_string(moment.value) + "]\n";
}

std::string Plural(long long count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string RunLine(const Event& run)
{
    std::string out = Period(run.time, run.end);
    switch (run.ending) {
    case Ending::EndBanner: out += "ended (end banner)"; break;
    case Ending::NoEndBanner: out += "no end banner: stopped without closing"; break;
    default: out += "no end banner by the end of the log"; break;
    }
    if (!run.version.empty())
        out += "  V" + run.version;
    if (run.clockLostAtStart)
        out += "  (started with the clock lost)";
    else if (!run.startLogged)
        out += "  (its start is before the log)";
    return out + "\n";
}

std::string UpdateLines(const Event& event)
{
    const Update& update = event.update;
    std::string out = kIndent;
    AppendTime(out, event.time);
    out += "  ";
    if (update.package == "none")
        return out + "no package\n";
    if (update.package == "left alone")
        return out + "package left alone: it carries Hailwatch.exe\n";
    out += std::string("package found, ") + (update.patchList ? "patch list run" : "no patch list") + ", " +
           Plural(static_cast<long long>(update.failed.size()), "line failed", "lines failed") + ", " +
           (update.kept ? "kept for the next start" : "not kept") + ", " +
           Plural(update.moved, "file moved", "files moved") + "\n";
    for (const std::string& failed : update.failed)
        out += kUnderTime + "failed: " + failed + "\n";
    if (!update.closed.empty()) {
        out += kUnderTime + "closed:";
        for (size_t i = 0; i < update.closed.size(); ++i)
            out += (i ? ", " : " ") + update.closed[i];
        out += "\n";
    }
    return out;
}

// How a rollback ended, by the number of its last line.
std::string RollbackOutcome(int number)
{
    const char* words = nullptr;
    switch (number) {
    case LOG_ROLLBACK_DONE: return "rolled back";
    case LOG_ROLLBACK_UNFINISHED: words = "not finished, the next start takes it up"; break;
    case LOG_UNDO_COPY_MISMATCH: words = "refused: the undo copy did not match its record"; break;
    case LOG_ROLLBACK_RECORD_FAILED: words = "refused: its record could not be written"; break;
    default: return "begun, no end in the logs read";
    }
    return std::string(words) + " (" + std::to_string(number) + ")";
}

// "  TIME  Hailwire (modem) after 3 restarts: rolled back, END".
std::string RollbackLine(const Event& event)
{
    std::string out = kIndent;
    AppendTime(out, event.time);
    out += "  " + (event.application.empty() ? std::string("?") : event.application);
    const std::string role = RoleOfApplication(event.application);
    if (!role.empty())
        out += " (" + role + ")";
    if (event.count > 0)
        out += " after " + Plural(event.count, "restart", "restarts");
    out += ": " + RollbackOutcome(event.number);
    if (event.end && *event.end != event.time) {
        out += ", ";
        AppendTime(out, *event.end);
    }
    return out + "\n";
}

std::string ClockLostLine(const Event& event)
{
    std::string out = std::string(kIndent) + "clock lost ";
    if (event.startLogged) {
        out += "from ";
        AppendTime(out, event.time);
        out += " ";
    }
    out += "until ";
    AppendTime(out, *event.end);
    return out + (event.startLogged ? "\n" : " (nothing logged before)\n");
}

std::string LostLinesText(const Event& event)
{
    const LostClockLines& lost = event.lost;
    std::string out;
    const bool anyPlaced = lost.starts > lost.unplaced;
    if (lost.unplaced > 0)
        out += kIndent + Plural(lost.unplaced, anyPlaced ? "more start" : "start", anyPlaced ? "more starts" : "starts") +
               " with the clock lost: the rest of the log does not show when\n";
    out += kIndent + Plural(lost.lines, "line", "lines") + " logged at the device's default date (" +
           FormatTime(event.time).substr(0, 10) + ") in " + Plural(lost.files, "file", "files") + ", " +
           lost.firstFile + (lost.files > 1 ? " to " + lost.lastFile : "") +
           ": shown in file order by hailog list, left out of the period\n";
    return out;
}

size_t WatchedIndex(const std::string& application)
{
    for (size_t i = 0; i < 4; ++i)
        if (application == kWatched[i])
            return i;
    return 4;
}

Seconds HourOf(Seconds time) { return time - ((time % 3600) + 3600) % 3600; }

} // namespace

// One application's restarts: their count, first and last, how many each
// hour had, and the first few times (every time, when all are listed).
class TextSummary::Restarts {
public:
    explicit Restarts(bool listAll) : listAll_(listAll) {}

    void Add(Seconds time)
    {
        if (count_ < kMostListed)
            first_[count_] = time;
        ++count_;
        last_ = time;
        if (listAll_)
            AppendTime(allBuffer_, time);
        if (allBuffer_.size() >= 64 * 1024)
            FlushAll();
        if (count_ == 1 || HourOf(time) != hour_) {
            CountHour();
            hour_ = HourOf(time);
        }
        ++inHour_;
    }

    // "  Hailwire  modem 409     3  TIME  TIME  TIME" and more lines of
    // times under them, or the fold.
    void Write(std::ostream& out, const std::string& head)
    {
        out << head;
        if (count_ <= kMostListed)
            WriteTimes(out, head.size(), first_, count_);
        else if (listAll_)
            WriteAll(out, head.size());
        else
            WriteFold(out);
        out << "\n";
    }

private:
    void CountHour()
    {
        if (inHour_ > 0)
            perHour_[hour_] += inHour_;
        inHour_ = 0;
    }
    void FlushAll()
    {
        all_.Append(allBuffer_);
        allBuffer_.clear();
    }
    static void WriteTimes(std::ostream& out, size_t headSize, const Seconds* times, size_t count)
    {
        for (size_t t = 0; t < count; ++t) {
            if (t > 0 && t % kTimesPerLine == 0)
                out << "\n" << std::string(headSize, ' ');
            out << "  " << FormatTime(times[t]);
        }
    }
    void WriteAll(std::ostream& out, size_t headSize)
    {
        FlushAll();
        const std::string under(headSize, ' ');
        size_t t = 0;
        all_.ForEach(kTimeWidth, [&](std::string_view times) {
            for (size_t at = 0; at + kTimeWidth <= times.size(); at += kTimeWidth, ++t) {
                if (t > 0 && t % kTimesPerLine == 0)
                    out << "\n" << under;
                out << "  " << times.substr(at, kTimeWidth);
            }
        });
    }
    void WriteFold(std::ostream& out)
    {
        CountHour();
        auto busiest = perHour_.begin();
        for (auto it = perHour_.begin(); it != perHour_.end(); ++it)
            if (it->second > busiest->second)
                busiest = it;
        out << "  first " << FormatTime(first_[0]) << "  last " << FormatTime(last_) << "  busiest hour "
            << FormatMinute(busiest->first) << " (" << busiest->second << ")";
    }

    const bool listAll_;
    size_t count_ = 0;
    Seconds first_[kMostListed] = {};
    Seconds last_ = 0, hour_ = 0;
    long long inHour_ = 0;
    std::map<Seconds, long long> perHour_; // one entry an hour of restarts at most
    std::string allBuffer_;
    Spill all_;

    friend class TextSummary;
};

TextSummary::TextSummary(const Hours& hours, bool allRestarts) : hours_(hours)
{
    for (auto& restarts : restarts_)
        restarts.reset(new Restarts(allRestarts));
}

TextSummary::~TextSummary() = default;

void TextSummary::Add(const Event& event)
{
    switch (event.kind) {
    case EventKind::Run: runs_.Append(RunLine(event)); break;
    case EventKind::Restart: {
        const size_t i = WatchedIndex(event.application);
        if (i < 4)
            restarts_[i]->Add(event.time);
        break;
    }
    case EventKind::IgnitionOff: AddIgnitionOff(event.time, event.end.value_or(event.time), event.ending); break;
    case EventKind::NaviClose:
    case EventKind::NaviStart: AddNavigation(event.kind, event.time); break;
    case EventKind::Update: updates_.Append(UpdateLines(event)); break;
    case EventKind::Rollback: rollbacks_.Append(RollbackLine(event)); break;
    case EventKind::BuildOptionFailed: AddBuildOption(event.time, event.error); break;
    case EventKind::NoFile:
        noFile_.Append(kIndent + FormatMinute(event.time) + "  to " + FormatMinute(*event.end) + "  " +
                       Plural(event.count, "hour", "hours") + "\n");
        break;
    case EventKind::Unparsed:
        unparsed_.Append(kIndent + event.file + "  " + Plural(event.count, "line", "lines") + "\n");
        break;
    case EventKind::LogStopped:
        stopped_.Append(Period(event.time, event.end) + Plural(event.count, "hour", "hours") + " with no file\n");
        break;
    case EventKind::ClockLost: clockLost_.Append(ClockLostLine(event)); break;
    case EventKind::ClockLostLines: lostLines_ = LostLinesText(event); break;
    }
}

void TextSummary::AddMoment(const Moment& moment, std::uint64_t)
{
    switch (moment.kind) {
    case EventKind::Restart:
        if (moment.application >= 1 && moment.application <= 4)
            restarts_[moment.application - 1]->Add(moment.time);
        break;
    case EventKind::IgnitionOff: AddIgnitionOff(moment.time, moment.end, moment.ending); break;
    case EventKind::NaviClose:
    case EventKind::NaviStart: AddNavigation(moment.kind, moment.time); break;
    case EventKind::BuildOptionFailed: AddBuildOption(moment.time, moment.error); break;
    default: Add(EventOf(moment)); break;
    }
}

void TextSummary::AddIgnitionOff(Seconds time, Seconds end, Ending ending)
{
    AppendRecord(ignition_, Record{time, end, static_cast<std::int64_t>(ending)});
}

void TextSummary::AddNavigation(EventKind kind, Seconds time)
{
    AppendRecord(navigation_, Record{time, time, static_cast<std::int64_t>(kind)});
}

void TextSummary::AddBuildOption(Seconds time, int error)
{
    AppendRecord(buildOption_, Record{time, time, error});
}

void TextSummary::Section(std::ostream& out, const char* title, Spill& lines)
{
    Heading(out, title, lines.Size() == 0);
    lines.ForEach(1, [&](std::string_view text) { out << text; });
}

template <typename Format>
void TextSummary::RecordSection(std::ostream& out, const char* title, Spill& records, const Format& format)
{
    Heading(out, title, records.Size() == 0);
    WriteRecords(out, records, format);
}

void TextSummary::WriteRestarts(std::ostream& out)
{
    Heading(out, "Restarts of the watched applications", false);
    for (size_t i = 0; i < 4; ++i) {
        std::string head = kIndent + std::string(kWatched[i]);
        PadTo(head, 2 + 10);
        head += std::string(RoleOfApplication(kWatched[i])) + " " + std::to_string(kWatchedNumbers[i]);
        PadTo(head, 2 + 10 + 11);
        const std::string count = std::to_string(restarts_[i]->count_);
        head += std::string(count.size() < 4 ? 4 - count.size() : 0, ' ') + count;
        restarts_[i]->Write(out, head);
    }
}

void TextSummary::WriteClockLost(std::ostream& out)
{
    if (clockLost_.Size() == 0 && lostLines_.empty())
        return;
    Heading(out, "Clock lost", false);
    clockLost_.ForEach(1, [&](std::string_view text) { out << text; });
    out << lostLines_;
}

void TextSummary::Write(std::ostream& out)
{
    out << "Logs read: " << Plural(static_cast<long long>(hours_.files), "file", "files");
    if (hours_.first)
        out << ", hours " << FormatMinute(hours_.From()) << " to " << FormatMinute(hours_.To());
    out << "\n";
    Section(out, "Runs of the supervisor", runs_);
    WriteRestarts(out);
    RecordSection(out, "Ignition off", ignition_, AppendIgnitionLine);
    RecordSection(out, "Navigation application (Roadlens)", navigation_, AppendNavigationLine);
    Section(out, "Start-up updates", updates_);
    // Only a terminal that asks for rollbacks writes one.
    if (rollbacks_.Size() > 0)
        Section(out, "Updates rolled back", rollbacks_);
    static const std::string buildOption =
        "Build option refused by the call application (" + std::to_string(LOG_BUILD_OPTION_FAILED) + ")";
    RecordSection(out, buildOption.c_str(), buildOption_, AppendBuildOptionLine);
    Section(out, "Hours with no file", noFile_);
    if (stopped_.Size() > 0)
        Section(out, "Log stopped while the supervisor ran, ignition on", stopped_);
    WriteClockLost(out);
    if (unparsed_.Size() > 0)
        Section(out, "Lines not in the log's form", unparsed_);
}

} // namespace hailog
