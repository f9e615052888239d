// The lines a terminal that asks for rollbacks writes when it takes an
// update back, read into what happened: begun because an application was
// restarted too often, taken up after a cut, done, left unfinished, or
// refused because the undo copy did not match its record.
#ifndef HAILOG_ROLLBACK_LINES_H
#define HAILOG_ROLLBACK_LINES_H

#include <string>

#include "log_line.h"

namespace hailog {

enum class RollbackStep {
    None,        // not a rollback's line
    Begun,       // RollBackUpdate 965: the application and its restarts
    Resumed,     // ResumeRollBack 970: a start takes a cut rollback up
    Done,        // RollBackUpdate 969: the update is taken back
    Unfinished,  // RollBackUpdate 972: the next start takes it up again
    Refused,     // CheckUndoCopy 971, RollBackUpdate 976: nothing taken back
};

struct RollbackLine {
    RollbackStep step = RollbackStep::None;
    std::string application;  // Begun, Resumed, Done
    int restarts = 0;         // Begun
};

RollbackLine ReadRollbackLine(const LogLine& line);

// How a rollback ended, by the number of its last line: "rolled back", ...
std::string RollbackOutcome(int number);

} // namespace hailog

#endif
