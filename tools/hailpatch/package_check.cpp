#include "package_check.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "check_findings.h"
#include "check_run.h"
#include "list_walk.h"
#include "model_terminal.h"
#include "native_text.h"
#include "package_files.h"
#include "patch/PatchLine.h"

namespace hailpatch {

namespace {

const char kOwnImage[] = "hailwatch.exe";

std::string LineLabel(int number)
{
    return "line " + std::to_string(number);
}

// ---- the file as a whole ---------------------------------------------------

bool ReadBytes(const fs::path& file, std::string* bytes, std::string* error)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        *error = DisplayName(file) + ": cannot be read";
        return false;
    }
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        *error = DisplayName(file) + ": read error";
        return false;
    }
    return true;
}

int LineOfOffset(const std::string& bytes, size_t offset)
{
    int line = 1;
    for (size_t i = 0; i < offset && i < bytes.size(); ++i) {
        line += bytes[i] == '\n' ? 1 : 0;
    }
    return line;
}

// The first NUL that hides text of its line from the terminal (a NUL with
// only the line end after it hides nothing), or npos.
size_t TextAfterNul(const std::string& bytes)
{
    for (size_t nul = bytes.find('\0'); nul != std::string::npos; nul = bytes.find('\0', nul + 1)) {
        size_t end = bytes.find('\n', nul);
        std::string rest = bytes.substr(nul, end == std::string::npos ? std::string::npos : end - nul);
        if (rest.find_first_not_of(std::string("\0\r", 2)) != std::string::npos) {
            return nul;
        }
    }
    return std::string::npos;
}

// Returns whether the text is UTF-16 (its lines then need no further look).
bool CheckEncoding(const std::string& bytes, CheckReport* report)
{
    auto add = [report](Severity severity, const std::string& text) {
        report->findings.push_back({severity, "patch_list.txt: " + text});
    };
    size_t nuls = static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\0'));
    // UTF-16 has a NUL in every other byte of ASCII text; a stray NUL is
    // only the end of its own line for the terminal.
    bool utf16 = bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0 ||
                 (nuls >= 2 && nuls * 4 >= bytes.size());
    size_t hidden = utf16 ? std::string::npos : TextAfterNul(bytes);
    if (hidden != std::string::npos) {
        add(Severity::Warning, "byte 0x00 on " + LineLabel(LineOfOffset(bytes, hidden)) +
                                   ": the terminal reads that line only up to it, and text follows it");
    }
    if (utf16) {
        add(Severity::NotApplied, "UTF-16 text (NUL bytes): the terminal reads 8-bit text, so no "
                                  "line of it runs, and then deletes it");
    }
    int bareCr = 0;
    // In UTF-16 every CR is followed by a NUL: that text is wrong already.
    for (size_t i = 0; !utf16 && i + 1 < bytes.size(); ++i) {
        bareCr += bytes[i] == '\r' && bytes[i + 1] != '\n' ? 1 : 0;
    }
    if (bareCr > 0) {
        add(Severity::NotApplied, std::to_string(bareCr) + " line end(s) are a bare CR: the terminal "
            "ends lines at LF only, so those lines run together as one");
    }
    size_t eof = bytes.find('\x1a');
    if (eof != std::string::npos) {
        add(Severity::Warning, "byte 0x1A on " + LineLabel(LineOfOffset(bytes, eof)) +
                                   ": the terminal stops reading the list there");
    }
    return utf16;
}

bool WalkList(const fs::path& list, bool checkBytes, ListWalk* walk, CheckReport* report, std::string* error)
{
    std::string why;
    FILE* file = OpenListAsText(list, &why);
    if (file == nullptr) {
        *error = DisplayName(list) + ": cannot be read: " + why;
        return false;
    }
    char line[PATCH_LINE_SIZE];
    PatchListReader reader = {0, 0, 0};
    bool startSkipped = false;
    while (ReadNumberedPatchLine(file, line, &reader)) {
        const int isTail = reader.isTail;
        const int number = static_cast<int>(reader.number);
        std::string raw(line, std::strlen(line));
        if (!isTail) {
            startSkipped = raw.size() < 2 || raw[0] == '#' || raw[0] == '/' || raw[0] == ' ';
        }
        // A comment's bytes reach nothing on the terminal.
        size_t bad = checkBytes && !startSkipped ? FindInvalid949(raw) : std::string::npos;
        if (bad != std::string::npos) {
            char byte[8];
            std::snprintf(byte, sizeof(byte), "0x%02X", static_cast<unsigned char>(raw[bad]));
            report->findings.push_back({Severity::Warning, LineLabel(number) + ": byte " + byte +
                " is not code page 949 text (saved as UTF-8?); the terminal takes it byte for byte"});
        }
        walk->Line(number, isTail != 0, startSkipped, raw);
    }
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        *error = DisplayName(list) + ": read error";
        return false;
    }
    return true;
}

