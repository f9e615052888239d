// What happened on a terminal, read from its log lines: the supervisor's
// runs, restarts of the watched applications, ignition-off periods, the
// navigation application closed and started again, start-up updates,
// refused build options and hours with no file.
#ifndef HAILOG_SUMMARY_H
#define HAILOG_SUMMARY_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "log_files.h"
#include "log_stream.h"

namespace hailog {

enum class EventKind {
    Run,               // start banner .. end banner, or the last line before the next start
    Restart,           // CheckApp 409, 417, 425, 434
    IgnitionOff,       // ACC OFF .. ACC ON, or the next start
    NaviClose,         // RunNaviApp 481
    NaviStart,         // RunNaviApp 490
    Update,            // the start-up update of one run
    Rollback,          // an update taken back (RollBackUpdate 965 .. 969, 971, 972)
    BuildOptionFailed, // ReqBuildOption 628
    NoFile,            // hours without a file, between the first and the last
    Unparsed,          // lines of one file not in the log's form
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

struct Event {
    EventKind kind;
    Seconds time = 0;
    std::optional<Seconds> end;   // runs, ignition off, hours with no file
    Ending ending = Ending::LogEnds;
    std::string application;      // window title of the application concerned
    int number = -1;              // the message's number
    int error = 0;                // build option: the error code
    int count = 0;                // unparsed lines; hours with no file; a rollback's restarts
    std::string version;          // runs: the version line's
    bool startLogged = true;      // runs: false when the logs begin after the start banner
    std::string file;             // unparsed lines: the file's name
    Update update;
    std::vector<std::string> lines; // the log lines the event rests on, decoded
};

// The hours read: the first and last, and how many files.
struct Hours {
    std::optional<Seconds> first, last;
    size_t files = 0;
};
Hours HoursOf(const std::vector<LogFile>& files);

struct Summary : Hours {
    std::vector<Event> events; // in time order
};

// Takes each event once it is finished. `order` is the order events are
// begun in: events of the same second are told in that order.
class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void Add(Event&& event, std::uint64_t order) = 0;
};

// Reads a terminal's lines, in hour order, into events. Runs, ignition-off
// periods and updates stay open until their end is read; everything else is
// handed on as its line is read. Only the events in the making are held.
class SummaryReader : public LineSink {
public:
    // `keepLines`: each event carries the log lines it rests on (for a page).
    SummaryReader(const std::vector<LogFile>& files, EventSink& sink, bool keepLines);
    ~SummaryReader() override;
    void Take(const LogLine& line) override;
    // Ends what is still open, and adds the hours with no file and the
    // lines not in the log's form.
    void Finish();

private:
    class Events;
    std::unique_ptr<Events> events_;
};

// Everything at once, in memory: for small logs and tests.
Summary Summarise(const std::vector<LogFile>& files, const std::vector<LogLine>& lines, bool keepLines = true);

// The watched application a CheckApp number stands for, and its role.
const char* ApplicationOfRestart(int number);
const char* RoleOfApplication(const std::string& title);

} // namespace hailog

#endif
