// `hailpatch make`: a package that turns one install folder into another,
// checked, then proven on a copy of the old one.
#include <algorithm>
#include <iostream>
#include <set>
#include <sstream>
#include <system_error>

#include "commands.h"
#include "device_tree.h"
#include "model_terminal.h"
#include "native_text.h"
#include "package_check.h"
#include "package_signing.h"
#include "package_plan.h"
#include "pc_names.h"
#include "startup_run.h"

namespace hailpatch {

namespace {

bool ValidateFolder(const fs::path& folder, std::string* error)
{
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        *error = DisplayName(folder) + (fs::exists(folder, ec) ? ": not a folder" : ": no such folder");
        return false;
    }
    return true;
}

bool IsInside(const fs::path& path, const fs::path& folder)
{
    std::error_code ec;
    fs::path inner = fs::weakly_canonical(fs::absolute(path, ec), ec);
    fs::path outer = fs::weakly_canonical(fs::absolute(folder, ec), ec);
    auto mismatch = std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end());
    return mismatch.first == outer.end();
}

bool ValidateOutput(const MakeOptions& options, std::string* error)
{
    const fs::path& output = options.output;
    if (IsInside(output, options.from) || IsInside(output, options.to)) {
        *error = DisplayName(output) + ": inside " + DisplayName(IsInside(output, options.from) ?
                 options.from : options.to) + ", which make reads: choose a folder outside OLD and NEW";
        return false;
    }
    std::error_code ec;
    if (fs::exists(output, ec) && (!fs::is_directory(output, ec) || !fs::is_empty(output, ec))) {
        *error = DisplayName(output) + ": already exists and is not an empty folder";
        return false;
    }
    return true;
}

// Whether make left `path` alone: the path itself or a folder above it.
bool LeftAloneWithin(const LeftAlone& leftAlone, const std::string& path)
{
    for (size_t end = path.find('/'); end != std::string::npos; end = path.find('/', end + 1)) {
        if (leftAlone.Covers(path.substr(0, end))) {
            return true;
        }
    }
    return leftAlone.Covers(path);
}

// The folders of `tree` that hold a path left alone: they stay whatever NEW says.
std::set<std::string> HoldingFolders(const Tree& tree, const LeftAlone& leftAlone)
{
    std::set<std::string> holding;
    for (const auto& entry : tree) {
        const std::string& path = entry.first;
        if (!leftAlone.Covers(path)) {
            continue;
        }
        for (size_t end = path.rfind('/'); end != std::string::npos && end > 0; end = path.rfind('/', end - 1)) {
            if (!holding.insert(path.substr(0, end)).second) {
                break;
            }
        }
    }
    return holding;
}

// Differences between the install folder after the try and NEW, what make
// leaves alone aside (the supervisor's own files are the terminal's).
std::vector<std::string> CompareWithNew(const fs::path& result, const fs::path& expected, const LeftAlone& leftAlone,
                                        std::string* error)
{
    Tree got;
    Tree wanted;
    std::vector<std::string> differences;
    if (!SnapshotTree(result, &got, error) || !SnapshotTree(expected, &wanted, error)) {
        return differences;
    }
    for (const auto& [path, entry] : wanted) {
        if (LeftAloneWithin(leftAlone, path)) {
            continue;
        }
        auto it = got.find(path);
        if (it == got.end()) {
            differences.push_back("missing " + path);
        } else if (it->second.folder != entry.folder ||
                   (!entry.folder && !SameBytes(result / fs::u8path(path), expected / fs::u8path(path)))) {
            differences.push_back("differs " + path);
        }
    }
    std::set<std::string> holding = HoldingFolders(got, leftAlone);
    for (const auto& [path, entry] : got) {
        if (wanted.count(path) == 0 && !LeftAloneWithin(leftAlone, path) && holding.count(path) == 0) {
            differences.push_back("extra   " + path);
        }
    }
    return differences;
}

