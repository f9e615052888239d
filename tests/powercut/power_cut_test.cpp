// Power-cut convergence of the start-up update: the update of a realistic
// package is cut right after each file call it makes (after each copy also
// with the copy torn: half its bytes written, or none), and the terminal is
// then started again, with a fresh process and the same device tree, until a
// start changes nothing. Every cut point must reach the tree an
// uninterrupted start leaves within two starts, and no file of the update
// may go missing on the way: each file the update installs is, at every
// moment, whole either where it belongs or still in the package.
//
// The start that resumes is cut as well: for a sample of first cuts, the
// next start is cut after each of its own file calls (and torn writes), and
// the terminal started again from there. Three packages: a realistic one, one
// whose list removes and refills folders, the same that also empties the
// card's top level, and the refill kept for a copy that fails at every start.
//
// The list's progress record is left out of the trees
// compared (its bytes count the writes made), but not of the trees a start
// is made from, and it must be gone once the list is.
//
// With --signed every package is signed and the terminal holds the key, so
// every start that resumes must find the half-applied package verified.
//
// With --rollback the terminal holds update.rollback and keeps an undo copy:
// at every cut, each file the update replaces or removes is whole in its
// place or in the undo copy, and once a cut has converged, a rollback from
// the undo copy it left must bring back the flash store as it was before
// the update, attributes and letter case included. Then the rollback itself
// is cut after each of its file calls (and with its copies and writes torn),
// and the next starts must finish it: every cut converges to the state
// before the update or the state after it, never between.
//
// Prints "power cut: N of N cut points converge"; exits 1 otherwise.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "log/WriteLog.h"
#include "log/LogBuffer.h"
#include "patch/StartupUpdate.h"
#include "patch/UndoRestore.h"
#include "platform/host/host_control.h"
#include "tests/powercut/device_tree.h"
#include "tests/powercut/power_cut.h"
#include "tests/powercut/signed_package.h"
#include "tests/powercut/update_package.h"

