// A supervisor started on the simulated device and driven along a timeline:
// a table of rows (time after start-up, event, expected outcome). A row's
// expected outcome is everything that happens from its event up to the next
// row's event, and it must all happen at the row's own time: programs
// started ("start <image>"), then messages posted or sent to other programs
// ("post <title> <message> <wParam> <lParam>", "send ..."), then log lines
// ("log <text>", stamped with the row's minute and second). A row's time
// must not be a moment at which a timer also does something: which of the
// two happens first is the backend's choice.
#ifndef HAILWATCH_TESTS_SUPERVISOR_TIMELINE_H
#define HAILWATCH_TESTS_SUPERVISOR_TIMELINE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/host/host_control.h"

namespace timeline {

enum class EventKind { Nothing, AccOff, AccOn, UserCloses, FileAppears };
struct Event {
    EventKind kind;
    std::string arg;
};
inline Event Nothing() { return {EventKind::Nothing, ""}; }
inline Event AccOff() { return {EventKind::AccOff, ""}; }
inline Event AccOn() { return {EventKind::AccOn, ""}; }
inline Event UserCloses(const std::string& name) { return {EventKind::UserCloses, name}; }
inline Event FileAppears(const std::string& devicePath) { return {EventKind::FileAppears, devicePath}; }

struct Row {
    DWORD atMs;
    Event event;
    std::vector<std::string> expected;
};

std::string Started(const std::string& name);
std::string Post(const std::string& title, UINT message, WPARAM wParam);
std::string Log(const std::string& utf8Text);
// A log line of this row stamped with a later time: the handler that wrote
// it blocked past the next row's time.
std::string LogAt(DWORD atMs, const std::string& utf8Text);
// The three lines of an ignition change.
std::vector<std::string> AccChangeLog(const char* state, int lParam);
// Concatenates expectation lists, for rows that combine them.
std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b);

enum class Presence { Running, Stopped, NotInstalled };

// A WM_TIMER the supervisor's window took, at its time after start-up.
struct TimerTaken {
    UINT_PTR id;
    DWORD atMs;
};

class SupervisorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Restarts the virtual clock at `tick`; call before Install and Start.
    void UseClock(DWORD tick);
    // A sibling called `name` (its window title); Roadlens lies on the SD
    // card with the navigation class, the others in the install folder.
    void Install(const std::string& name, Presence presence, host::ProgramSetup setup = {});
    // Creates the supervisor's window as the device does; the timeline's
    // time 0 is the moment start-up (the update included) has finished.
    void Start();
    // The power goes and comes back: a fresh process on the same device,
    // the installed programs registered again (none running), started anew.
    void SwitchOffAndOn();
    void RunTimeline(const std::vector<Row>& rows, DWORD endMs);
    // Every WM_TIMER of the timelines run so far, in the order taken.
    const std::vector<TimerTaken>& TimersTaken() const { return timers_; }

private:
    std::vector<std::string> TakeOutcome(DWORD atMs);
    void Apply(const Event& event);
    std::string LogBytes() const;
    void RunLoopUntil(DWORD tick);

    std::vector<std::pair<std::string, host::ProgramSetup>> installed_;
    std::string root_;
    DWORD startTick_ = 0;
    DWORD zeroTick_ = 0;
    size_t logMark_ = 0;
    size_t traceMark_ = 0;
    size_t startMark_ = 0;
    HWND window_ = nullptr;
    std::vector<TimerTaken> timers_;
};

} // namespace timeline

#endif
