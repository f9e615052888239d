// The package run through the terminal's own start-up on one model terminal:
// the first start step by step, the next start, and a power cut at every
// change of the first start and of the start that resumes after each. What
// check reports is what these runs did; each change belongs to the step that
// made it, so every finding can name its line.
#ifndef HAILPATCH_CHECK_RUN_H
#define HAILPATCH_CHECK_RUN_H

#include <cstddef>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "cut_sweep.h"
#include "device_tree.h"
#include "device_tracker.h"
#include "invariants.h"
#include "start_trace.h"

namespace hailpatch {

namespace fs = std::filesystem;

// The changes of journal entries [from, to), one per path, in path order.
std::vector<PathChange> ChangesBetween(const DeviceTracker& tracker, std::size_t from, std::size_t to);

// What a run left that must never be: found after the first start, the next,
// and after every cut that did not take up the uninterrupted course.
struct Breaches {
    std::vector<std::string> lostFiles;       // "\SDMMC\AirUpdate\a.dll: <how>"
    std::vector<std::string> missingImages;   // watched executables that are no file
    std::set<std::string> folderImages;       // ... of them a folder now
    std::vector<std::string> removedRoots;    // protected folders gone
};

// A file left at the package's top level after a start.
struct LeftFile {
    std::string name;
    bool collides = false;   // a folder of its name stands in the install folder
};

struct CutBreach {
    std::string cut;       // where the power failed
    Breaches breaches;
};

struct CheckRun {
    StartTrace first;
    StartTrace second;
    std::vector<std::vector<PathChange>> stepChanges;  // per step of the first start
    std::vector<PathChange> afterList;                 // the bulk move and the staging step
    std::vector<PathChange> nextStart;                 // the second start's
    std::vector<LeftFile> leftInPackage;               // top-level files after the first start
    std::vector<std::string> unmoved;                  // subfolder files nothing moved
    Breaches afterFirst;
    Breaches afterSecond;
    std::vector<CutBreach> cuts;
    SweepCounts counts;
    bool completedBySecond = false;    // the second start finished the package
    bool keyed = false;
    bool asksForRollbacks = false;     // the terminal holds update.rollback
    std::vector<std::string> roots;    // the folders no package may remove or empty
    // The update.pub the first start installed: "" when it installed none,
    // else "valid <digest>" or "invalid".
    std::string installedKey;
};

struct RunOptions {
    fs::path device;                   // empty: a stock terminal
    fs::path install;                  // or one whose install folder is a copy of this
    fs::path package;
    fs::path publicKey;                // put on the terminal as update.pub
    std::vector<std::string> titles;   // windows running besides the watched ones
    bool sweep = true;
    std::function<void(std::size_t, std::size_t)> progress;
};

// False with one line in `error` when the model terminal cannot be made.
bool RunPackageOnModel(const RunOptions& options, CheckRun* run, std::string* error);

} // namespace hailpatch

#endif
