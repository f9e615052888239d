// `hailpatch try`: the terminal's start-up with a package, on a copy of a
// device folder, then a second start to see whether the package stays done.
#include <iostream>
#include <system_error>

#include "commands.h"
#include "device_tree.h"
#include "model_terminal.h"
#include "native_text.h"
#include "package_check.h"
#include "package_files.h"
#include "package_outcome.h"
#include "startup_run.h"
#include "undo_listing.h"

namespace hailpatch {

namespace {

// Everything is checked before anything is touched: a bad argument must
// never leave a device half changed.
bool ValidateTry(const TryOptions& options, std::string* error)
{
    std::error_code ec;
    if (!options.publicKey.empty() && !fs::is_regular_file(options.publicKey, ec)) {
        *error = DisplayName(options.publicKey) + ": no such key file";
        return false;
    }
    PackageContents contents;
    return ValidateDevice(options.device, error) && ReadPackage(options.package, &contents, error);
}

// The terminal takes signed packages only once it holds the fleet's key.
bool PlaceKey(const fs::path& publicKey, const fs::path& device, std::string* error)
{
    std::error_code ec;
    fs::path hailnet = device / "ResidentFlash" / "Hailnet";
    fs::create_directories(hailnet, ec);
    fs::copy_file(publicKey, hailnet / "update.pub", fs::copy_options::overwrite_existing, ec);
    if (ec) *error = DisplayName(publicKey) + ": cannot be put on the device: " + ec.message();
    return !ec;
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

// One start, printed; the changes are measured against `before`. With
// `refused`, tells whether a terminal holding the fleet's key refused the
// package.
bool ShowStart(const std::string& name, const StartupSetup& setup, Tree* before, Tree* after,
               std::string* error, bool* refused = nullptr)
{
    if (!SnapshotTree(setup.root, before, error)) {
        return false;
    }
    StartupOutcome outcome = RunStartup(setup);
    if (!SnapshotTree(setup.root, after, error)) {
        return false;
    }
    PrintSection(name + ": log", outcome.log);
    for (const std::string& line : outcome.log) {
        if (refused != nullptr && line.find("<E> VerifyPackage[") != std::string::npos) *refused = true;
    }
    PrintSection(name + ": messages to programs", outcome.messages);
    if (!outcome.started.empty()) {
        PrintSection(name + ": programs started", outcome.started);
    }
    if (setup.listOnly) {
        std::cout << "patch list result: " << outcome.listResult << "\n";
    }
    std::cout << "== " << name << ": blocked " << FormatBlocked(outcome.blockedMs) << "\n";
    std::vector<std::string> changes = DescribeChanges(*before, *after);
    if (changes.empty()) {
        changes.push_back("(nothing changed)");
    }
    PrintSection(name + ": changes", changes);
    return true;
}

// Whether the next start would take up the package again, and why.
bool AppliesAgain(const fs::path& device, std::string* why)
{
    fs::path update = device / "SDMMC" / "AirUpdate";
    std::vector<std::string> left;
    bool list = false;
    std::error_code ec;
    for (fs::directory_iterator it(update, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec)) {
            continue;
        }
        std::string name = DisplayName(it->path().filename());
        if (FoldCase(name) == "hailwatch.exe") {
            *why = "never: the package holds Hailwatch.exe and is left alone at every start";
            return true;
        }
        if (FoldCase(name) == "patch_list.txt") {
            list = true;
        } else {
            left.push_back(name);
        }
    }
    if (!list && left.empty()) {
        *why = "no: the package left no file at its top level";
        return false;
    }
    // Only the kept list is left: the next start runs it all again.
    *why = "yes:";
    if (list) {
        *why += " the list was kept (a CP failed or it could not be read or deleted);";
    }
    if (!left.empty()) {
        *why += " files left in the package:";
        for (const std::string& name : left) {
            *why += " " + name;
        }
    }
    return true;
}

// What became of the package's files over both starts; true when one was
// lost (in neither place).
bool ReportPackageFiles(const Tree& before, const Tree& after)
{
    std::vector<std::string> lost = LostPackageFiles(before, after);
    for (const std::string& path : lost) {
        std::cout << "lost " << path << ": neither installed nor still in the package\n";
    }
    std::vector<std::string> left = UnmovedSubfolderFiles(before, after);
    if (!left.empty()) {
        std::cout << "== left in the package's subfolders, moved by nothing:\n";
        for (const std::string& path : left) {
            std::cout << path << "\n";
        }
    }
    return !lost.empty();
}

// The watchdog after the update with `app` crashing at every start: on a
// terminal that asks for rollbacks, until the update is taken back (or its
// probation ends). True when a rollback was refused or left unfinished.
bool ShowCrash(const std::string& app, const fs::path& device, std::string* error, bool* failed)
{
    std::string name = "crash of " + app;
    Tree before;
    Tree after;
    if (!SnapshotTree(device, &before, error)) {
        return false;
    }
    CrashOutcome outcome = RunCrashLoop(device, app);
    if (!SnapshotTree(device, &after, error)) {
        return false;
    }
    PrintSection(name + ": log", outcome.log);
    PrintSection(name + ": messages to programs", outcome.messages);
    PrintSection(name + ": programs started", outcome.started);
    std::cout << "== " << name << ": " << FormatBlocked(outcome.watchedMs) << " of watchdog time"
              << (outcome.probation ? "" : " (no probation: the device does not hold update.rollback)")
              << "\n";
    std::vector<std::string> changes = DescribeChanges(before, after);
    if (changes.empty()) {
        changes.push_back("(nothing changed)");
    }
    PrintSection(name + ": changes", changes);
    for (const std::string& line : outcome.log) {
        *failed = *failed || line.find("RollBackUpdate[972]") != std::string::npos ||
                  line.find("CheckUndoCopy[971]") != std::string::npos ||
                  line.find("RollBackUpdate[976]") != std::string::npos;
    }
    return true;
}

} // namespace

int RunTry(const TryOptions& options)
{
    std::string error;
    if (!ValidateTry(options, &error)) {
        Complain(error);
        return kStatusBadInput;
    }
    TempFolder copy;
    fs::path device = options.device;
    if (!options.inPlace) {
        if (!copy.Make("device", &error) || !CopyTree(options.device, copy.Path(), &error)) {
            Complain(error);
            return kStatusBadInput;
        }
        device = copy.Path();
    }
    if ((!options.publicKey.empty() && !PlaceKey(options.publicKey, device, &error)) ||
        !PlacePackage(options.package, device, &error)) {
        Complain(error);
        return kStatusBadInput;
    }
    StartupSetup setup;
    setup.root = device;
    setup.realClock = options.realClock;
    setup.listOnly = options.listOnly;
    setup.pass = options.pass;
    setup.closing = options.closing;
    setup.staying = options.staying;
    Tree first;
    Tree afterFirst;
    bool refused = false;
    if (!ShowStart(options.listOnly ? "patch list" : "start 1", setup, &first, &afterFirst, &error,
                   &refused)) {
        Complain(error);
        return kStatusBadInput;
    }
    if (options.listOnly) {
        return kStatusClean;
    }
    if (AsksForRollbacks(device)) {
        PrintSection("start 1: undo copy", DescribeUndoCopy(device));
    }
    bool rollbackFailed = false;
    if (!options.crash.empty() && !ShowCrash(options.crash, device, &error, &rollbackFailed)) {
        Complain(error);
        return kStatusBadInput;
    }
    std::string why;
    bool again = AppliesAgain(device, &why);
    if (refused) {
        again = true;
        why = "never: the terminal holds update.pub and refuses the package (the <E> line "
              "above); it stays whole";
    }
    std::cout << "== next start applies the package again: " << why << "\n";
    Tree second;
    Tree last;
    if (!ShowStart("start 2", setup, &second, &last, &error)) {
        Complain(error);
        return kStatusBadInput;
    }
    // A rollback takes the installed files away on purpose: the package's
    // files are judged by the update alone then.
    bool lost = ReportPackageFiles(first, options.crash.empty() ? last : afterFirst);
    return again || lost || rollbackFailed ? kStatusWillNotWork : kStatusClean;
}

} // namespace hailpatch
