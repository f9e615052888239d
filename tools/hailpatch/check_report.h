// What `hailpatch check` found, and its two printings: the report an
// engineer reads and one JSON object for a build pipeline. The verdict
// printed is always the exit status.
#ifndef HAILPATCH_CHECK_REPORT_H
#define HAILPATCH_CHECK_REPORT_H

#include <iosfwd>
#include <string>
#include <vector>

namespace hailpatch {

// In rising order of weight; every one but Warning gives status 2.
enum class Severity {
    Warning,      // the package applies, but deserves a look
    NotApplied,   // the package, or its whole list, will not apply
    Blocks,       // the start-up is blocked too long
    RunsAgain,    // the package does not finish: it runs again at the next start
    Breaks,       // the terminal refuses every later package
    Destroys      // files of the terminal or of the package are destroyed or lost
};

struct Finding {
    Severity severity = Severity::Warning;
    std::string text;                 // names its line or file first
    int line = 0;                     // the line it is about, 0 for none
    std::vector<std::string> files;   // device paths it names
};

// One line of the list, numbered as an editor numbers it.
struct ListedLine {
    int number = 0;
    bool tail = false;                 // a later piece of a line over 1,023 bytes
    std::string what;                  // what the terminal does, or why nothing
    std::vector<std::string> effects;  // where its paths resolve, what it changed
};

struct CheckReport {
    bool hasList = false;
    bool listFolder = false;             // patch_list.txt is a folder
    bool leftAlone = false;              // the package carries the supervisor's exe
    bool stock = true;                   // run on a stock terminal, not a copy of one
    bool ran = false;                    // the start-up was run
    bool keyed = false;                  // the terminal holds update.pub
    std::string signature;               // on a keyed terminal: what its check said
    std::vector<ListedLine> lines;
    std::vector<std::string> bulkMoves;  // shown names of the top-level files moved
    std::vector<std::string> nextStart;  // what the next start changes
    std::vector<Finding> findings;
    unsigned long long killMs = 0;       // windows that stay
    unsigned long long sleepMs = 0;      // SLEEP lines
    unsigned long long failureMs = 0;    // everything else: failing operations
    std::size_t cutPoints = 0;           // power cuts tried
    std::size_t resumedCutPoints = 0;    // ... of them in a start that resumed

    // 0 clean, 1 warnings only, 2 will not work.
    int Status() const;
    Severity Worst() const;
    void Add(Severity severity, const std::string& text, int line = 0,
             const std::vector<std::string>& files = {});
};

// The exit statuses of every command.
const int kStatusClean = 0;
const int kStatusWarnings = 1;
const int kStatusWillNotWork = 2;
const int kStatusBadInput = 3;

void PrintReport(const CheckReport& report, std::ostream& out);
void PrintJson(const CheckReport& report, std::ostream& out);

// "2.5 s" for 2500 ms.
std::string FormatSeconds(unsigned long long ms);

} // namespace hailpatch

#endif