// ---- the files of the package ----------------------------------------------

// What the package's files alone decide, before anything runs.
void CheckFiles(const PackageContents& contents, CheckReport* report)
{
    int topLevel = 0;
    for (const PackageFile& file : contents.files) {
        if (IsSignatureFile(file)) {
            continue;  // a signed package's own bookkeeping stays on the card
        }
        topLevel += file.topLevel ? 1 : 0;
        if (!file.representable) {
            report->findings.push_back({file.topLevel ? Severity::RunsAgain : Severity::Warning, file.shown +
                ": code page 949 cannot hold its name, so " + (file.topLevel ? "it is never moved, and "
                "the call, modem and meter applications are closed at every start" :
                "no line can name it: never installed")});
        } else if (file.topLevel && FoldCase(file.name949) == kOwnImage) {
            report->leftAlone = true;
            report->findings.push_back({Severity::NotApplied, file.shown +
                ": a package holding the supervisor's own exe is left alone whole: neither its "
                "list nor its files are used"});
        }
    }
    if (topLevel == 0) {
        report->findings.push_back({Severity::NotApplied,
            "package: no file at its top level, so the terminal does nothing with it"});
    }
}

} // namespace

Severity CheckReport::Worst() const
{
    Severity worst = Severity::Warning;
    for (const Finding& finding : findings) {
        worst = finding.severity > worst ? finding.severity : worst;
    }
    return worst;
}

int CheckReport::Status() const
{
    if (findings.empty()) {
        return kStatusClean;
    }
    return Worst() == Severity::Warning ? kStatusWarnings : kStatusWillNotWork;
}

namespace {

// The windows the model terminal has running; a KILL line's title is added.
const char* const kRunningTitles[] = {"Hailnet", "Hailwire", "Hailfare", "Hailtrack"};

std::vector<std::string> RunningTitles(const ListWalk& walk)
{
    std::vector<std::string> titles(std::begin(kRunningTitles), std::end(kRunningTitles));
    for (const std::string& title : walk.KillTitles()) {
        if (std::find(titles.begin(), titles.end(), title) == titles.end()) {
            titles.push_back(title);
        }
    }
    return titles;
}

// The run's findings repeat what the files alone decided (an unmovable
// name) in its own words; the first word stays.
void DropRepeatedLeftovers(const PackageContents& contents, CheckReport* report)
{
    for (const PackageFile& file : contents.files) {
        if (file.representable || !file.topLevel) {
            continue;
        }
        auto& findings = report->findings;
        findings.erase(std::remove_if(findings.begin(), findings.end(), [&file](const Finding& f) {
            return f.severity == Severity::RunsAgain && f.text.find("\\" + file.shown + ": still") != std::string::npos;
        }), findings.end());
    }
}

} // namespace

// The package through the terminal's own start-up, on the model terminal.
bool RunPackage(const PackageContents& contents, const fs::path& package, const fs::path& device,
                const ListWalk& walk, CheckReport* report, std::string* error)
{
    ModelTerminal terminal;
    CheckRun run;
    std::vector<std::string> titles = RunningTitles(walk);
    if (!terminal.Make(device, package, error) || !RunOnModel(terminal.Root(), titles, &run, error)) {
        return false;
    }
    JudgeRun(run, report);
    // A cut start runs its list again from the top at the next start.
    std::vector<CutLoss> losses;
    if (!SweepCuts(device, package, titles, LinesToCut(run), &losses, error)) {
        return false;
    }
    JudgeCuts(losses, report);
    DropRepeatedLeftovers(contents, report);
    report->ran = true;
    return true;
}

bool CheckPackage(const fs::path& package, const fs::path& device, CheckReport* report,
                  std::string* error)
{
    PackageContents contents;
    if (!ReadPackage(package, &contents, error)) {
        return false;
    }
    if (!device.empty() && !ValidateDevice(device, error)) {
        return false;
    }
    ListWalk walk(report);
    report->hasList = !contents.list.empty();
    report->stock = device.empty();
    if (report->hasList) {
        std::string bytes;
        if (!ReadBytes(contents.list, &bytes, error)) {
            return false;
        }
        bool utf16 = CheckEncoding(bytes, report);
        if (!WalkList(contents.list, !utf16, &walk, report, error)) {
            return false;
        }
    }
    CheckFiles(contents, report);
    return RunPackage(contents, package, device, walk, report, error);
}

} // namespace hailpatch
