#include "package_check.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

#include "check_findings.h"
#include "check_run.h"
#include "list_walk.h"
#include "model_terminal.h"
#include "package_files.h"
#include "patch/PatchLine.h"
#include "tools/common/pc_text.h"

namespace hailpatch {

namespace {

const char kOwnImage[] = "hailwatch.exe";
const char kUpdateFolder[] = "\\SDMMC\\AirUpdate";

std::string LineLabel(int number)
{
    return "line " + std::to_string(number);
}

// ---- the file as a whole ---------------------------------------------------

bool ReadBytes(const fs::path& file, std::string* bytes, std::string* error)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        *error = tools::DisplayName(file) + ": cannot be read";
        return false;
    }
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        *error = tools::DisplayName(file) + ": read error";
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
        report->Add(severity, "patch_list.txt: " + text);
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

// Whether the terminal skips the line that `piece` begins (too short, or a
// comment), by its own line rules.
bool BeginsSkipped(const char* piece)
{
    char line[PATCH_LINE_SIZE];
    std::memcpy(line, piece, sizeof(line));
    PatchLine parsed;
    ClassifyPatchLine(kUpdateFolder, line, 0, 0, &parsed);
    return parsed.kind == PATCH_LINE_TOO_SHORT || parsed.kind == PATCH_LINE_COMMENT;
}

bool WalkList(const fs::path& list, bool checkBytes, ListWalk* walk, CheckReport* report, std::string* error)
{
    FILE* file = OpenList(list, error);
    if (file == nullptr) {
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
            startSkipped = BeginsSkipped(line);
        }
        // A comment's bytes reach nothing on the terminal.
        size_t bad = checkBytes && !startSkipped ? tools::FindInvalid949(raw) : std::string::npos;
        if (bad != std::string::npos) {
            char byte[8];
            std::snprintf(byte, sizeof(byte), "0x%02X", static_cast<unsigned char>(raw[bad]));
            report->Add(Severity::Warning, LineLabel(number) + ": byte " + byte +
                " is not code page 949 text (saved as UTF-8?); the terminal takes it byte for byte", number);
        }
        walk->Line(number, isTail != 0, startSkipped, raw);
    }
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        *error = tools::DisplayName(list) + ": read error";
        return false;
    }
    return true;
}

// ---- the files of the package ----------------------------------------------

// A name an engineer meant for the list: the terminal runs only
// patch_list.txt and moves this one into the install folder as a file.
bool LooksLikeAList(const std::string& name)
{
    std::string letters;
    for (char c : FoldCase(name)) {
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            letters += c;
        }
    }
    return FoldCase(name) != "patch_list.txt" && letters.find("patchlist") != std::string::npos;
}

// What the package's files alone decide, before anything runs.
void CheckFiles(const PackageContents& contents, CheckReport* report)
{
    if (contents.listIsFolder) {
        report->Add(Severity::Warning, "patch_list.txt: a folder, not a list: the terminal runs no list and "
                    "moves the top-level files; the folder's files are never installed");
    }
    int topLevel = 0;
    for (const PackageFile& file : contents.files) {
        if (IsSignatureFile(file)) {
            continue;  // a signed package's own bookkeeping stays on the card
        }
        topLevel += file.topLevel ? 1 : 0;
        if (file.topLevel && LooksLikeAList(file.shown)) {
            report->Add(Severity::Warning, file.shown + ": a patch list under another name: the terminal runs "
                        "only patch_list.txt, and moves this file into the install folder as it is");
        }
        if (!file.representable) {
            report->Add(file.topLevel ? Severity::RunsAgain : Severity::Warning, file.shown +
                ": code page 949 cannot hold its name, so " + (file.topLevel ? "it is never moved, and "
                "the call, modem and meter applications are closed at every start" :
                "no line can name it: never installed"));
        } else if (file.topLevel && FoldCase(file.name949) == kOwnImage) {
            report->leftAlone = true;
            report->Add(Severity::NotApplied, file.shown +
                ": a package holding the supervisor's own exe is left alone whole: neither its "
                "list nor its files are used");
        }
    }
    if (topLevel == 0) {
        report->Add(Severity::NotApplied,
            "package: no file at its top level, so the terminal does nothing with it");
    }
}

} // namespace

namespace {

// The windows a KILL line names run on the model terminal too; the
// supervisor's own window is always there.
std::vector<std::string> KillTitles(const ListWalk& walk)
{
    std::vector<std::string> titles;
    for (const std::string& title : walk.KillTitles()) {
        if (FoldCase(title) != "hailwatch" && std::find(titles.begin(), titles.end(), title) == titles.end()) {
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

// The package through the terminal's own start-up, on the model terminal.
bool RunPackage(const PackageContents& contents, const CheckOptions& options, const ListWalk& walk,
                CheckReport* report, std::string* error)
{
    RunOptions run;
    run.device = options.device;
    run.install = options.install;
    run.package = options.package;
    run.publicKey = options.publicKey;
    run.titles = KillTitles(walk);
    run.progress = options.progress;
    // A package left alone never runs: the one start shows that.
    run.sweep = !report->leftAlone;
    CheckRun result;
    if (!RunPackageOnModel(run, &result, error)) {
        return false;
    }
    JudgeRun(result, report);
    DropRepeatedLeftovers(contents, report);
    report->ran = true;
    return true;
}

} // namespace

bool CheckPackage(const CheckOptions& options, CheckReport* report, std::string* error)
{
    PackageContents contents;
    if (!ReadPackage(options.package, &contents, error)) {
        return false;
    }
    if (!options.device.empty() && !ValidateDevice(options.device, error)) {
        return false;
    }
    std::error_code ec;
    if (!options.publicKey.empty() && !fs::is_regular_file(options.publicKey, ec)) {
        *error = tools::DisplayName(options.publicKey) + ": no such key file";
        return false;
    }
    ListWalk walk(report);
    report->hasList = !contents.list.empty();
    report->listFolder = contents.listIsFolder;
    report->stock = options.device.empty() && options.install.empty();
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
    return RunPackage(contents, options, walk, report, error);
}

} // namespace hailpatch
