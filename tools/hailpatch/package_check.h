// `hailpatch check`: what the terminal will do with a package, found without
// a device, by reading its list with the terminal's own line rules.
#ifndef HAILPATCH_PACKAGE_CHECK_H
#define HAILPATCH_PACKAGE_CHECK_H

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace hailpatch {

namespace fs = std::filesystem;

enum class Severity {
    Warning,      // the package applies, but not as its author likely meant
    NotApplied,   // the package, or its whole list, will not apply
    RunsAgain     // the package will run again at every start
};

struct Finding {
    Severity severity;
    std::string text;  // names its line or file first
};

// One line of the list, numbered as an editor numbers it.
struct ListedLine {
    int number = 0;
    bool tail = false;   // a later piece of a line over 1,023 bytes
    std::string what;    // what the terminal does, or why nothing
};

struct CheckReport {
    bool hasList = false;
    bool leftAlone = false;              // the package carries the supervisor's exe
    std::vector<ListedLine> lines;
    std::vector<std::string> bulkMoves;  // shown names of the top-level files moved
    std::vector<Finding> findings;
    unsigned long long killMs = 0;       // windows that stay
    unsigned long long sleepMs = 0;      // SLEEP lines
    unsigned long long failureMs = 0;    // file operations that will fail

    // 0 clean, 1 warnings only, 2 will not apply or runs again at every start.
    int Status() const;
};

// The exit statuses of every command.
const int kStatusClean = 0;
const int kStatusWarnings = 1;
const int kStatusWillNotWork = 2;
const int kStatusBadInput = 3;

// Reads the package; false with one line in `error` for input that cannot
// be checked (missing folder, unreadable file, a list that is a folder).
bool CheckPackage(const fs::path& package, CheckReport* report, std::string* error);

void PrintReport(const CheckReport& report, std::ostream& out);

// "2.5 s" for 2500 ms.
std::string FormatSeconds(unsigned long long ms);

} // namespace hailpatch

#endif
