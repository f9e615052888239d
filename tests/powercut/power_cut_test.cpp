// Power-cut convergence of the start-up update: the update of a realistic
// package is cut right after each file call it makes (after each copy also
// with the copy torn: half its bytes written, or none), and the terminal is
// then started again, with a fresh process and the same device tree, until a
// start changes nothing. Every cut point must reach the tree an
// uninterrupted start leaves within two starts, and no file of the update
// may go missing on the way: each file the update installs is, at every
// moment, whole either where it belongs or still in the package.
//
// Prints "power cut: N of N cut points converge"; exits 1 otherwise. With
// --signed the package is signed and the terminal holds the key, so every
// start that resumes must find the half-applied package still verified.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
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
    std::vector<CutPoint> CutPoints() const;
    Verdict TryCut(const CutPoint& cut);
    size_t DistinctStates() const { return m_verdicts.size(); }

private:
    std::string MissingFile(const Tree& tree) const;
    Verdict Converge(const Tree& cutTree);
    std::string NameCall(long index) const;

    const Package& m_package;
    std::vector<FileCall> m_calls;
    Tree m_expected;
    std::map<std::string, Verdict> m_verdicts;
};

bool Harness::RunUninterrupted()
{
    WriteTree(m_package.device);
    std::string log = Start(kNoCut, Tear::kNone);
    m_calls = Calls();
    m_expected = ReadTree();
    std::string again = Start(kNoCut, Tear::kNone);
    Tree second = ReadTree();
    if (!(second == m_expected)) {
        std::cout << "power cut: a second uninterrupted start still changes the tree:\n"
                  << DescribeChanges(m_expected, second) << again;
        return false;
    }
    // The harness proves nothing unless the update really did its work.
    std::string missing = MissingFile(m_expected);
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

std::vector<CutPoint> Harness::CutPoints() const
{
    std::vector<CutPoint> points;
    for (size_t i = 0; i < m_calls.size(); ++i) {
        long after = (long)i + 1;
        points.push_back({after, Tear::kNone});
        if (m_calls[i].operation == "CopyFileW" && m_calls[i].succeeded) {
            points.push_back({after, Tear::kHalf});
            points.push_back({after, Tear::kEmpty});
        }
    }
    return points;
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

std::string Harness::NameCall(long index) const
{
    const FileCall& call = m_calls[(size_t)index - 1];
    std::string name = "call " + std::to_string(index) + " " + call.operation + "(" + call.path;
    if (!call.destination.empty()) {
        name += ", " + call.destination;
    }
    return name + ")";
}

Verdict Harness::TryCut(const CutPoint& cut)
{
    WriteTree(m_package.device);
    std::string cutLog = Start(cut.after, cut.tear);
    Tree cutTree = ReadTree();
    std::string header = "cut after " + NameCall(cut.after) +
                         (cut.tear != Tear::kNone ? std::string(", ") + TearName(cut.tear) : "") +
                         "\n";
    std::string missing = MissingFile(cutTree);
    if (!missing.empty()) {
        Verdict lost;
        lost.story = header + "  the cut lost " + missing + "\n" + cutLog;
        return lost;
    }
    // What follows a cut depends on nothing but the tree it left.
    std::string key = Serialise(cutTree);
    auto known = m_verdicts.find(key);
    if (known == m_verdicts.end()) {
        known = m_verdicts.emplace(key, Converge(cutTree)).first;
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
        if (!missing.empty()) {
            verdict.story = "  start " + std::to_string(start) + " lost " + missing + "\n" + log;
            return verdict;
        }
        if (verdict.startsToResult == 0 && after == m_expected) {
            verdict.startsToResult = start;
        }
        if (after == before) {
            verdict.converged = after == m_expected && verdict.startsToResult <= kAllowedStarts;
            if (!verdict.converged) {
                verdict.story = "  settles after " + std::to_string(start) +
                                " starts, apart from the uninterrupted result:\n" +
                                DescribeChanges(m_expected, after) + log;
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

int Run(bool signedPackage)
{
    fs::path root = fs::temp_directory_path() /
                    ("hailwatch-powercut-" + std::to_string(getpid()));
    host::Reset();
    host::SetDeviceRoot(root.string());
    // The log store reads its markers once per process; read them now, so
    // that every start below makes the same file calls.
    CLogBuffer::GetInstance();

    Package package = RealisticPackage();
    std::string error;
    if (signedPackage && !SignForTerminal(&package, &error)) {
        std::cout << "power cut: the package could not be signed: " << error << "\n";
        return 1;
    }
    Harness harness(package);
    if (!harness.RunUninterrupted()) {
        return 1;
    }
    std::vector<CutPoint> points = harness.CutPoints();
    size_t converged = 0;
    size_t torn = 0;
    int worst = 0;
    for (const CutPoint& cut : points) {
        torn += cut.tear != Tear::kNone ? 1 : 0;
        Verdict verdict = harness.TryCut(cut);
        if (verdict.converged) {
            ++converged;
            worst = std::max(worst, verdict.startsToResult);
        } else {
            std::cout << verdict.story;
        }
    }
    fs::remove_all(root);
    // Cuts that all leave the finished tree behind were never cuts.
    if (harness.DistinctStates() < 2) {
        std::cout << "power cut: every cut left the same tree; the power was never cut\n";
        return 1;
    }
    std::cout << "power cut: " << points.size() - torn << " cuts after a file call and "
              << torn << " torn copies, "
              << harness.DistinctStates() << " distinct trees; the slowest took " << worst
              << " start(s)\n";
    std::cout << "power cut: " << converged << " of " << points.size()
              << " cut points converge\n";
    return converged == points.size() ? 0 : 1;
}

} // namespace
} // namespace powercut

int main(int argc, char** argv)
{
    return powercut::Run(argc > 1 && std::string(argv[1]) == "--signed");
}
