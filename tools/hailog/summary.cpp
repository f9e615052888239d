#include "summary.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace hailog {
namespace {

// An update's lines shown with its mark; a package of thousands of files
// would make a useless tooltip.
const size_t kLinesPerUpdate = 40;
const char kPackage[] = "\\SDMMC\\AirUpdate\\";
const char kPatchList[] = "\\SDMMC\\AirUpdate\\patch_list.txt";

bool Contains(const std::string& text, const char* what) { return text.find(what) != std::string::npos; }

bool ContainsIgnoringCase(const std::string& text, const std::string& what)
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
std::string Bracketed(const std::string& text, const std::string& label)
{
    const size_t open = text.find(label + "[");
    if (open == std::string::npos)
        return std::string();
    const size_t from = open + label.size() + 1;
    const size_t close = text.find(']', from);
    return close == std::string::npos ? std::string() : text.substr(from, close - from);
}

class Reader {
public:
    explicit Reader(Summary& summary) : summary_(summary) {}

    void Take(const LogLine& line)
    {
        if (!line.Parsed())
            return;
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
            Add(EventKind::Restart, line, ApplicationOfRestart(line.number));
        else if (line.function == "RunNaviApp" && (line.number == 481 || line.number == 490))
            Add(line.number == 481 ? EventKind::NaviClose : EventKind::NaviStart, line, "Roadlens");
        else if (line.function == "ReqBuildOption" && line.number == 628)
            OnBuildOptionFailed(line);
        else if (line.function.rfind("CPatchList::", 0) == 0)
            OnUpdateLine(line);
        if (!IsRule(line))
            last_ = line.Time();
    }

    void Finish()
    {
        if (run_)
            Close(*run_, last_, Ending::LogEnds);
        if (off_)
            Close(*off_, last_, Ending::LogEnds);
        FinishUpdate();
    }

private:
    Event& Add(EventKind kind, const LogLine& line, const std::string& application = std::string())
    {
        Event event;
        event.kind = kind;
        event.time = line.Time();
        event.application = application;
        event.number = line.number;
        event.lines.push_back(line.raw);
        summary_.events.push_back(event);
        return summary_.events.back();
    }

    void Close(size_t index, Seconds end, Ending ending)
    {
        Event& event = summary_.events[index];
        event.end = std::max(end, event.time);
        event.ending = ending;
    }

    void OnStart(const LogLine& line)
    {
        if (run_)
            Close(*run_, last_, Ending::NoEndBanner);
        if (off_) {
            Close(*off_, line.Time(), Ending::NextStart);
            off_.reset();
        }
        FinishUpdate();
        Add(EventKind::Run, line);
        run_ = summary_.events.size() - 1;
        outsideRuns_.reset();
    }

    void OnEnd(const LogLine& line)
    {
        if (!run_) {
            // Logging was switched on while the supervisor ran, or the logs
            // read begin in the middle of a run: it ran at least since the
            // first line seen after the last run.
            Event& run = Add(EventKind::Run, line);
            run.time = outsideRuns_ ? *outsideRuns_ : line.Time();
            run.startLogged = false;
            run.lines.clear();
            run_ = summary_.events.size() - 1;
        }
        Close(*run_, line.Time(), Ending::EndBanner);
        summary_.events[*run_].lines.push_back(line.raw);
        run_.reset();
        outsideRuns_.reset();
        FinishUpdate();
    }

    void OnVersion(const LogLine& line)
    {
        if (run_)
            summary_.events[*run_].version = line.text.substr(1);
    }

    void OnIgnition(const LogLine& line)
    {
        const bool off = line.text.rfind("WM_POWER_MODE_CHANGE ACC OFF", 0) == 0;
        if (off && !off_) {
            Add(EventKind::IgnitionOff, line);
            off_ = summary_.events.size() - 1;
        } else if (!off && off_) {
            Close(*off_, line.Time(), Ending::AccOn);
            summary_.events[*off_].lines.push_back(line.raw);
            off_.reset();
        }
    }

    void OnBuildOptionFailed(const LogLine& line)
    {
        Event& event = Add(EventKind::BuildOptionFailed, line, "Hailnet");
        const std::string error = Bracketed(line.text, "Error");
        if (!error.empty() && error.size() < 10 && error.find_first_not_of("-0123456789") == std::string::npos)
            event.error = std::stoi(error);
    }

