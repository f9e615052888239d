// `hailpatch check`: what the terminal does with a package. The package is
// run through the terminal's own start-up on a model terminal (a stock one,
// or a copy of a real one); each line's effects, the bulk move, the time
// blocked and the verdict come from that run. What a run cannot show (the
// list's encoding and bytes, keywords read as prefixes, ignored lines) is
// found by reading the list with the terminal's own line rules.
#ifndef HAILPATCH_PACKAGE_CHECK_H
#define HAILPATCH_PACKAGE_CHECK_H

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace hailpatch {

namespace fs = std::filesystem;

// In rising order of weight; every one but Warning gives status 2.
enum class Severity {
    Warning,      // the package applies, but deserves a look
    NotApplied,   // the package, or its whole list, will not apply
    Blocks,       // the start-up is blocked too long at every switch-on
    RunsAgain,    // the package never finishes: it runs again at every start
    Destroys      // files of the terminal or of the package are destroyed or lost
};

struct Finding {
    Severity severity;
    std::string text;  // names its line or file first
};

// One line of the list, numbered as an editor numbers it.
struct ListedLine {
    int number = 0;
    bool tail = false;                 // a later piece of a line over 1,023 bytes
    std::string what;                  // what the terminal does, or why nothing
    std::vector<std::string> effects;  // what it changed when it ran
};

struct CheckReport {
    bool hasList = false;
    bool leftAlone = false;              // the package carries the supervisor's exe
    bool stock = true;                   // run on a stock terminal, not a copy of one
    bool ran = false;                    // the start-up was run (not on Windows)
    std::vector<ListedLine> lines;
    std::vector<std::string> bulkMoves;  // shown names of the top-level files moved
    std::vector<std::string> nextStart;  // what the next start changes
    std::vector<Finding> findings;
    unsigned long long killMs = 0;       // windows that stay
    unsigned long long sleepMs = 0;      // SLEEP lines
    unsigned long long failureMs = 0;    // everything else: failing operations

    // 0 clean, 1 warnings only, 2 will not work.
    int Status() const;
    Severity Worst() const;
};

// The exit statuses of every command.
const int kStatusClean = 0;
const int kStatusWarnings = 1;
const int kStatusWillNotWork = 2;
const int kStatusBadInput = 3;

// Checks `package` on a copy of `device`, or on a stock terminal when
// `device` is empty. False with one line in `error` for input that cannot be
// checked (a missing folder, an unreadable file, a list that is a folder).
bool CheckPackage(const fs::path& package, const fs::path& device, CheckReport* report,
                  std::string* error);

void PrintReport(const CheckReport& report, std::ostream& out);

// "2.5 s" for 2500 ms.
std::string FormatSeconds(unsigned long long ms);

} // namespace hailpatch

#endif