namespace powercut {
namespace {

namespace fs = std::filesystem;

// Starts made after a cut before the test gives up waiting for a start that
// changes nothing.
const int kMaxStarts = 5;
// Starts after a cut within which the uninterrupted result must be reached.
const int kAllowedStarts = 2;

SYSTEMTIME StartTime()
{
    SYSTEMTIME t = {};
    t.wYear = 2024;
    t.wMonth = 5;
    t.wDay = 14;
    t.wHour = 10;
    return t;
}

std::string DecodedLog()
{
    std::string log;
    for (const std::wstring& echoed : host::DebugOutput()) {
        std::string bytes;
        for (wchar_t unit : echoed) {
            bytes += static_cast<char>(unit & 0xff);
        }
        log += "    " + host::Cp949ToUtf8(bytes);
    }
    return log;
}

// What a start does: the start-up update, or the watchdog's rollback of the
// update once an application has failed.
enum class Work { kStartup, kRollBack };

// One start of the terminal as far as the update goes: a fresh process
// (backend tables, clock, running applications) on the tree as it stands.
// Answers the start's log.
std::string Start(long cutAfter, Tear tear, Work work = Work::kStartup)
{
    std::string root = host::DeviceRoot();
    host::Reset();
    host::SetDeviceRoot(root);
    host::UseVirtualClock(100000, StartTime());
    host::CaptureDebugOutput(true);
    SetLogEcho(1);
    for (const char* title : {"Hailnet", "Hailwire", "Hailfare", "Hailtrack"}) {
        std::string image = std::string("\\Running\\") + title + ".exe";
        host::ProgramSetup program;
        program.title = host::Widen(title);
        host::RegisterProgram(image, program);
        host::StartProgram(image);
    }
    Arm(cutAfter, tear);
    if (work == Work::kStartup) {
        RunStartupUpdate();
    } else {
        RollBackUpdate("Hailwire", 3);
    }
    Disarm();
    return DecodedLog();
}

struct CutPoint {
    long after;
    Tear tear;
};

// After each call; a copy or a write that went through also torn.
std::vector<CutPoint> CutPointsOf(const std::vector<FileCall>& calls)
{
    std::vector<CutPoint> points;
    for (size_t i = 0; i < calls.size(); ++i) {
        long after = (long)i + 1;
        points.push_back({after, Tear::kNone});
        if (calls[i].operation == "CopyFileW" && calls[i].succeeded) {
            points.push_back({after, Tear::kHalf});
            points.push_back({after, Tear::kEmpty});
        }
        if (calls[i].operation == "fwrite" && calls[i].succeeded) {
            points.push_back({after, Tear::kHalf});
        }
    }
    return points;
}

// The record's files in the flash store, and where earlier versions kept
// them (a folder standing at one of these paths is no record).
const char* const kRecordFiles[] = {
    "\\ResidentFlash\\Hailnet\\update.resume-a", "\\ResidentFlash\\Hailnet\\update.resume-b",
    "\\SDMMC\\AirUpdate.resume-a", "\\SDMMC\\AirUpdate.resume-b"};
const char kList[] = "\\SDMMC\\AirUpdate\\patch_list.txt";

bool HasPrefix(const std::string& path, const char* prefix)
{
    return path.rfind(prefix, 0) == 0;
}

bool IsRecord(const std::string& path)
{
    for (const char* file : kRecordFiles) {
        if (path == file) {
            return true;
        }
    }
    return false;
}

// The undo journal: its record in the flash store, its copy on the card.
const char* const kJournalPrefixes[] = {"\\ResidentFlash\\Hailnet\\update.undo-",
                                        "\\SDMMC\\AirUpdate.undo\\"};

bool IsJournal(const std::string& path)
{
    for (const char* prefix : kJournalPrefixes) {
        if (HasPrefix(path, prefix)) {
            return true;
        }
    }
    return false;
}

std::string JournalLeft(const Tree& tree)
{
    for (const auto& [path, entry] : tree) {
        if (IsJournal(path)) {
            return path;
        }
    }
    return std::string();
}

// The tree as the terminal's owner sees it: without the progress record
// and the undo journal.
Tree Visible(const Tree& tree)
{
    Tree visible;
    for (const auto& [path, entry] : tree) {
        if (!IsRecord(path) && !IsJournal(path)) {
            visible.emplace(path, entry);
        }
    }
    return visible;
}

// What a rollback answers for: the flash store, without the staging folders
// every start clears, the supervisor's own files, and the note of a
// verified package, which the rollback clears.
const char* const kNotRolledBack[] = {
    "\\ResidentFlash\\Update\\", "\\ResidentFlash\\SDIUpdate\\", "\\ResidentFlash\\AdtDownload\\",
    "\\ResidentFlash\\Log\\", "\\ResidentFlash\\Hailnet\\update.verified",
};

Tree FlashStore(const Tree& tree)
{
    Tree flash;
    for (const auto& [path, entry] : Visible(tree)) {
        bool skipped = !HasPrefix(path, "\\ResidentFlash\\");
        for (const char* prefix : kNotRolledBack) {
            skipped = skipped || HasPrefix(path, prefix);
        }
        if (!skipped) {
            flash.emplace(path, entry);
        }
    }
    return flash;
}

// A file of the flash store before the update that is neither in its place
// nor saved in the undo copy, or "".
std::string OldFileLost(const Tree& before, const Tree& tree)
{
    for (const auto& [path, entry] : before) {
        if (entry.folder) {
            continue;
        }
        auto here = tree.find(path);
        bool kept = here != tree.end() && here->second.content == entry.content;
        for (const auto& [saved, copy] : tree) {
            kept = kept || (HasPrefix(saved, "\\SDMMC\\AirUpdate.undo\\") &&
                            saved.size() > 4 && saved.compare(saved.size() - 4, 4, ".dat") == 0 &&
                            copy.content == entry.content);
        }
        if (!kept) {
            return path;
        }
    }
    return std::string();
}

// A record left once its list is gone, or "".
std::string StaleRecord(const Tree& tree)
{
    if (tree.count(kList) != 0) {
        return std::string();
    }
    for (const auto& [path, entry] : tree) {
        if (IsRecord(path)) {
            return path;
        }
    }
    return std::string();
}

struct Verdict {
    bool converged = false;
    bool stillUpdated = false;  // a rollback cut before its first change
    int startsToResult = 0;
    std::string story;
};

class Harness {
public:
    // `undoable`: the terminal keeps an undo copy and the update finishes,
    // so every converged cut must be one a rollback takes back whole.
    Harness(const Package& package, bool undoable)
        : m_package(package), m_undoable(undoable), m_before(FlashStore(package.device))
    {
    }