// A copy of OLD as a terminal's device, holding `publicKey` as update.pub
// when one is given.
bool MakeDevice(const MakeOptions& options, const fs::path& publicKey, TempFolder* device, std::string* error)
{
    return device->Make("make-device", error) &&
           CopyTree(options.from, device->Path() / "ResidentFlash" / "Hailnet", error) &&
           (publicKey.empty() || PlaceKey(publicKey, device->Path(), error));
}

// Runs the start-up with the package on a copy of OLD; answers the
// differences from NEW and what the package left.
bool ProvePackage(const MakeOptions& options, const LeftAlone& leftAlone, const fs::path& publicKey,
                  std::vector<std::string>* problems, std::string* error)
{
    TempFolder device;
    if (!MakeDevice(options, publicKey, &device, error) ||
        !CopyTree(options.output, device.Path() / "SDMMC" / "AirUpdate", error)) {
        return false;
    }
    StartupSetup setup;
    setup.root = device.Path();
    RunStartup(setup);
    *problems = CompareWithNew(device.Path() / "ResidentFlash" / "Hailnet", options.to, leftAlone, error);
    if (!error->empty()) {
        return false;
    }
    std::error_code ec;
    for (fs::directory_iterator it(device.Path() / "SDMMC" / "AirUpdate", ec);
         !ec && it != fs::directory_iterator(); it.increment(ec)) {
        if (!it->is_directory(ec)) {
            problems->push_back("left in the package " + DisplayName(it->path().filename()));
        }
    }
    return true;
}

void PrintPlan(const PackagePlan& plan, const LeftAlone& leftAlone)
{
    std::cout << "patch_list.txt:\n";
    for (const std::string& line : plan.lines) {
        std::cout << "  " << Cp949ToUtf8(line) << "\n";
    }
    std::cout << "files: " << plan.files.size() << " (" << plan.topLevelFiles
              << " at the top level for the bulk move)\n";
    if (!plan.ownFiles.empty()) {
        std::cout << "left alone, the terminal's own:\n";
    }
    for (const auto& [path, role] : plan.ownFiles) {
        std::cout << "  " << path << " (" << role << ")\n";
    }
    for (size_t i = 0; i < plan.excluded.size(); ++i) {
        size_t count = plan.excluded[i].size();
        std::cout << "left alone, --exclude '" << leftAlone.Patterns()[i].Text() << "': "
                  << (count == 0 ? "nothing matched" : std::to_string(count) + (count == 1 ? " path" : " paths"))
                  << "\n";
    }
}

// The public key a terminal holds to check a package signed with `key`: the
// one in OLD, or NAME.pub beside NAME.key.
fs::path ProvingKey(const MakeOptions& options)
{
    std::error_code ec;
    fs::path installed = options.from / "update.pub";
    if (fs::is_regular_file(installed, ec)) {
        return installed;
    }
    if (options.signingKey.empty()) {
        return fs::path();
    }
    fs::path beside = options.signingKey;
    beside.replace_extension(".pub");
    return fs::is_regular_file(beside, ec) ? beside : fs::path();
}

} // namespace

int CheckAndProve(const MakeOptions& options, const LeftAlone& leftAlone, bool leftSomething);

// Moves the finished package to where it was asked for (an empty folder
// there is replaced); a copy when the two lie on different file systems.
bool MoveToOutput(const fs::path& built, const fs::path& output, std::string* error)
{
    std::error_code ec;
    fs::remove(output, ec);
    fs::create_directories(fs::absolute(output).parent_path(), ec);
    fs::rename(built, output, ec);
    if (ec && !CopyTree(built, output, error)) {
        return false;
    }
    return true;
}

bool ReadPatterns(const MakeOptions& options, LeftAlone* leftAlone, std::string* error)
{
    for (const std::string& pattern : options.exclude) {
        if (!leftAlone->Exclude(pattern, error)) {
            return false;
        }
    }
    return true;
}

