#include "package_check.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "list_walk.h"
#include "native_text.h"
#include "package_files.h"
#include "patch/PatchLine.h"

namespace hailpatch {

namespace {

const char kOwnImage[] = "hailwatch.exe";
const unsigned long long kStayingWindowMs = 3000; // three WM_DESTROY posts, a second apart
const int kClosedForBulkMove = 3;                 // Hailnet, Hailwire, Hailfare

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

// Returns whether the text is UTF-16 (its lines then need no further look).
bool CheckEncoding(const std::string& bytes, CheckReport* report)
{
    auto add = [report](Severity severity, const std::string& text) {
        report->findings.push_back({severity, "patch_list.txt: " + text});
    };
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        add(Severity::Warning, "starts with a UTF-8 byte-order mark: its first line matches no keyword");
    }
    bool utf16 = bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0 ||
                 bytes.find('\0') != std::string::npos;
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
    int inLongLine = 0;
    int isTail = 0;
    int number = 0;
    bool startSkipped = false;
    while (ReadPatchLine(file, line, &inLongLine, &isTail)) {
        std::string raw(line, std::strlen(line));
        if (!isTail) {
            ++number;
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

void CheckFiles(const PackageContents& contents, const ListWalk& walk, CheckReport* report)
{
    int topLevel = 0;
    bool leftAtTop = false;
    for (const PackageFile& file : contents.files) {
        if (IsSignatureFile(file)) {
            continue;  // a signed package's own bookkeeping stays on the card
        }
        if (!file.topLevel) {
            if (!file.representable) {
                report->findings.push_back({Severity::Warning, file.shown +
                    ": code page 949 cannot hold its name, so no line can name it: never installed"});
            } else if (!walk.IsMoved(file)) {
                report->findings.push_back({Severity::Warning, file.shown +
                    ": in a subfolder that no CP line moves: never installed"});
            }
            continue;
        }
        ++topLevel;
        if (!file.representable) {
            leftAtTop = true;
            report->findings.push_back({Severity::RunsAgain, file.shown +
                ": code page 949 cannot hold its name: it is never moved, and the call, modem and "
                "meter applications are closed at every start"});
        } else if (FoldCase(file.name949) == kOwnImage) {
            report->leftAlone = true;
            report->findings.push_back({Severity::NotApplied, file.shown +
                ": a package holding the supervisor's own exe is left alone whole: neither its "
                "list nor its files are used"});
        } else if (fs::path(file.native) != contents.list && !walk.IsMoved(file)) {
            leftAtTop = true;
            report->bulkMoves.push_back(file.shown);
        }
    }
    if (topLevel == 0) {
        report->findings.push_back({Severity::NotApplied,
            "package: no file at its top level, so the terminal does nothing with it"});
    }
    if (leftAtTop) {
        report->killMs += kClosedForBulkMove * kStayingWindowMs;
    }
    // Nothing of such a package runs, so it blocks nothing and moves nothing.
    if (report->leftAlone) {
        report->bulkMoves.clear();
        report->killMs = report->sleepMs = report->failureMs = 0;
    }
}

} // namespace

int CheckReport::Status() const
{
    int status = kStatusClean;
    for (const Finding& finding : findings) {
        int level = finding.severity == Severity::Warning ? kStatusWarnings : kStatusWillNotWork;
        status = level > status ? level : status;
    }
    return status;
}

bool CheckPackage(const fs::path& package, CheckReport* report, std::string* error)
{
    PackageContents contents;
    if (!ReadPackage(package, &contents, error)) {
        return false;
    }
    ListWalk walk(contents, report);
    report->hasList = !contents.list.empty();
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
    CheckFiles(contents, walk, report);
    return true;
}

} // namespace hailpatch