    // Runs the package without a cut; false if that does not settle at once.
    bool RunUninterrupted();
    const std::vector<FileCall>& UninterruptedCalls() const { return m_calls; }
    // The whole tree the uninterrupted start left, journal included.
    const Tree& Updated() const { return m_full; }
    // The flash store before the update.
    const Tree& Before() const { return m_before; }
    // What a rollback from `updated` leaves that differs from the flash
    // store before the update, or "".
    std::string RollBackDiffers(const Tree& updated);
    // One start from `from` cut at `cut`, then starts until one changes
    // nothing. `cutTree` receives what the cut start left.
    Verdict TryCut(const Tree& from, const CutPoint& cut, const std::string& before,
                   Tree* cutTree);
    // The file calls of an uninterrupted start from `from`.
    std::vector<FileCall> CallsFrom(const Tree& from);
    size_t DistinctStates() const { return m_verdicts.size(); }

private:
    std::string MissingFile(const Tree& tree) const;
    std::string Lost(const Tree& tree) const;
    Verdict Converge(const Tree& cutTree);

    const Package& m_package;
    const bool m_undoable;
    const Tree m_before;
    std::vector<FileCall> m_calls;
    Tree m_full;
    Tree m_expected;
    std::map<std::string, Verdict> m_verdicts;
};

std::string NameCall(const std::vector<FileCall>& calls, long index)
{
    const FileCall& call = calls[(size_t)index - 1];
    std::string name = "call " + std::to_string(index) + " " + call.operation + "(" + call.path;
    if (!call.destination.empty()) {
        name += ", " + call.destination;
    }
    return name + ")";
}

std::string NameCut(const std::vector<FileCall>& calls, const CutPoint& cut)
{
    return "cut after " + NameCall(calls, cut.after) +
           (cut.tear != Tear::kNone ? std::string(", ") + TearName(cut.tear) : "");
}

bool Harness::RunUninterrupted()
{
    WriteTree(m_package.device);
    std::string log = Start(kNoCut, Tear::kNone);
    m_calls = Calls();
    Tree full = ReadTree();
    m_full = full;
    m_expected = Visible(full);
    std::string again = Start(kNoCut, Tear::kNone);
    Tree second = Visible(ReadTree());
    if (!(second == m_expected)) {
        std::cout << "power cut: a second uninterrupted start still changes the tree:\n"
                  << DescribeChanges(m_expected, second) << again;
        return false;
    }
    // The harness proves nothing unless the update really did its work.
    std::string missing = MissingFile(m_expected);
    if (!StaleRecord(full).empty()) {
        missing = StaleRecord(full) + " outlived the list";
    }
    for (const auto& [destination, source] : m_package.sourceOf) {
        auto installed = m_expected.find(destination);
        if (installed == m_expected.end() ||
            installed->second.content != m_package.device.at(source).content) {
            missing = destination + " was not installed from " + source;
        }
    }
    if (missing.empty() && m_undoable && JournalLeft(full).empty()) {
        missing = "no undo journal";
    }
    if (!missing.empty()) {
        std::cout << "power cut: the uninterrupted update is not complete: " << missing << "\n"
                  << log;
        return false;
    }
    std::string differs = m_undoable ? RollBackDiffers(full) : std::string();
    if (!differs.empty()) {
        std::cout << "power cut: the uninterrupted update is not taken back whole:\n" << differs;
        return false;
    }
    std::cout << "power cut: the uninterrupted start makes " << m_calls.size()
              << " file calls and installs " << m_package.sourceOf.size() << " files\n";
    return true;
}

// A file of the finished update that is nowhere whole, or "".
std::string Harness::MissingFile(const Tree& tree) const
{
    for (const auto& [path, entry] : m_expected) {
        if (entry.folder) {
            continue;
        }
        auto holds = [&](const std::string& place) {
            auto found = tree.find(place);
            return found != tree.end() && found->second.content == entry.content;
        };
        auto source = m_package.sourceOf.find(path);
        // A file neither on the device before nor carried by the package is
        // the update's own note (a signed package's), not a file to keep.
        if (source == m_package.sourceOf.end() && m_package.device.count(path) == 0) {
            continue;
        }
        if (!holds(path) && (source == m_package.sourceOf.end() || !holds(source->second))) {
            return path;
        }
    }
    return std::string();
}

// Installed files of the update, and with an undo copy the flash store's
// old files too: each must be whole somewhere at every moment.
std::string Harness::Lost(const Tree& tree) const
{
    std::string missing = MissingFile(tree);
    if (missing.empty() && m_undoable) {
        missing = OldFileLost(m_before, tree);
        missing = missing.empty() ? missing : missing + " (its old bytes)";
    }
    return missing;
}

std::string Harness::RollBackDiffers(const Tree& updated)
{
    WriteTree(updated);
    std::string log = Start(kNoCut, Tear::kNone, Work::kRollBack);
    Tree rolled = ReadTree();
    if (!(FlashStore(rolled) == m_before)) {
        return "  the rollback leaves:\n" + DescribeChanges(m_before, FlashStore(rolled)) + log;
    }
    if (!JournalLeft(rolled).empty()) {
        return "  " + JournalLeft(rolled) + " outlived the rollback\n" + log;
    }
    return std::string();
}

std::vector<FileCall> Harness::CallsFrom(const Tree& from)
{
    WriteTree(from);
    Start(kNoCut, Tear::kNone);
    return Calls();
}

Verdict Harness::TryCut(const Tree& from, const CutPoint& cut, const std::string& header,
                        Tree* cutTree)
{
    WriteTree(from);
    std::string cutLog = Start(cut.after, cut.tear);
    *cutTree = ReadTree();
    std::string missing = Lost(*cutTree);
    if (!missing.empty()) {
        Verdict lost;
        lost.story = header + "  the cut lost " + missing + "\n" + cutLog;
        return lost;
    }
    // What follows a cut depends on nothing but the tree it left, the
    // progress record included.
    std::string key = Serialise(*cutTree);
    auto known = m_verdicts.find(key);
    if (known == m_verdicts.end()) {
        known = m_verdicts.emplace(key, Converge(*cutTree)).first;
    }
    Verdict verdict = known->second;
    verdict.story = header + verdict.story;
    return verdict;
}

Verdict Harness::Converge(const Tree& cutTree)
{
    Verdict verdict;
    Tree before = cutTree;
    for (int start = 1; start <= kMaxStarts; ++start) {
        std::string log = Start(kNoCut, Tear::kNone);
        Tree after = ReadTree();
        std::string missing = Lost(after);
        if (missing.empty() && !StaleRecord(after).empty()) {
            missing = StaleRecord(after) + " (the list is gone, its record is not)";
        }
        if (!missing.empty()) {
            verdict.story = "  start " + std::to_string(start) + " lost " + missing + "\n" + log;
            return verdict;
        }
        bool reached = Visible(after) == m_expected;
        if (verdict.startsToResult == 0 && reached) {
            verdict.startsToResult = start;
        }
        if (after == before) {
            verdict.converged = reached && verdict.startsToResult <= kAllowedStarts;
            std::string differs = verdict.converged && m_undoable ? RollBackDiffers(after) : "";
            if (!differs.empty()) {
                verdict.converged = false;
                verdict.story = "  the undo copy the cut left does not take the update back:\n" + differs;
            } else if (!verdict.converged) {
                verdict.story = "  settles after " + std::to_string(start) +
                                " starts, apart from the uninterrupted result:\n" +
                                DescribeChanges(m_expected, Visible(after)) + log;
            } else if (verdict.startsToResult == 0) {
                verdict.startsToResult = start;
            }
            return verdict;
        }
        verdict.story += "  start " + std::to_string(start) + " changed:\n" +
                         DescribeChanges(before, after);
        before = after;
    }
    verdict.story += "  still changing after " + std::to_string(kMaxStarts) + " starts\n";
    return verdict;
}

struct Tally {
    size_t points = 0;
    size_t converged = 0;
    size_t torn = 0;
    int worst = 0;
};

void Count(const Verdict& verdict, const CutPoint& cut, Tally* tally)
{
    ++tally->points;
    tally->torn += cut.tear != Tear::kNone ? 1 : 0;
    if (verdict.converged) {
        ++tally->converged;
        tally->worst = std::max(tally->worst, verdict.startsToResult);
    } else {
        std::cout << verdict.story;
    }
}

// A tree a cut start left, and the cut that left it.
struct CutTree {
    std::string cut;
    Tree tree;
};

// Cuts the first start at every point; then, for `samples` of the distinct
// trees those cuts left (spread over the start), cuts the start that resumes
// from each at every one of its own points.
// The starts after a cut rollback, until one changes nothing: the flash
// store must be as before the update within two, the journal gone; or, for
// a cut before the rollback changed anything, still as after the update
// with its journal whole, so that the next failure takes it back. No old
// file may be missing from both its place and the undo copy meanwhile.
Verdict ConvergeRollBack(Harness& harness, const Tree& cutTree)
{
    Verdict verdict;
    Tree before = cutTree;
    for (int start = 1; start <= kMaxStarts; ++start) {
        std::string log = Start(kNoCut, Tear::kNone);
        Tree after = ReadTree();
        std::string lost = OldFileLost(harness.Before(), after);
        if (!lost.empty()) {
            verdict.story = "  start " + std::to_string(start) + " lost " + lost + "\n" + log;
            return verdict;
        }
        bool reached = FlashStore(after) == harness.Before() && JournalLeft(after).empty();
        if (verdict.startsToResult == 0 && reached) {
            verdict.startsToResult = start;
        }
        if (after == before) {
            verdict.converged = reached && verdict.startsToResult <= kAllowedStarts;
            if (!reached && FlashStore(after) == FlashStore(harness.Updated())) {
                std::string differs = harness.RollBackDiffers(after);
                verdict.converged = differs.empty();
                verdict.stillUpdated = differs.empty();
                verdict.startsToResult = start;
                verdict.story = "  settles as after the update, and a rollback from there:\n" + differs;
            } else if (!verdict.converged) {
                verdict.story = "  settles after " + std::to_string(start) +
                                " starts, apart from the flash store before the update:\n" +
                                DescribeChanges(harness.Before(), FlashStore(after)) +
                                JournalLeft(after) + "\n" + log;
            }
            return verdict;
        }
        before = after;
    }
    verdict.story = "  still changing after " + std::to_string(kMaxStarts) + " starts\n";
    return verdict;
}

// One cut of `work` from `from`, then the starts that finish the rollback.
Verdict CutRollBackOnce(Harness& harness, const Tree& from, const CutPoint& cut, Work work,
                        const std::string& header, Tree* cutTree)
{
    WriteTree(from);
    std::string cutLog = Start(cut.after, cut.tear, work);
    *cutTree = ReadTree();
    Verdict verdict;
    std::string lost = OldFileLost(harness.Before(), *cutTree);
    if (!lost.empty()) {
        verdict.story = header + "  the cut lost " + lost + "\n" + cutLog;
        return verdict;
    }
    verdict = ConvergeRollBack(harness, *cutTree);
    verdict.story = header + verdict.story;
    return verdict;
}

// The rollback of the uninterrupted update cut after each of its file
// calls; then, for `samples` of the distinct trees those cuts left, the
// start that takes the rollback up, cut after each of its own.
void CutRollBack(Harness& harness, size_t samples, Tally* tally)
{
    WriteTree(harness.Updated());
    Start(kNoCut, Tear::kNone, Work::kRollBack);
    const std::vector<FileCall> calls = Calls();
    std::vector<CutTree> resumable;
    std::set<std::string> seen;
    size_t cuts = 0;
    size_t untouched = 0;
    for (const CutPoint& cut : CutPointsOf(calls)) {
        CutTree left;
        left.cut = "rollback " + NameCut(calls, cut);
        Verdict verdict = CutRollBackOnce(harness, harness.Updated(), cut, Work::kRollBack,
                                          left.cut + "\n", &left.tree);
        Count(verdict, cut, tally);
        ++cuts;
        untouched += verdict.stillUpdated ? 1 : 0;
        if (verdict.converged && seen.insert(Serialise(left.tree)).second) {
            resumable.push_back(left);
        }
    }
    size_t taken = std::min(samples, resumable.size());
    size_t resumedCuts = 0;
    for (size_t i = 0; i < taken; ++i) {
        const CutTree& from = resumable[(2 * i + 1) * resumable.size() / (2 * taken)];
        WriteTree(from.tree);
        Start(kNoCut, Tear::kNone);
        const std::vector<FileCall> resumed = Calls();
        for (const CutPoint& cut : CutPointsOf(resumed)) {
            Tree cutTree;
            std::string header = from.cut + ", then in the next start " + NameCut(resumed, cut) + "\n";
            Count(CutRollBackOnce(harness, from.tree, cut, Work::kStartup, header, &cutTree), cut, tally);
            ++resumedCuts;
        }
    }
    std::cout << "power cut:   " << cuts << " cuts of the rollback (" << untouched
              << " before its first change, left as after the update), " << resumedCuts
              << " of the start taking it up after " << taken << " of " << resumable.size()
              << " distinct rollback cuts\n";
}

// `undoable`: the terminal keeps an undo copy and the package finishes, so
// its rollback is cut too.
bool CutPackage(const std::string& name, const Package& package, size_t samples, Tally* tally,
                bool undoable = false)
{
    std::cout << "power cut: " << name << ":\n";
    Harness harness(package, undoable);
    if (!harness.RunUninterrupted()) {
        return false;
    }
    const std::vector<FileCall> calls = harness.UninterruptedCalls();
    std::vector<CutTree> resumable;
    std::set<std::string> seen = {Serialise(package.device)};
    size_t firstCuts = 0;
    for (const CutPoint& cut : CutPointsOf(calls)) {
        CutTree left;
        left.cut = NameCut(calls, cut);
        Verdict verdict = harness.TryCut(package.device, cut, left.cut + "\n", &left.tree);
        Count(verdict, cut, tally);
        ++firstCuts;
        if (verdict.converged && seen.insert(Serialise(left.tree)).second) {
            resumable.push_back(left);
        }
    }
    size_t taken = std::min(samples, resumable.size());
    size_t resumedCuts = 0;
    for (size_t i = 0; i < taken; ++i) {
        const CutTree& from = resumable[(2 * i + 1) * resumable.size() / (2 * taken)];
        std::vector<FileCall> resumed = harness.CallsFrom(from.tree);
        for (const CutPoint& cut : CutPointsOf(resumed)) {
            Tree cutTree;
            std::string header = from.cut + ", then in the next start " + NameCut(resumed, cut) + "\n";
            Count(harness.TryCut(from.tree, cut, header, &cutTree), cut, tally);
            ++resumedCuts;
        }
    }
    // Cuts that all leave the finished tree behind were never cuts.
    if (harness.DistinctStates() < 2) {
        std::cout << "power cut: every cut left the same tree; the power was never cut\n";
        return false;
    }
    std::cout << "power cut:   " << firstCuts << " cuts of the first start, " << resumedCuts
              << " of the start resuming after " << taken << " of " << resumable.size()
              << " distinct first cuts; " << harness.DistinctStates() << " distinct trees\n";
    if (undoable) {
        CutRollBack(harness, 1, tally);
    }
    return true;
}

// A device root in memory where there is one: the test rewrites the whole
// device before every start.
fs::path ScratchRoot()
{
    std::error_code ec;
    fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    return base / ("hailwatch-powercut-" + std::to_string(getpid()));
}

struct Mode {
    bool signedPackage = false;
    bool rollback = false;   // the terminal holds update.rollback
};

// The package as made, or signed with the key on the terminal, on a
// terminal that asks for rollbacks or not.
Package Prepared(Package package, const Mode& mode, bool* ready)
{
    bool signedPackage = mode.signedPackage;
    if (mode.rollback) {
        AddFile(&package.device, "\\ResidentFlash\\Hailnet\\update.rollback", "");
    }
    std::string error;
    if (*ready && signedPackage && !SignForTerminal(&package, &error)) {
        std::cout << "power cut: the package could not be signed: " << error << "\n";
        *ready = false;
    }
    return package;
}

int Run(const Mode& mode)
{
    fs::path root = ScratchRoot();
    host::Reset();
    host::SetDeviceRoot(root.string());
    // The log store reads its markers once per process; read them now, so
    // that every start below makes the same file calls.
    CLogBuffer::GetInstance();

    Tally tally;
    bool ready = true;
    const Package realistic = Prepared(RealisticPackage(), mode, &ready);
    const Package refill = Prepared(RefillPackage(), mode, &ready);
    const Package cleaning = Prepared(CardCleaningPackage(), mode, &ready);
    const Package kept = Prepared(KeptRefillPackage(), mode, &ready);
    const Package cardFolders = Prepared(RefillWithCardRecordFolders(), mode, &ready);
    const Package blocked = Prepared(RefillWithRecordPathBlocked(), mode, &ready);
    // The kept refill never finishes, so there is no probation to cut. With
    // the rollback's own cuts, the resuming start of the update is not cut
    // again (every first cut is followed by one, uninterrupted, and the sweep
    // without an undo copy cuts it at length); the one taking up a rollback is.
    bool undoable = mode.rollback;
    size_t samples = mode.rollback ? 0 : 4;
    bool complete = ready && CutPackage("a realistic package", realistic, mode.rollback ? 0 : 1, &tally, undoable) &&
                    CutPackage("a list that refills folders", refill, samples, &tally, undoable) &&
                    CutPackage("a refill that also cleans the card", cleaning, samples, &tally, undoable) &&
                    CutPackage("the refill kept for a failed copy", kept, samples, &tally) &&
                    (mode.rollback || CutPackage("the refill beside folders at the card's old record paths",
                                                 cardFolders, 2, &tally)) &&
                    // Unsigned, a blocked start changes nothing at all: no cut to make.
                    (!mode.signedPackage || mode.rollback ||
                     CutPackage("the refill with the record's path blocked", blocked, 1, &tally));
    fs::remove_all(root);
    if (!complete) {
        return 1;
    }
    std::cout << "power cut: " << tally.points - tally.torn << " cuts after a file call and "
              << tally.torn << " torn copies or writes; the slowest took " << tally.worst
              << " start(s)\n";
    std::cout << "power cut: " << tally.converged << " of " << tally.points
              << " cut points converge\n";
    return tally.converged == tally.points ? 0 : 1;
}

} // namespace
} // namespace powercut

int main(int argc, char** argv)
{
    powercut::Mode mode;
    for (int i = 1; i < argc; ++i) {
        mode.signedPackage = mode.signedPackage || std::string(argv[i]) == "--signed";
        mode.rollback = mode.rollback || std::string(argv[i]) == "--rollback";
    }
    return powercut::Run(mode);
}