    // Every CPatchList message comes from the start-up update, the one
    // place the update engine runs.
    void OnUpdateLine(const LogLine& line)
    {
        if (!update_) {
            Add(EventKind::Update, line).lines.clear();
            update_ = summary_.events.size() - 1;
            sawFolderTest_ = listDeleted_ = filesLeft_ = false;
        }
        Event& event = summary_.events[*update_];
        Update& update = event.update;
        if (event.lines.size() < kLinesPerUpdate)
            event.lines.push_back(line.raw);
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
                update.failed.push_back(line.raw.substr(10));
        } else if (line.function == "CPatchList::CP" && line.number == 858) {
            if (result == "1") {
                ++update.moved;
            } else {
                update.failed.push_back(line.raw.substr(10));
                filesLeft_ = filesLeft_ || ContainsIgnoringCase(Bracketed(line.text, "Src파일"), kPackage);
            }
        } else if (((line.function == "CPatchList::RM" && line.number == 764) ||
                    (line.function == "CPatchList::MKDIR" && line.number == 806) ||
                    (line.function == "CPatchList::RUN" && line.number == 724)) &&
                   result == "0") {
            update.failed.push_back(line.raw.substr(10));
        } else if (line.function == "CPatchList::KILL" && line.number == 711) {
            update.closed.push_back(Bracketed(line.text, "종료 윈도우이름"));
        }
    }

    void FinishUpdate()
    {
        if (!update_)
            return;
        Update& update = summary_.events[*update_].update;
        // Only a package that carries the supervisor's own exe is passed
        // over without the folder test.
        if (!sawFolderTest_)
            update.package = "left alone";
        update.kept = update.package == "found" && (!listDeleted_ || filesLeft_);
        update_.reset();
    }

    Summary& summary_;
    std::optional<size_t> run_, off_, update_;
    Seconds last_ = 0;
    std::optional<Seconds> outsideRuns_; // the first line seen while no run was open
    bool sawFolderTest_ = false, listDeleted_ = false, filesLeft_ = false;
};

void AddHoursWithNoFile(const std::vector<LogFile>& files, Summary& summary)
{
    std::set<Seconds> hours;
    for (const LogFile& file : files)
        hours.insert(file.hour);
    if (hours.empty())
        return;
    summary.first = *hours.begin();
    summary.last = *hours.rbegin();
    Seconds previous = *hours.begin();
    for (Seconds hour : hours) {
        if (hour - previous > 3600) {
            Event gap;
            gap.kind = EventKind::NoFile;
            gap.time = previous + 3600;
            gap.end = hour - 1;
            gap.count = static_cast<int>((hour - previous) / 3600 - 1);
            summary.events.push_back(gap);
        }
        previous = hour;
    }
}

void AddUnparsed(const std::vector<LogLine>& lines, Summary& summary)
{
    std::vector<Event> perHour;
    for (const LogLine& line : lines) {
        if (line.Parsed())
            continue;
        if (perHour.empty() || perHour.back().time != line.hour) {
            Event event;
            event.kind = EventKind::Unparsed;
            event.time = line.hour;
            const std::string t = FormatTime(line.hour);
            event.file = "hailwatch-" + t.substr(0, 4) + t.substr(5, 2) + t.substr(8, 2) + t.substr(11, 2) + ".log";
            perHour.push_back(event);
        }
        ++perHour.back().count;
        if (perHour.back().lines.size() < 5)
            perHour.back().lines.push_back(line.raw);
    }
    summary.events.insert(summary.events.end(), perHour.begin(), perHour.end());
}

} // namespace

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

Summary Summarise(const std::vector<LogFile>& files, const std::vector<LogLine>& lines)
{
    Summary summary;
    summary.files = files.size();
    Reader reader(summary);
    for (const LogLine& line : lines)
        reader.Take(line);
    reader.Finish();
    AddHoursWithNoFile(files, summary);
    AddUnparsed(lines, summary);
    std::stable_sort(summary.events.begin(), summary.events.end(),
                     [](const Event& a, const Event& b) { return a.time < b.time; });
    return summary;
}

} // namespace hailog
