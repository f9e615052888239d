// `hailpatch try`: the terminal's start-up with a package, on a copy of a
// device folder (or on it), then a second start: what each did, and whether
// the second took the package up again.
#include <algorithm>
#include <iostream>
#include <system_error>

#include "check_report.h"
#include "check_run.h"
#include "commands.h"
#include "invariants.h"
#include "model_terminal.h"
#include "package_files.h"
#include "platform/host/host_control.h"
#include "start_trace.h"
#include "tools/common/pc_text.h"
#include "undo_listing.h"

namespace hailpatch {

namespace {

// Everything is checked before anything is touched: a bad argument must
// never leave a device half changed.
bool ValidateTry(const TryOptions& options, std::string* error)
{
    std::error_code ec;
    if (!options.publicKey.empty() && !fs::is_regular_file(options.publicKey, ec)) {
        *error = tools::DisplayName(options.publicKey) + ": no such key file";
        return false;
    }
    PackageContents contents;
    return ValidateDevice(options.device, error) && ReadPackage(options.package, &contents, error);
}

void PrintSection(const std::string& title, const std::vector<std::string>& lines)
{
    std::cout << "== " << title << "\n";
    for (const std::string& line : lines) {
        std::cout << line << "\n";
    }
}

std::string FormatBlocked(unsigned long long ms)
{
    return std::to_string(ms / 1000) + "." + std::to_string(ms % 1000 / 100) + " s";
}

// One start, printed with its changes.
void ShowStart(const std::string& name, const StartupSetup& setup, const StartTrace& start,
               const DeviceTracker& tracker)
{
    PrintSection(name + ": log", start.outcome.log);
    PrintSection(name + ": messages to programs", start.outcome.messages);
    if (!start.outcome.started.empty()) {
        PrintSection(name + ": programs started", start.outcome.started);
    }
    if (setup.listOnly) {
        std::cout << "patch list result: " << start.outcome.listResult << "\n";
    }
    std::cout << "== " << name << ": blocked " << FormatBlocked(start.outcome.blockedMs) << "\n";
    std::vector<std::string> changes;
    for (const PathChange& change : ChangesBetween(tracker, start.journalBegin, start.journalEnd)) {
        changes.push_back(DescribeChange(change));
    }
    if (changes.empty()) {
        changes.push_back("(nothing changed)");
    }
    PrintSection(name + ": changes", changes);
}

// Why the next start takes the package up again, read from what it did.
std::string WhyAgain(const StartTrace& first, const StartTrace& second, const std::vector<std::string>& left)
{
    if (first.Refused()) {
        return "never: the terminal holds update.pub and refuses the package (the <E> line above); it stays "
               "whole";
    }
    if (!first.TookPackage()) {
        return "never: the start took nothing of the package (no list, no file at its top level)";
    }
    if (!second.TookPackage()) {
        return "no: the package left no file at its top level";
    }
    std::string why = "yes:";
    for (const Step& step : second.steps) {
        if (step.kind == Step::ListOpened) {
            why += " the list was kept (a CP failed or it could not be read or deleted);";
            break;
        }
    }
    if (!left.empty()) {
        why += " files left in the package:";
        for (const std::string& name : left) {
            why += " " + name;
        }
    }
    return why;
}

std::vector<std::string> TopLevelFiles()
{
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(host::NativePath(kUpdateFolder), ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        std::string name = it->path().filename().u8string();
        if (!it->is_directory(ec) && FoldCase(name) != "patch_list.txt") {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

// What became of the package's files; true when one was lost (in neither
// place). `lost` as judged after the starts that count.
bool ReportPackageFiles(const Invariants& facts, const DeviceTracker& tracker, const std::vector<std::string>& lost)
{
    for (const std::string& path : lost) {
        std::cout << "lost " << path << ": neither installed nor still in the package\n";
    }
    std::vector<std::string> left;
    for (const CardFile& file : facts.Package()) {
        bool touched = false;
        tracker.Now(file.path, &touched);
        if (!file.topLevel && !touched && !IsSignatureName(file.path.substr(std::string(kUpdateFolder).size() + 1))) {
            left.push_back(file.path);
        }
    }
    if (!left.empty()) {
        PrintSection("left in the package's subfolders, moved by nothing:", left);
    }
    return !lost.empty();
}

// The watchdog after the update with `app` crashing at every start: on a
// terminal that asks for rollbacks, until the update is taken back (or its
// probation ends). True when a rollback was refused or left unfinished.
bool ShowCrash(const std::string& app, const fs::path& device, DeviceTracker* tracker)
{
    std::string name = "crash of " + app;
    size_t before = host::JournalLength();
    CrashOutcome outcome = RunCrashLoop(device, app);
    tracker->CatchUp();
    PrintSection(name + ": log", outcome.log);
    PrintSection(name + ": messages to programs", outcome.messages);
    PrintSection(name + ": programs started", outcome.started);
    std::cout << "== " << name << ": " << FormatBlocked(outcome.watchedMs) << " of watchdog time"
              << (outcome.probation ? "" : " (no probation: the device does not hold update.rollback)") << "\n";
    std::vector<std::string> changes;
    for (const PathChange& change : ChangesBetween(*tracker, before, host::JournalLength())) {
        changes.push_back(DescribeChange(change));
    }
    if (changes.empty()) {
        changes.push_back("(nothing changed)");
    }
    PrintSection(name + ": changes", changes);
    bool failed = false;
    for (const std::string& line : outcome.log) {
        failed = failed || line.find("RollBackUpdate[972]") != std::string::npos ||
                 line.find("CheckUndoCopy[971]") != std::string::npos ||
                 line.find("RollBackUpdate[976]") != std::string::npos;
    }
    return failed;
}

bool PrepareDevice(const TryOptions& options, TempFolder* copy, fs::path* device, std::string* error)
{
    *device = options.device;
    if (!options.inPlace) {
        if (!copy->Make("device", error) || !CopyTree(options.device, copy->Path(), error)) {
            return false;
        }
        *device = copy->Path();
    }
    return (options.publicKey.empty() || PlaceKey(options.publicKey, NativeFolder(*device), error)) &&
           PlacePackage(options.package, NativeFolder(*device), error);
}

} // namespace

int RunTry(const TryOptions& options)
{
    std::string error;
    TempFolder copy;
    fs::path device;
    if (!ValidateTry(options, &error) || !PrepareDevice(options, &copy, &device, &error)) {
        Complain(error);
        return kStatusBadInput;
    }
    StartupSetup setup;
    setup.root = NativeFolder(device);
    setup.realClock = options.realClock;
    setup.listOnly = options.listOnly;
    setup.pass = options.pass;
    setup.closing = options.closing;
    setup.staying = options.staying;
    host::Reset();
    host::SetDeviceRoot(NativeFolder(device));
    Invariants facts;
    facts.Take(NativeFolder(device));
    // The changes are only noted: try never undoes one.
    host::KeepJournal("");
    DeviceTracker tracker;
    StartTrace first = RunTracedStart(setup);
    tracker.CatchUp();
    ShowStart(options.listOnly ? "patch list" : "start 1", setup, first, tracker);
    if (options.listOnly) {
        host::DropJournal();
        return kStatusClean;
    }
    if (AsksForRollbacks(device)) {
        PrintSection("start 1: undo copy", DescribeUndoCopy(device));
    }
    // A rollback takes the installed files away on purpose: the package's
    // files are judged by the update alone then.
    std::vector<std::string> lostByUpdate = facts.LostFiles(tracker);
    bool rollbackFailed = !options.crash.empty() && ShowCrash(options.crash, device, &tracker);
    std::vector<std::string> left = TopLevelFiles();
    // Whether the package applies again is what the next start does with it.
    StartTrace second = RunTracedStart(setup);
    tracker.CatchUp();
    std::string why = WhyAgain(first, second, left);
    std::cout << "== next start applies the package again: " << why << "\n";
    ShowStart("start 2", setup, second, tracker);
    bool lost = ReportPackageFiles(facts, tracker, options.crash.empty() ? facts.LostFiles(tracker) : lostByUpdate);
    host::DropJournal();
    bool again = why.rfind("no:", 0) != 0;
    return again || lost || rollbackFailed ? kStatusWillNotWork : kStatusClean;
}

} // namespace hailpatch
