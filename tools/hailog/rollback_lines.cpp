#include "rollback_lines.h"

#include <cctype>

namespace hailog {
namespace {

// Each of these lines names the application first: "Hailwire 응용프로그램...".
std::string FirstWord(std::string_view text)
{
    const size_t space = text.find(' ');
    return std::string(text.substr(0, space == std::string_view::npos ? text.size() : space));
}

// "... 업데이트 후 3번 재시작되어 ...": the number before "번 재시작".
int RestartsOf(std::string_view text)
{
    const size_t mark = text.find("번 재시작");
    size_t digits = mark;
    while (digits != std::string_view::npos && digits > 0 &&
           std::isdigit(static_cast<unsigned char>(text[digits - 1])) && mark - digits < 6)
        --digits;
    if (mark == std::string_view::npos || digits == mark)
        return 0;
    return std::stoi(std::string(text.substr(digits, mark - digits)));
}

} // namespace

RollbackLine ReadRollbackLine(const LogLine& line)
{
    RollbackLine read;
    if (line.function == "RollBackUpdate" && line.number == 965) {
        read.step = RollbackStep::Begun;
        read.application = FirstWord(line.text);
        read.restarts = RestartsOf(line.text);
    } else if (line.function == "ResumeRollBack" && line.number == 970) {
        read.step = RollbackStep::Resumed;
        read.application = FirstWord(line.text);
    } else if (line.function == "RollBackUpdate" && line.number == 969) {
        read.step = RollbackStep::Done;
        read.application = FirstWord(line.text);
    } else if (line.function == "RollBackUpdate" && line.number == 972) {
        read.step = RollbackStep::Unfinished;
    } else if ((line.function == "CheckUndoCopy" && line.number == 971) ||
               (line.function == "RollBackUpdate" && line.number == 976)) {
        read.step = RollbackStep::Refused;
    }
    return read;
}

std::string RollbackOutcome(int number)
{
    switch (number) {
    case 969: return "rolled back";
    case 972: return "not finished, the next start takes it up (972)";
    case 971: return "refused: the undo copy did not match its record (971)";
    case 976: return "refused: its record could not be written (976)";
    default: return "begun, no end in the logs read";
    }
}

} // namespace hailog
