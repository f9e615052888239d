// The package run through the terminal's own start-up on a model terminal,
// twice, each command line's changes, log and pauses kept apart: what check
// reports is what this run did.
#ifndef HAILPATCH_CHECK_RUN_H
#define HAILPATCH_CHECK_RUN_H

#include <filesystem>
#include <string>
#include <vector>

#include "device_tree.h"
#include "line_journal.h"

namespace hailpatch {

namespace fs = std::filesystem;

struct Change {
    enum What { Added, Removed, Changed };
    What what = Added;
    std::string path;       // device path, UTF-8
    bool folder = false;
    std::uintmax_t size = 0;
};

// "removed \ResidentFlash\Hailnet\a.dll (5 bytes)".
std::string DescribeChange(const Change& change);

// One line of the list as the interpreter took it, and what it did.
struct LineRun {
    JournalMark mark;              // the line and its resolved paths
    std::vector<Change> changes;
    std::vector<std::string> log;  // UTF-8
    unsigned long long sleptMs = 0;
    StatTree before;
    StatTree after;
};

struct StartRun {
    bool listRan = false;
    std::vector<LineRun> lines;
    std::vector<Change> afterList;     // the bulk move and the staging step
    std::vector<std::string> log;      // the whole start's log
    std::vector<std::string> messages; // posted to programs
    unsigned long long blockedMs = 0;
    Tree before;                       // hashed, the whole device
    Tree after;
};

struct CheckRun {
    std::vector<StartRun> starts;      // the first start and the next one
};

// Runs two starts on the model terminal at `root`, with a program that
// ignores WM_DESTROY for each title (so every pause is counted at its
// longest). False with `error` when the tree cannot be read.
bool RunOnModel(const fs::path& root, const std::vector<std::string>& titles, CheckRun* run,
                std::string* error);

// A start cut by a power failure right after a line, then two whole starts:
// the package's files that ended in neither place.
struct CutLoss {
    int line = 0;
    std::vector<std::string> lost;   // device paths in the package
};

// One fresh model terminal (a copy of `device`, or a stock one, with the
// package) per line in `lines`; the losses of every cut that lost a file.
bool SweepCuts(const fs::path& device, const fs::path& package, const std::vector<std::string>& titles,
               const std::vector<int>& lines, std::vector<CutLoss>* losses, std::string* error);

// The supervisor's own files: its log and the list's progress record.
bool IsOwnFile(const std::string& path);

// Changes between two looks at the device, in path order, the supervisor's
// own files (its log, the list's progress record) left out.
std::vector<Change> DiffStatTrees(const StatTree& before, const StatTree& after);

} // namespace hailpatch

#endif
