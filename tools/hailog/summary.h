// What happened on a terminal, read from its log lines: the supervisor's
// runs, restarts of the watched applications, ignition-off periods, the
// navigation application closed and started again, start-up updates,
// refused build options, updates rolled back, hours with no file, a log that
// stopped while the supervisor ran, and the clock lost.
#ifndef HAILOG_SUMMARY_H
#define HAILOG_SUMMARY_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "log_files.h"
#include "log_stream.h"
#include "time_window.h"

namespace hailog {

enum class EventKind {
    Run,               // start banner .. end banner, or the last line before the next start
    Restart,           // CheckApp 409, 417, 425, 434
    IgnitionOff,       // ACC OFF .. ACC ON, or the next start
    NaviClose,         // RunNaviApp 481
    NaviStart,         // RunNaviApp 490
    Update,            // the start-up update of one run
    Rollback,          // an update taken back: RollBackUpdate 965 .. 969, or how it stopped
    BuildOptionFailed, // ReqBuildOption 628
    NoFile,            // hours without a file, between the first and the last
    Unparsed,          // lines of one file not in the log's form
    LogStopped,        // no file for hours while the supervisor ran with the ignition on, then more of the run
    ClockLost,         // the clock lost: from the last line before until the clock was set again
    ClockLostLines,    // every line logged at the device's default date, told once
};

// How a run or an ignition-off period ended.
enum class Ending {
    EndBanner,    // runs: the end banner
    NoEndBanner,  // runs: a new start banner came first (the power went)
    AccOn,        // ignition off: ACC ON
    NextStart,    // ignition off: the supervisor started again
    LogEnds,      // the logs read end first
};

struct Update {
    std::string package;          // "found", "none", "left alone"
    bool patchList = false;       // a patch list ran
    std::vector<std::string> failed; // messages of operations that failed
    bool kept = false;            // tried again at the next start
    int moved = 0;                // files carried into place
    std::vector<std::string> closed; // windows sent WM_DESTROY
};

// The lines logged at the device's default date, all episodes together.
struct LostClockLines {
    long long lines = 0;
    long long files = 0;
    long long starts = 0;    // starts of the supervisor among them: one per episode
    long long unplaced = 0;  // episodes whose time the rest of the log does not show
    std::string firstFile, lastFile;
};

struct Event {
    EventKind kind;
    Seconds time = 0;
    std::optional<Seconds> end;   // runs, ignition off, hours with no file, log stopped, clock lost
    Ending ending = Ending::LogEnds;
    std::string application;      // window title of the application concerned
    int number = -1;              // the message's number; a rollback: its last line's
    int error = 0;                // build option: the error code
    int count = 0;                // unparsed lines; hours with no file; a rollback's restarts
    std::string version;          // runs: the version line's
    // Runs: false when the logs begin after the start banner. Clock lost:
    // false when nothing was logged before the clock was lost.
    bool startLogged = true;
    bool clockLostAtStart = false; // runs: started while the clock was lost
    std::string file;             // unparsed lines: the file's name
    Update update;
    LostClockLines lost;          // the lines logged with the clock lost
    std::vector<std::string> lines; // the log lines the event rests on, decoded
};

// The applications events name, by a small index: 0 is none.
const int kApplicationCount = 6;
const char* ApplicationName(int index);
int ApplicationIndex(const std::string& name); // kApplicationCount when it is none of them

// The small events most of a log is made of (restarts, the navigation
// application, refused build options, ignition-off periods) travel without
// an Event's strings when no log lines are kept with them.
struct Moment {
    EventKind kind = EventKind::Restart;
    Seconds time = 0;
    Seconds end = 0;         // ignition off
    Ending ending = Ending::LogEnds;
    int application = 0;     // ApplicationName's index
    int number = -1;
    int error = 0;
};
Event EventOf(const Moment& moment);

// The hours read: the first and last of the files whose time is known, how
// many files in all, and the window they were read through.
struct Hours {
    std::optional<Seconds> first, last;
    size_t files = 0;
    TimeWindow window;

    // The period shown: the hours, cut to the window; To() is its last second.
    Seconds From() const;
    Seconds To() const;
};
Hours HoursOf(const std::vector<LogFile>& files, const TimeWindow& window = TimeWindow());

// Takes each event once it is finished. `order` is the order events are
// begun in: events of the same second are told in that order.
class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void Add(Event&& event, std::uint64_t order) = 0;
    virtual void AddMoment(const Moment& moment, std::uint64_t order) { Add(EventOf(moment), order); }
};

struct ReaderSettings {
    bool keepLines = false; // each event carries the log lines it rests on (for a page)
    TimeWindow window;      // lines outside it are passed over
};

// Reads a terminal's lines, in hour order, into events. Runs, ignition-off
// periods and updates stay open until their end is read; everything else is
// handed on as its line is read. Only the events in the making are held.
class SummaryReader : public LineSink {
public:
    SummaryReader(const std::vector<LogFile>& files, EventSink& sink, const ReaderSettings& settings);
    ~SummaryReader() override;
    void Take(const LogLine& line) override;
    // Ends what is still open, and adds the hours with no file, the lines
    // not in the log's form and those logged with the clock lost.
    void Finish();

private:
    class Events;
    std::unique_ptr<Events> events_;
};

// The watched application a CheckApp number stands for, and its role.
const char* ApplicationOfRestart(int number);
const char* RoleOfApplication(const std::string& title);

// The name the terminal gives the file of an hour: hailwatch-YYYYMMDDHH.log.
std::string FileNameOfHour(Seconds hour);

} // namespace hailog

#endif
