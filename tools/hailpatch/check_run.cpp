#include "check_run.h"

#include <algorithm>
#include <map>
#include <system_error>


#include "model_terminal.h"
#include "patch/PackageSignature.h"
#include "patch/VerifiedRecord.h"
#include "platform/host/host_control.h"

namespace hailpatch {

namespace {

const char* const kWatchedTitles[] = {"Hailnet", "Hailwire", "Hailfare", "Hailtrack"};


bool IsFile(const host::PathState& state)
{
    return state.exists && !state.folder;
}

bool FoldedEquals(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
        if (x != y) {
            return false;
        }
    }
    return true;
}

// The titles running on the model terminal: the watched applications and
// every other window a KILL line names; all of them stay, so every pause is
// counted at its longest.
StartupSetup SetupFor(const std::string& root, const std::vector<std::string>& titles)
{
    StartupSetup setup;
    setup.root = root;
    setup.staying.assign(std::begin(kWatchedTitles), std::end(kWatchedTitles));
    for (const std::string& title : titles) {
        if (std::find(setup.staying.begin(), setup.staying.end(), title) == setup.staying.end()) {
            setup.staying.push_back(title);
        }
    }
    return setup;
}

// The files now at the package's top level, by name.
std::vector<std::string> TopLevelFiles()
{
    std::vector<std::string> names;
    for (const host::FolderEntry& entry : host::ListFolder(host::NativePath(kUpdateFolder), false)) {
        if (!entry.state.folder && entry.path.find('/') == std::string::npos) {
            names.push_back(entry.path);
        }
    }
    return names;
}

// The names now at the package's top level, and the package's subfolder
// files that nothing moved or changed.
void LookAtPackage(const Invariants& facts, const DeviceTracker& tracker, CheckRun* run)
{
    for (const std::string& name : TopLevelFiles()) {
        LeftFile left;
        left.name = name;
        host::PathState installed = host::StateOf(std::string(kInstallFolder) + "\\" + left.name, false);
        left.collides = installed.exists && installed.folder;
        run->leftInPackage.push_back(left);
    }
    std::sort(run->leftInPackage.begin(), run->leftInPackage.end(),
              [](const LeftFile& a, const LeftFile& b) { return a.name < b.name; });
    for (const CardFile& file : facts.Package()) {
        bool touched = false;
        tracker.Now(file.path, &touched);
        if (!file.topLevel && !touched) {
            run->unmoved.push_back(file.path);
        }
    }
}

// A package file lost: which change took its last copy away, in which start
// and by which step.
std::string HowLost(const std::string& path, const CardFile& file, const DeviceTracker& tracker,
                    const std::vector<const StartTrace*>& starts);

Breaches Judge(const Invariants& facts, const DeviceTracker& tracker, const std::vector<const StartTrace*>& starts)
{
    Breaches breaches;
    for (const std::string& lost : facts.LostFiles(tracker)) {
        for (const CardFile& file : facts.Package()) {
            if (file.path == lost) {
                breaches.lostFiles.push_back(lost + ": " + HowLost(lost, file, tracker, starts));
            }
        }
    }
    breaches.missingImages = facts.MissingImages();
    for (const std::string& image : breaches.missingImages) {
        if (host::StateOf(image).folder) {
            breaches.folderImages.insert(image);
        }
    }
    breaches.removedRoots = facts.RemovedRoots();
    return breaches;
}

// The start among `starts` (in the order they ran) that made change `index`.
const StartTrace* StartOf(std::size_t index, const std::vector<const StartTrace*>& starts, int* number)
{
    for (size_t i = starts.size(); i-- > 0;) {
        if (starts[i]->journalBegin <= index) {
            *number = static_cast<int>(i);
            return starts[i];
        }
    }
    *number = 0;
    return nullptr;
}

std::string NameStep(const StartTrace& start, std::size_t index)
{
    const Step* step = start.StepOf(index);
    if (step != nullptr && step->kind == Step::Copy && step->inList) {
        for (const Step* line = step; line >= &start.steps.front(); --line) {
            if (line->kind == Step::Line) {
                step = line;
                break;
            }
        }
    }
    if (step == nullptr) {
        return "the start-up";
    }
    switch (step->kind) {
    case Step::Line:
        return "line " + std::to_string(step->number) + " (" + PatchKeyword(step->command) + ")";
    case Step::Copy: return "the bulk move";
    case Step::Staging: return "the staging step";
    case Step::ListClosed: return "the deletion of the list";
    case Step::BulkDone: return "the end of the update";
    default: return "the start-up";
    }
}

std::string HowLost(const std::string& path, const CardFile& file, const DeviceTracker& tracker,
                    const std::vector<const StartTrace*>& starts)
{
    const char* const kStartNames[] = {"the first start", "the next start", "the start after it"};
    std::string installed;
    for (size_t i = tracker.Length(); i-- > 0;) {
        const TrackedChange& change = tracker.At(i);
        bool held = IsFile(change.before) && change.before.hash == file.state.hash;
        bool kept = IsFile(change.after) && change.after.hash == file.state.hash;
        if (!held || kept) {
            continue;
        }
        int number = 0;
        const StartTrace* start = StartOf(i, starts, &number);
        std::string by = start == nullptr ? "the start-up" : NameStep(*start, i);
        std::string when = kStartNames[std::min(number, 2)];
        std::string verb = change.after.exists ? "overwritten" : "removed";
        if (change.path == path) {
            return "deleted from the package by " + by + " of " + when + " before it was installed";
        }
        return "installed as " + change.path + ", then " + verb + " by " + by + " of " + when;
    }
    return "gone from the package, and its bytes are nowhere on the terminal";
}

// A key that no CryptoAPI takes locks every terminal that installs it out
// of every later package: the terminal's own signature check says whether
// the bytes are a key at all.
std::string InstalledKey(const DeviceTracker& tracker, const StartTrace& first)
{
    const std::string key = "\\ResidentFlash\\Hailnet\\update.pub";
    bool changed = false;
    for (const PathChange& change : ChangesBetween(tracker, first.journalBegin, first.journalEnd)) {
        changed = changed || FoldedEquals(change.path, key);
    }
    host::PathState now = host::StateOf(key);
    if (!changed || !IsFile(now)) {
        return "";
    }
    std::string bytes;
    host::ReadWholeFile(host::NativePath(key), &bytes);
    std::string manifest = "HAILWATCH MANIFEST 1\n";
    std::string signature(256, '\0');
    DWORD error = 0;
    SignatureVerdict verdict = CheckManifestSignature(
        reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()),
        reinterpret_cast<const BYTE*>(manifest.data()), static_cast<DWORD>(manifest.size()),
        reinterpret_cast<const BYTE*>(signature.data()), static_cast<DWORD>(signature.size()), &error);
    if (verdict == SIGNATURE_NO_KEY) {
        return "invalid";
    }
    char digest[MANIFEST_DIGEST_SIZE];
    DigestManifest(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()), digest);
    return std::string("valid ") + digest;
}

