#include "tests/hailpatch/check_differential.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <set>
#include <vector>

#include "check_run.h"
#include "device_tree.h"
#include "package_check.h"
#include "platform/host/host_control.h"
#include "startup_run.h"
#include "tests/powercut/device_tree.h"
#include "tests/powercut/power_cut.h"
#include "tests/powercut/signed_package.h"

namespace hailpatch_test {

namespace {

namespace fs = std::filesystem;
using hailpatch::CheckOptions;
using hailpatch::CheckReport;
using hailpatch::Finding;
using hailpatch::Severity;
using hailpatch::StartupSetup;
using powercut::Tree;

const char kPackage[] = "\\SDMMC\\AirUpdate\\";
const char kInstall[] = "\\ResidentFlash\\Hailnet\\";
const char* const kFolders[] = {"\\ResidentFlash\\Hailnet", "\\ResidentFlash\\Hailnet\\Map", "\\SDMMC\\AirUpdate",
                                "\\ResidentFlash", "\\ResidentFlash\\Hailnet\\Maps", "\\SDMMC"};
const char* const kSuffixes[] = {"", "\\.", "\\..", ".", " ", "\\", "\\Map\\.."};
const char* const kFiles[] = {"a.dll", "B.DLL", "Map\\road.dat", "Hailnet.exe", "Maps\\x.dat", "ro.dll", "*.dll"};
// Short ones add up to less than 5 minutes even with every other pause.
const char* const kSleeps[] = {"0", "1000", "20000", "400000"};
const char* const kTitles[] = {"Hailnet", "Roadlens", "Hailwatch"};
const char* const kWatched[] = {"Hailnet.exe", "Hailwire.exe", "Hailfare.exe", "Hailtrack.exe"};
const char* const kRoots[] = {"\\ResidentFlash\\", "\\SDMMC\\", "\\ResidentFlash\\Hailnet\\", "\\SDMMC\\AirUpdate\\"};
const unsigned long long kTooLongMs = 300000;
const int kMaxLines = 6;

// Reads the input a byte at a time; past its end every byte is 0.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    unsigned Next() { return at_ < size_ ? data_[at_++] : 0; }
    template <size_t N> const char* Pick(const char* const (&words)[N]) { return words[Next() % N]; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

std::string Fold(std::string text)
{
    for (char& c : text) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return text;
}

// Letter case and the separator, as an author might vary them.
std::string Spell(std::string path, unsigned how)
{
    for (char& c : path) {
        if ((how & 1) && c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        if ((how & 2) && c == '\\') {
            c = '/';
        }
    }
    return path;
}

std::string MakeLine(Bytes& in)
{
    unsigned odd = in.Next();
    // Plain spellings half the time, so that lines meet the same files.
    std::string folder = std::string(in.Pick(kFolders)) + (odd & 1 ? in.Pick(kSuffixes) : "");
    unsigned how = odd & 2 ? in.Next() : 0;
    unsigned kind = in.Next() % 8;
    if (kind == 6) {
        // Remove, then refill from the package: an author's idiom.
        std::string file = in.Pick(kFiles);
        size_t slash = file.find('\\');
        std::string refill = "\r\nCP(" + file + ")(\\ResidentFlash\\Hailnet)";
        if (slash == std::string::npos) {
            return "RM(\\ResidentFlash\\Hailnet\\" + file + ")" + refill;
        }
        std::string parent = "\\ResidentFlash\\Hailnet\\" + file.substr(0, slash);
        return "RMDIR(" + parent + ")\r\nMKDIR(" + parent + ")" + refill;
    }
    switch (kind) {
    case 0: return "MKDIR(" + Spell(folder, how) + ")";
    case 1: return "RMDIR(" + Spell(folder, how) + ")";
    case 2: return "RM(" + Spell(folder + "\\" + in.Pick(kFiles), how) + ")";
    case 3: return "CP(" + Spell(in.Pick(kFiles), how) + ")(" + Spell(folder, how >> 2) + ")";
    case 4: return std::string("SLEEP(") + in.Pick(kSleeps) + ")";
    // The package may bring it back under another letter case.
    case 7: return "RM(" + Spell("\\ResidentFlash\\Hailnet\\Hailnet.exe", how) + ")";
    default: return std::string("KILL(") + in.Pick(kTitles) + ")";
    }
}

// A terminal that has been in service: the four applications, a read-only
// library, a map, files at the flash store's and the card's top level.
Tree MakeTerminal()
{
    Tree device;
    for (const char* image : kWatched) {
        powercut::AddFile(&device, kInstall + std::string(image), std::string("old ") + image);
    }
    powercut::AddFile(&device, kInstall + std::string("a.dll"), "old a");
    powercut::AddFile(&device, kInstall + std::string("ro.dll"), "old ro", FILE_ATTRIBUTE_READONLY);
    powercut::AddFile(&device, kInstall + std::string("Map\\road.dat"), "old road");
    powercut::AddFile(&device, "\\ResidentFlash\\boot.cfg", "boot");
    powercut::AddFile(&device, "\\ResidentFlash\\sys.cfg", "sys");
    powercut::AddFile(&device, "\\SDMMC\\photo1.jpg", "photo 1");
    powercut::AddFile(&device, "\\SDMMC\\photo2.jpg", "photo 2");
    return device;
}

// The package: some of the vocabulary's files (each with bytes of its own),
// sometimes a top-level file named like a folder, and the list.
std::string MakePackage(Bytes& in, Tree* device)
{
    unsigned files = in.Next();
    for (size_t i = 0; i < 6; ++i) {
        if (files & (1u << i)) {
            std::string name = kFiles[i] == std::string("Hailnet.exe") ? "HAILNET.EXE" : kFiles[i];
            powercut::AddFile(device, kPackage + name, "package file " + name + "\n");
        }
    }
    // Named like the install folder's map folder (the package's own Map
    // folder, when it has one, keeps the name).
    if ((files & 0x40) && !(files & 0x04)) {
        powercut::AddFile(device, kPackage + std::string("Map"), "a file named like a folder\n");
    }
    std::string list;
    int lines = static_cast<int>(in.Next() % (kMaxLines + 1));
    for (int i = 0; i < lines; ++i) {
        list += MakeLine(in) + "\r\n";
    }
    powercut::AddFile(device, kPackage + std::string("patch_list.txt"), list);
    return list;
}

// ---- the oracle: the power-cut harness's own trees --------------------------

bool IsRecord(const std::string& path)
{
    return Fold(path).rfind("\\residentflash\\hailnet\\update.resume-", 0) == 0 ||
           Fold(path).rfind("\\residentflash\\log\\", 0) == 0;
}

const powercut::Entry* Find(const Tree& tree, const std::string& path)
{
    for (const auto& [at, entry] : tree) {
        if (Fold(at) == Fold(path)) {
            return &entry;
        }
    }
    return nullptr;
}

bool InPackage(const std::string& path)
{
    return Fold(path).rfind(Fold(kPackage), 0) == 0 && path.back() != '\\';
}

// Package files whose bytes are neither in their place nor anywhere else.
std::set<std::string> Lost(const Tree& before, const Tree& after)
{
    std::set<std::string> outside;
    for (const auto& [path, entry] : after) {
        if (!entry.folder && !InPackage(path)) {
            outside.insert(entry.content);
        }
    }
    std::set<std::string> lost;
    for (const auto& [path, entry] : before) {
        if (entry.folder || !InPackage(path) || Fold(path) == Fold(std::string(kPackage) + "patch_list.txt")) {
            continue;
        }
        auto now = after.find(path);
        bool inPlace = now != after.end() && now->second.content == entry.content;
        if (!inPlace && outside.count(entry.content) == 0) {
            lost.insert(path);
        }
    }
    return lost;
}

// What must hold after a start, from trees alone: the watched applications'
// executables files, the root folders there and not emptied of their files.
std::string Breach(const Tree& before, const Tree& after)
{
    for (const char* image : kWatched) {
        const powercut::Entry* was = Find(before, kInstall + std::string(image));
        const powercut::Entry* now = Find(after, kInstall + std::string(image));
        if (was != nullptr && (now == nullptr || now->folder)) {
            return std::string(image) + " is no file";
        }
    }
    for (const char* root : kRoots) {
        if (Find(before, root) != nullptr && Find(after, root) == nullptr) {
            return std::string(root) + " is gone";
        }
        bool had = false, has = false;
        for (const auto& [path, entry] : before) {
            bool top = Fold(path).rfind(Fold(root), 0) == 0 && path.find('\\', std::string(root).size()) ==
                       std::string::npos && !entry.folder && !IsRecord(path);
            had = had || (top && std::string(root) != kPackage);
            has = has || (top && Find(after, path) != nullptr);
        }
        if (had && !has) {
            return std::string(root) + " is emptied";
        }
    }
    return "";
}

StartupSetup SetupOn(const fs::path& root)
{
    StartupSetup setup;
    setup.root = hailpatch::NativeFolder(root);
    setup.staying = {"Hailnet", "Hailwire", "Hailfare", "Hailtrack", "Roadlens"};
    return setup;
}

hailpatch::StartupOutcome Start(const StartupSetup& setup, long cutAfter, powercut::Tear tear)
{
    powercut::Arm(cutAfter, tear);
    hailpatch::StartupOutcome outcome = hailpatch::RunStartup(setup);
    powercut::Disarm();
    return outcome;
}

struct Cut {
    long after;
    powercut::Tear tear;
};

std::vector<Cut> CutsOf(const std::vector<powercut::FileCall>& calls)
{
    std::vector<Cut> cuts;
    for (size_t i = 0; i < calls.size(); ++i) {
        long after = static_cast<long>(i) + 1;
        cuts.push_back({after, powercut::Tear::kNone});
        if ((calls[i].operation == "CopyFileW" || calls[i].operation == "fwrite") && calls[i].succeeded) {
            cuts.push_back({after, powercut::Tear::kHalf});
        }
        if (calls[i].operation == "CopyFileW" && calls[i].succeeded) {
            cuts.push_back({after, powercut::Tear::kEmpty});
        }
    }
    return cuts;
}

struct Oracle {
    bool willNotWork = false;
    std::string why;
    std::set<std::string> lost;       // uninterrupted or after any cut tried
    Tree afterFirst;
};

// After a cut start, two whole starts; what they lose.
std::set<std::string> LostAfterCut(const StartupSetup& setup, const Tree& initial, std::string* breach)
{
    Start(setup, powercut::kNoCut, powercut::Tear::kNone);
    Start(setup, powercut::kNoCut, powercut::Tear::kNone);
    Tree after = powercut::ReadTree();
    if (breach->empty()) {
        *breach = Breach(initial, after);
    }
    return Lost(initial, after);
}

void Note(Oracle* oracle, const std::string& why)
{
    if (!oracle->willNotWork && !why.empty()) {
        oracle->willNotWork = true;
        oracle->why = why;
    }
}

// Every cut of the first start (and, for some, of the start resuming after
// it) judged from a tree written afresh before each.
void SweepByCallCount(const StartupSetup& setup, const Tree& initial, int resumedCuts, Oracle* oracle)
{
    powercut::WriteTree(initial);
    Start(setup, powercut::kNoCut, powercut::Tear::kNone);
    std::vector<powercut::FileCall> calls = powercut::Calls();
    std::vector<Cut> cuts = CutsOf(calls);
    for (size_t i = 0; i < cuts.size(); ++i) {
        powercut::WriteTree(initial);
        Start(setup, cuts[i].after, cuts[i].tear);
        Tree cutTree = powercut::ReadTree();
        std::string breach;
        for (const std::string& path : LostAfterCut(setup, initial, &breach)) {
            oracle->lost.insert(path);
            Note(oracle, "oracle: " + path + " is lost after a cut");
        }
        Note(oracle, breach.empty() ? "" : "oracle: after a cut, " + breach);
        if (resumedCuts <= 0 || i % (cuts.size() / static_cast<size_t>(resumedCuts) + 1) != 0) {
            continue;
        }
        powercut::WriteTree(cutTree);
        Start(setup, powercut::kNoCut, powercut::Tear::kNone);
        for (const Cut& second : CutsOf(powercut::Calls())) {
            powercut::WriteTree(cutTree);
            Start(setup, second.after, second.tear);
            std::string ignored;
            for (const std::string& path : LostAfterCut(setup, initial, &ignored)) {
                oracle->lost.insert(path);
                Note(oracle, "oracle: " + path + " is lost after two cuts");
            }
        }
    }
}

Oracle AskOracle(const Tree& initial, const fs::path& root, int resumedCuts)
{
    Oracle oracle;
    host::Reset();
    host::SetDeviceRoot(root.string());
    StartupSetup setup = SetupOn(root);
    powercut::WriteTree(initial);
    hailpatch::StartupOutcome first = Start(setup, powercut::kNoCut, powercut::Tear::kNone);
    oracle.afterFirst = powercut::ReadTree();
    Start(setup, powercut::kNoCut, powercut::Tear::kNone);
    Tree afterSecond = powercut::ReadTree();
    oracle.lost = Lost(initial, afterSecond);
    for (const std::string& path : Lost(initial, oracle.afterFirst)) {
        oracle.lost.insert(path);
    }
    bool left = false, took = false;
    for (const auto& [path, entry] : initial) {
        const powercut::Entry* now = Find(oracle.afterFirst, path);
        took = took || (InPackage(path) && (now == nullptr || !(*now == entry)));
    }
    for (const auto& [path, entry] : oracle.afterFirst) {
        left = left || (InPackage(path) && path.find('\\', std::string(kPackage).size()) == std::string::npos);
    }
    Note(&oracle, oracle.lost.empty() ? "" : "oracle: " + *oracle.lost.begin() + " is lost");
    Note(&oracle, Breach(initial, oracle.afterFirst).empty() ? "" : "oracle: " + Breach(initial, oracle.afterFirst));
    Note(&oracle, left ? "oracle: files stay at the package's top level" : "");
    Note(&oracle, took ? "" : "oracle: the start takes nothing of the package");
    Note(&oracle, first.blockedMs > kTooLongMs ? "oracle: the start is blocked too long" : "");
    Note(&oracle, first.supervisorClosed ? "oracle: the supervisor is closed" : "");
    SweepByCallCount(setup, initial, resumedCuts, &oracle);
    return oracle;
}

// ---- check's side ------------------------------------------------------------

// The files check calls lost or destroyed, and whether every reason for its
// 2 is a loss in a start that resumed (which the oracle only samples).
std::set<std::string> NamedLost(const CheckReport& report, bool* onlyResumedCuts)
{
    std::set<std::string> named;
    *onlyResumedCuts = true;
    for (const Finding& finding : report.findings) {
        if (finding.severity == Severity::Warning) {
            continue;
        }
        bool resumed = finding.text.find("then, in the next start") != std::string::npos;
        *onlyResumedCuts = *onlyResumedCuts && resumed;
        if (finding.severity == Severity::Destroys) {
            for (const std::string& file : finding.files) {
                if (InPackage(file)) {
                    named.insert(file);
                }
            }
        }
    }
    return named;
}

// check's changes, step by step, applied to the terminal before the start,
// must give the tree the oracle saw after it.
std::string CompareEffects(const fs::path& device, const fs::path& package, const Tree& initial, const Tree& tried)
{
    hailpatch::RunOptions options;
    options.device = device;
    options.package = package;
    options.titles = {"Roadlens"};
    options.sweep = false;
    hailpatch::CheckRun run;
    std::string error;
    if (!hailpatch::RunPackageOnModel(options, &run, &error)) {
        return error;
    }
    std::set<std::string> paths;
    for (const auto& [path, entry] : initial) {
        paths.insert(Fold(entry.folder ? path.substr(0, path.size() - 1) : path));
    }
    auto apply = [&paths](const std::vector<hailpatch::PathChange>& changes) {
        for (const hailpatch::PathChange& change : changes) {
            if (change.after.exists) {
                paths.insert(Fold(change.path));
            } else {
                paths.erase(Fold(change.path));
            }
        }
    };
    for (size_t i = 0; i < run.first.steps.size(); ++i) {
        const hailpatch::Step& step = run.first.steps[i];
        if (!(step.kind == hailpatch::Step::Copy && step.inList)) {
            apply(run.stepChanges[i]);
        }
    }
    std::set<std::string> seen;
    for (const auto& [path, entry] : tried) {
        if (!IsRecord(path)) {
            seen.insert(Fold(entry.folder ? path.substr(0, path.size() - 1) : path));
        }
    }
    for (auto it = paths.begin(); it != paths.end();) {
        it = IsRecord(*it) ? paths.erase(it) : std::next(it);
    }
    for (const std::string& path : seen) {
        if (paths.count(path) == 0) {
            return "the oracle has " + path + ", check's steps do not make it";
        }
    }
    for (const std::string& path : paths) {
        if (seen.count(path) == 0) {
            return "check's steps leave " + path + ", the oracle has it no more";
        }
    }
    return "";
}

// The tree as a device folder on the PC, for check's --device.
fs::path WriteDevice(const Tree& tree, const fs::path& folder)
{
    host::SetDeviceRoot(folder.string());
    powercut::WriteTree(tree);
    return folder;
}

} // namespace

std::string CheckAgreesWithOracle(const std::uint8_t* data, std::size_t size, int resumedCuts)
{
    hailpatch::TempFolder work;
    std::string error;
    if (!work.Make("differential", &error)) {
        return error;
    }
    Bytes in(data, size);
    bool keyed = (in.Next() & 1) != 0;
    Tree terminal = MakeTerminal();
    Tree withPackage = terminal;
    std::string list = MakePackage(in, &withPackage);
    // Half the terminals hold the fleet's key, and the package is signed
    // for them.
    if (keyed) {
        powercut::Package signedPackage;
        signedPackage.device = withPackage;
        if (!powercut::SignForTerminal(&signedPackage, &error)) {
            return "the package could not be signed: " + error;
        }
        withPackage = signedPackage.device;
        terminal["\\ResidentFlash\\Hailnet\\update.pub"] = withPackage.at("\\ResidentFlash\\Hailnet\\update.pub");
    }
    fs::path device = WriteDevice(terminal, work.Path() / "device");
    fs::path package = work.Path() / "package";
    fs::copy(WriteDevice(withPackage, work.Path() / "staging") / "SDMMC" / "AirUpdate", package,
             fs::copy_options::recursive);

    Oracle oracle = AskOracle(withPackage, work.Path() / "oracle", resumedCuts);
    std::string differs = CompareEffects(device, package, withPackage, oracle.afterFirst);
    CheckReport report;
    CheckOptions options;
    options.package = package;
    options.device = device;
    if (differs.empty() && !hailpatch::CheckPackage(options, &report, &error)) {
        differs = "check refused the package: " + error;
    }
    bool onlyResumed = false;
    std::set<std::string> named = NamedLost(report, &onlyResumed);
    bool checkBad = report.Status() == hailpatch::kStatusWillNotWork;
    if (differs.empty() && oracle.willNotWork && !checkBad) {
        differs = "check's status is " + std::to_string(report.Status()) + ", " + oracle.why;
    } else if (differs.empty() && !oracle.willNotWork && checkBad && !onlyResumed) {
        differs = "check's status is 2, the oracle sees nothing that will not work";
    }
    for (const std::string& path : oracle.lost) {
        if (differs.empty() && named.count(path) == 0) {
            differs = "the oracle loses " + path + ", check does not name it";
        }
    }
    if (!differs.empty()) {
        std::ostringstream text;
        hailpatch::PrintReport(report, text);
        differs += "\ncheck said:\n" + text.str();
    }
    return differs.empty() ? differs : differs + (keyed ? "\non a keyed terminal" : "") + "\nthe list:\n" + list;
}

} // namespace hailpatch_test
