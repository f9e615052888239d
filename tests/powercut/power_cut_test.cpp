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

// One start of the terminal as far as the update goes: a fresh process
// (backend tables, clock, running applications) on the tree as it stands.
// Answers the start's log.
std::string Start(long cutAfter, Tear tear)
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
    RunStartupUpdate();
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

bool IsRecord(const std::string& path)
{
    for (const char* file : kRecordFiles) {
        if (path == file) {
            return true;
        }
    }
    return false;
}

// The tree as the terminal's owner sees it: without the progress record.
Tree Visible(const Tree& tree)
{
    Tree visible;
    for (const auto& [path, entry] : tree) {
        if (!IsRecord(path)) {
            visible.emplace(path, entry);
        }
    }
    return visible;
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
    int startsToResult = 0;
    std::string story;
};

class Harness {
public:
    explicit Harness(const Package& package) : m_package(package) {}

    // Runs the package without a cut; false if that does not settle at once.
    bool RunUninterrupted();
    const std::vector<FileCall>& UninterruptedCalls() const { return m_calls; }
    // One start from `from` cut at `cut`, then starts until one changes
    // nothing. `cutTree` receives what the cut start left.
    Verdict TryCut(const Tree& from, const CutPoint& cut, const std::string& before,
                   Tree* cutTree);
    // The file calls of an uninterrupted start from `from`.
    std::vector<FileCall> CallsFrom(const Tree& from);
    size_t DistinctStates() const { return m_verdicts.size(); }

private:
    std::string MissingFile(const Tree& tree) const;
    Verdict Converge(const Tree& cutTree);

    const Package& m_package;
    std::vector<FileCall> m_calls;
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
    if (!missing.empty()) {
        std::cout << "power cut: the uninterrupted update is not complete: " << missing << "\n"
                  << log;
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
    std::string missing = MissingFile(*cutTree);
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
        std::string missing = MissingFile(after);
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
            if (!verdict.converged) {
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
bool CutPackage(const std::string& name, const Package& package, size_t samples, Tally* tally)
{
    std::cout << "power cut: " << name << ":\n";
    Harness harness(package);
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

// The package as made, or signed with the key on the terminal.
Package Prepared(Package package, bool signedPackage, bool* ready)
{
    std::string error;
    if (*ready && signedPackage && !SignForTerminal(&package, &error)) {
        std::cout << "power cut: the package could not be signed: " << error << "\n";
        *ready = false;
    }
    return package;
}

int Run(bool signedPackage)
{
    fs::path root = ScratchRoot();
    host::Reset();
    host::SetDeviceRoot(root.string());
    // The log store reads its markers once per process; read them now, so
    // that every start below makes the same file calls.
    CLogBuffer::GetInstance();

    Tally tally;
    bool ready = true;
    const Package realistic = Prepared(RealisticPackage(), signedPackage, &ready);
    const Package refill = Prepared(RefillPackage(), signedPackage, &ready);
    const Package cleaning = Prepared(CardCleaningPackage(), signedPackage, &ready);
    const Package kept = Prepared(KeptRefillPackage(), signedPackage, &ready);
    const Package cardFolders = Prepared(RefillWithCardRecordFolders(), signedPackage, &ready);
    const Package blocked = Prepared(RefillWithRecordPathBlocked(), signedPackage, &ready);
    bool complete = ready && CutPackage("a realistic package", realistic, 1, &tally) &&
                    CutPackage("a list that refills folders", refill, 4, &tally) &&
                    CutPackage("a refill that also cleans the card", cleaning, 4, &tally) &&
                    CutPackage("the refill kept for a failed copy", kept, 4, &tally) &&
                    CutPackage("the refill beside folders at the card's old record paths",
                               cardFolders, 2, &tally) &&
                    // Unsigned, a blocked start changes nothing at all: no cut to make.
                    (!signedPackage ||
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
    return powercut::Run(argc > 1 && std::string(argv[1]) == "--signed");
}