void TakeFirstStart(const Invariants& facts, const DeviceTracker& tracker, CheckRun* run)
{
    const StartTrace& first = run->first;
    for (size_t i = 0; i < first.steps.size(); ++i) {
        run->stepChanges.push_back(ChangesBetween(tracker, first.steps[i].journal, first.StepEnd(i)));
    }
    size_t listEnd = first.journalBegin;
    for (const Step& step : first.steps) {
        if (step.kind == Step::ListClosed) {
            listEnd = step.journal;
        }
    }
    if (first.ListRan()) {
        run->afterList = ChangesBetween(tracker, listEnd, first.journalEnd);
    } else {
        run->afterList = ChangesBetween(tracker, first.journalBegin, first.journalEnd);
    }
    LookAtPackage(facts, tracker, run);
    run->afterFirst = Judge(facts, tracker, {&run->first});
    run->installedKey = InstalledKey(tracker, first);
}

void TakeSecondStart(const Invariants& facts, const DeviceTracker& tracker, CheckRun* run)
{
    for (const PathChange& change : ChangesBetween(tracker, run->second.journalBegin, run->second.journalEnd)) {
        if (!IsBookkeeping(change.path)) {
            run->nextStart.push_back(change);
        }
    }
    run->afterSecond = Judge(facts, tracker, {&run->first, &run->second});
    // A folder of the list's name still stops the package.
    bool listLeft = host::StateOf(std::string(kUpdateFolder) + "\\patch_list.txt", false).exists;
    run->completedBySecond = !listLeft && TopLevelFiles().empty();
}

bool Breached(const Breaches& breaches)
{
    return !breaches.lostFiles.empty() || !breaches.missingImages.empty() || !breaches.removedRoots.empty();
}

} // namespace

std::vector<PathChange> ChangesBetween(const DeviceTracker& tracker, std::size_t from, std::size_t to)
{
    std::map<std::string, PathChange> changes;
    for (size_t i = from; i < to && i < tracker.Length(); ++i) {
        const TrackedChange& change = tracker.At(i);
        auto [it, first] = changes.emplace(change.path, PathChange{change.path, change.before, change.after});
        if (!first) {
            it->second.after = change.after;
        }
    }
    std::vector<PathChange> out;
    for (const auto& [path, change] : changes) {
        bool same = change.before == change.after;
        // A folder's attributes alone: the terminal's own bookkeeping of it.
        if (!same) {
            out.push_back(change);
        }
    }
    return out;
}

bool RunPackageOnModel(const RunOptions& options, CheckRun* run, std::string* error)
{
    ModelTerminal terminal;
    if (!terminal.Make(options.device, options.install, options.package, options.publicKey, error)) {
        return false;
    }
    host::Reset();
    host::SetDeviceRoot(terminal.Root());
    run->keyed = host::StateOf("\\ResidentFlash\\Hailnet\\update.pub").exists;
    run->asksForRollbacks = host::StateOf("\\ResidentFlash\\Hailnet\\update.rollback").exists;
    Invariants facts;
    facts.Take(terminal.Root());
    run->roots = facts.Roots();
    host::KeepJournal(terminal.Stash());
    DeviceTracker tracker;
    StartupSetup setup = SetupFor(terminal.Root(), options.titles);
    ReferencePoints points;
    run->first = RunTracedStart(setup, RecordReference(&tracker, &points));
    tracker.CatchUp();
    TakeFirstStart(facts, tracker, run);
    run->second = RunTracedStart(setup);
    tracker.CatchUp();
    TakeSecondStart(facts, tracker, run);
    tracker.UndoTo(run->first.journalEnd);
    if (options.sweep) {
        auto judge = [&facts, &tracker, run](const CutRun& cut) {
            Breaches breaches = Judge(facts, tracker, cut.starts);
            if (Breached(breaches)) {
                run->cuts.push_back({cut.cut, breaches});
            }
        };
        run->counts = SweepCuts(setup, run->first, points, &tracker, judge, options.progress);
    }
    tracker.UndoTo(0);
    host::DropJournal();
    // The sweep leaves the power cut after its last start.
    host::Reset();
    return true;
}

} // namespace hailpatch
