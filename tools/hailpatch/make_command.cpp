// `hailpatch make`: a package that turns one install folder into another,
// checked, then proven on a copy of the old one.
#include <algorithm>
#include <iostream>
#include <sstream>
#include <system_error>

#include "commands.h"
#include "device_tree.h"
#include "model_terminal.h"
#include "native_text.h"
#include "own_files.h"
#include "package_check.h"
#include "package_signing.h"
#include "package_plan.h"
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

// Differences between the install folder after the try and NEW.
std::vector<std::string> CompareWithNew(const fs::path& result, const fs::path& expected,
                                        std::string* error)
{
    Tree got;
    Tree wanted;
    std::vector<std::string> differences;
    if (!SnapshotTree(result, &got, error) || !SnapshotTree(expected, &wanted, error)) {
        return differences;
    }
    // The supervisor's own files are the terminal's, never a package's.
    auto own = [](const std::string& relative) {
        std::string device = "\\ResidentFlash\\Hailnet\\" + relative;
        std::replace(device.begin(), device.end(), '/', '\\');
        return !OwnFileRole(device).empty();
    };
    for (const auto& [path, entry] : wanted) {
        if (own(path)) {
            continue;
        }
        auto it = got.find(path);
        if (it == got.end()) {
            differences.push_back("missing " + path);
        } else if (it->second.folder != entry.folder ||
                   (!entry.folder && !SameBytes(result / path, expected / path))) {
            differences.push_back("differs " + path);
        }
    }
    for (const auto& [path, entry] : got) {
        if (wanted.count(path) == 0 && !own(path)) {
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
bool ProvePackage(const MakeOptions& options, const fs::path& publicKey, std::vector<std::string>* problems,
                  std::string* error)
{
    TempFolder device;
    if (!MakeDevice(options, publicKey, &device, error) ||
        !CopyTree(options.output, device.Path() / "SDMMC" / "AirUpdate", error)) {
        return false;
    }
    StartupSetup setup;
    setup.root = device.Path();
    RunStartup(setup);
    *problems = CompareWithNew(device.Path() / "ResidentFlash" / "Hailnet", options.to, error);
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

void PrintPlan(const PackagePlan& plan)
{
    std::cout << "patch_list.txt:\n";
    for (const std::string& line : plan.lines) {
        std::cout << "  " << Cp949ToUtf8(line) << "\n";
    }
    std::cout << "files: " << plan.files.size() << " (" << plan.topLevelFiles
              << " at the top level for the bulk move)\n";
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

int CheckAndProve(const MakeOptions& options);

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

int RunMake(const MakeOptions& options)
{
    std::string error;
    PackagePlan plan;
    if (!ValidateFolder(options.from, &error) || !ValidateFolder(options.to, &error) ||
        !ValidateOutput(options, &error)) {
        Complain(error);
        return kStatusBadInput;
    }
    // What remains wrong is a name or path the terminal cannot take.
    if (!PlanPackage(options.from, options.to, &plan, &error)) {
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
    PrintPlan(plan);
    int status = CheckAndProve(aside);
    if (status == kStatusClean && !MoveToOutput(aside.output, options.output, &error)) {
        Complain(error);
        return kStatusBadInput;
    }
    return status;
}

int CheckAndProve(const MakeOptions& options)
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
    if (!ProvePackage(options, publicKey, &problems, &error)) {
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
              << DisplayName(options.to) << " byte for byte, names spelled as in it\n";
    if (!options.signingKey.empty() && publicKey.empty()) {
        std::cout << "signed with " << DisplayName(options.signingKey) << "; no public key beside it to "
                  << "check the signature with\n";
    }
    return kStatusClean;
}

} // namespace hailpatch
