#include "tests/hailpatch/check_differential.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "check_run.h"
#include "device_tree.h"
#include "model_terminal.h"
#include "package_check.h"
#include "package_outcome.h"
#include "startup_run.h"

namespace hailpatch_test {

namespace {

namespace fs = std::filesystem;
using namespace hailpatch;

const char* const kFolders[] = {"\\ResidentFlash\\Hailnet", "\\ResidentFlash\\Hailnet\\Map",
                                "\\SDMMC\\AirUpdate", "\\ResidentFlash", "\\ResidentFlash\\Hailnet\\Maps"};
const char* const kSuffixes[] = {"", "\\.", "\\..", ".", " ", "\\", "\\Map\\.."};
const char* const kFiles[] = {"a.dll", "B.DLL", "Map\\road.dat", "Hailnet.exe", "Maps\\x.dat"};
// Short ones add up to less than 5 minutes even with every other pause.
const char* const kSleeps[] = {"0", "1000", "20000", "400000"};
const char* const kTitles[] = {"Hailnet", "Roadlens"};
const unsigned long long kTooLongSleepMs = 300000;
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
    unsigned kind = in.Next() % 7;
    if (kind == 6) {
        // Remove, then refill from the package: an author's idiom.
        std::string file = in.Pick(kFiles);
        size_t slash = file.find('\\');
        std::string refill = "\r\nCP(" + file + ")(\\ResidentFlash\\Hailnet)";
        if (slash == std::string::npos) {
            return "RM(\\ResidentFlash\\Hailnet\\" + file + ")" + refill;
        }
        std::string folder = "\\ResidentFlash\\Hailnet\\" + file.substr(0, slash);
        return "RMDIR(" + folder + ")\r\nMKDIR(" + folder + ")" + refill;
    }
    switch (kind) {
    case 0: return "MKDIR(" + Spell(folder, how) + ")";
    case 1: return "RMDIR(" + Spell(folder, how) + ")";
    case 2: return "RM(" + Spell(folder + "\\" + in.Pick(kFiles), how) + ")";
    case 3: return "CP(" + Spell(in.Pick(kFiles), how) + ")(" + Spell(folder, how >> 2) + ")";
    case 4: return std::string("SLEEP(") + in.Pick(kSleeps) + ")";
    default: return std::string("KILL(") + in.Pick(kTitles) + ")";
    }
}

void WriteFile(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// The package: some of the vocabulary's files (each with bytes of its own),
// sometimes a top-level file named like a folder, and the list.
std::string MakePackage(Bytes& in, const fs::path& folder)
{
    unsigned files = in.Next();
    for (size_t i = 0; i < 5; ++i) {
        if (files & (1u << i)) {
            std::string name = kFiles[i] == std::string("Hailnet.exe") ? "c.dll" : kFiles[i];
            std::string native = name;
            for (char& c : native) {
                c = c == '\\' ? '/' : c;
            }
            WriteFile(folder / native, "package file " + name + "\n");
        }
    }
    if (files & 0x40) {
        WriteFile(folder / "Map", "a file named like a folder\n");
    }
    std::string list;
    int lines = static_cast<int>(in.Next() % (kMaxLines + 1));
    for (int i = 0; i < lines; ++i) {
        list += MakeLine(in) + "\r\n";
    }
    WriteFile(folder / "patch_list.txt", list);
    return list;
}

bool TopLevelLeft(const Tree& after)
{
    std::string top = std::string(kPackageTreeFolder) + "/";
    for (const auto& [path, entry] : after) {
        if (!entry.folder && path.rfind(top, 0) == 0 && path.find('/', top.size()) == std::string::npos) {
            return true;
        }
    }
    return false;
}

// What try observes, judged from its trees alone: 2 when the package never
// finishes, loses a file of its own or of the watched applications, or
// blocks a start too long.
bool TrySaysWillNotWork(const fs::path& package, int listLines, std::string* why)
{
    ModelTerminal terminal;
    std::string error;
    if (!terminal.Make(fs::path(), package, &error)) {
        *why = "no model terminal: " + error;
        return false;
    }
    StartupSetup setup;
    setup.root = terminal.Root();
    setup.staying = {"Hailnet", "Hailwire", "Hailfare", "Hailtrack", "Roadlens"};
    Tree before, afterFirst, afterSecond;
    SnapshotTree(setup.root, &before, &error);
    StartupOutcome first = RunStartup(setup);
    SnapshotTree(setup.root, &afterFirst, &error);
    RunStartup(setup);
    SnapshotTree(setup.root, &afterSecond, &error);
    if (TopLevelLeft(afterFirst)) {
        *why = "try: files stay at the package's top level";
    } else if (!LostPackageFiles(before, afterSecond).empty()) {
        *why = "try: a package file is lost";
    } else if (first.blockedMs > kTooLongSleepMs) {
        *why = "try: the start is blocked " + std::to_string(first.blockedMs) + " ms";
    }
    // Cut after every line, not only those check picks.
    std::vector<int> lines;
    for (int line = 1; line <= listLines; ++line) {
        lines.push_back(line);
    }
    std::vector<CutLoss> losses;
    if (why->empty() && SweepCuts(fs::path(), package, setup.staying, lines, &losses, &error) &&
        !losses.empty()) {
        *why = "try: a package file is lost when a start is cut after line " +
               std::to_string(losses.front().line);
    }
    for (const char* image : kWatchedImages) {
        std::string path = std::string("ResidentFlash/Hailnet/") + image;
        if (afterSecond.count(path) == 0) {
            *why = std::string("try: ") + image + " is gone";
        }
    }
    return !why->empty();
}

// The run's line-by-line changes, applied in order to the tree before it,
// give the tree try saw after the start.
std::string CompareEffects(const fs::path& package)
{
    ModelTerminal checked, tried;
    std::string error;
    if (!checked.Make(fs::path(), package, &error) || !tried.Make(fs::path(), package, &error)) {
        return "no model terminal: " + error;
    }
    std::vector<std::string> titles = {"Hailnet", "Hailwire", "Hailfare", "Hailtrack", "Roadlens"};
    CheckRun run;
    if (!RunOnModel(checked.Root(), titles, &run, &error)) {
        return error;
    }
    std::set<std::string> paths;
    for (const auto& [path, entry] : StatDeviceTree(tried.Root())) {
        paths.insert(path);
    }
    auto apply = [&paths](const std::vector<Change>& changes) {
        for (const Change& change : changes) {
            if (change.what == Change::Removed) {
                paths.erase(change.path);
            } else {
                paths.insert(change.path);
            }
        }
    };
    for (const LineRun& line : run.starts[0].lines) {
        apply(line.changes);
    }
    apply(run.starts[0].afterList);
    StartupSetup setup;
    setup.root = tried.Root();
    setup.staying = titles;
    RunStartup(setup);
    // The list's progress record is the supervisor's own, not an effect.
    auto own = [](const std::string& path) { return path.rfind("\\ResidentFlash\\Hailnet\\update.resume-", 0) == 0; };
    std::set<std::string> seen;
    for (const auto& [path, entry] : StatDeviceTree(tried.Root())) {
        if (!own(path)) {
            seen.insert(path);
        }
    }
    for (const std::string& path : seen) {
        if (paths.count(path) == 0) {
            return "try has " + path + ", check's lines do not make it";
        }
    }
    for (const std::string& path : paths) {
        if (seen.count(path) == 0) {
            return "check's lines leave " + path + ", try has it no more";
        }
    }
    return std::string();
}

} // namespace

std::string CheckAgreesWithTry(const std::uint8_t* data, std::size_t size)
{
    TempFolder work;
    std::string error;
    if (!work.Make("differential", &error)) {
        return error;
    }
    Bytes in(data, size);
    fs::path package = work.Path() / "package";
    std::string list = MakePackage(in, package);
    std::string differs = CompareEffects(package);
    CheckReport report;
    if (differs.empty() && !CheckPackage(package, fs::path(), &report, &error)) {
        differs = "check refused the package: " + error;
    }
    std::string why;
    int listLines = 0;
    for (size_t at = list.find('\n'); at != std::string::npos; at = list.find('\n', at + 1)) {
        ++listLines;
    }
    bool tryBad = differs.empty() && TrySaysWillNotWork(package, listLines, &why);
    if (differs.empty() && tryBad != (report.Status() == kStatusWillNotWork)) {
        differs = "check's status is " + std::to_string(report.Status()) + ", " +
                  (tryBad ? why : "try sees nothing that will not work");
    }
    return differs.empty() ? differs : differs + "\nthe list:\n" + list;
}

} // namespace hailpatch_test