int RunMake(const MakeOptions& options)
{
    std::string error;
    PackagePlan plan;
    LeftAlone leftAlone;
    if (!ValidateFolder(options.from, &error) || !ValidateFolder(options.to, &error) ||
        !ValidateOutput(options, &error) || !ReadPatterns(options, &leftAlone, &error) ||
        !CheckPcNames(options.from, &error) || !CheckPcNames(options.to, &error)) {
        Complain(error);
        return kStatusBadInput;
    }
    // What remains wrong is a name or path the terminal cannot take.
    if (!PlanPackage(options.from, options.to, leftAlone, &plan, &error)) {
        Complain(error);
        return kStatusWillNotWork;
    }
    if (plan.lines.empty() && plan.files.empty()) {
        Complain(DisplayName(options.from) + " and " + DisplayName(options.to) +
                 " hold the same files: there is nothing to package");
        return kStatusWillNotWork;
    }
    // The package is built and proven aside; -o gets it only when it is good.
    TempFolder building;
    MakeOptions aside = options;
    if (!building.Make("make-package", &error) ||
        !WritePackage(plan, aside.output = building.Path() / "package", &error)) {
        Complain(error);
        return kStatusBadInput;
    }
    PrintPlan(plan, leftAlone);
    bool leftSomething = !plan.ownFiles.empty() || !leftAlone.Patterns().empty();
    int status = CheckAndProve(aside, leftAlone, leftSomething);
    if (status == kStatusClean && !MoveToOutput(aside.output, options.output, &error)) {
        Complain(error);
        return kStatusBadInput;
    }
    return status;
}

int CheckAndProve(const MakeOptions& options, const LeftAlone& leftAlone, bool leftSomething)
{
    std::string error;
    // Signed first, so that the package proven is the one a keyed terminal
    // takes, its signature checked by the terminal's own code.
    if (!options.signingKey.empty()) {
        unsigned long sequence = 0;
        if (!ChooseSequence(options.sequenceAfter, &sequence, &error) ||
            !SignPackage(options.output, options.signingKey, sequence, &error)) {
            Complain(error);
            return kStatusWillNotWork;
        }
        std::cout << "signed with " << DisplayName(options.signingKey) << "; sequence number " << sequence << "\n";
    }
    fs::path publicKey = ProvingKey(options);
    TempFolder device;
    if (!MakeDevice(options, fs::path(), &device, &error)) {
        Complain(error);
        return kStatusBadInput;
    }
    CheckOptions check;
    check.package = options.output;
    check.device = device.Path();
    check.publicKey = publicKey;
    CheckReport report;
    if (!CheckPackage(check, &report, &error) || report.Status() != kStatusClean) {
        PrintReport(report, std::cout);
        Complain(error.empty() ? "the package made does not check clean (see above)" : error);
        return kStatusWillNotWork;
    }
    std::cout << "check: clean\n";
    if (report.keyed) {
        std::cout << "signature: " << report.signature << "\n";
    }

    std::vector<std::string> problems;
    if (!ProvePackage(options, leftAlone, publicKey, &problems, &error)) {
        Complain(error);
        return kStatusWillNotWork;
    }
    if (!problems.empty()) {
        std::cout << "tried on a copy of " << DisplayName(options.from) << ", the install folder "
                  << "does not equal " << DisplayName(options.to) << ":\n";
        for (const std::string& problem : problems) {
            std::cout << "  " << problem << "\n";
        }
        Complain("the package does not turn OLD into NEW (see above)");
        return kStatusWillNotWork;
    }
    std::cout << "tried on a copy of " << DisplayName(options.from) << ": the install folder equals "
              << DisplayName(options.to) << " byte for byte, names spelled as in it"
              << (leftSomething ? ", what make left alone aside" : "") << "\n";
    if (!options.signingKey.empty() && publicKey.empty()) {
        std::cout << "signed with " << DisplayName(options.signingKey) << "; no public key beside it to "
                  << "check the signature with\n";
    }
    return kStatusClean;
}

} // namespace hailpatch
