#include "package_check.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "native_text.h"
#include "package_files.h"
#include "patch/PatchLine.h"

namespace hailpatch {

namespace {

const char kUpdateFolder[] = "\\SDMMC\\AirUpdate";
const char kInstallFolder[] = "\\ResidentFlash\\Hailnet";
const char kOwnImage[] = "hailwatch.exe";
const unsigned long long kRetryPausesMs = 3000;   // a file operation failing three times
const unsigned long long kStayingWindowMs = 3000; // three WM_DESTROY posts, a second apart
const int kClosedForBulkMove = 3;                 // Hailnet, Hailwire, Hailfare
const long kLongSleepMs = 60000;
const size_t kShownLineChars = 60;

// The folders every terminal has before any package runs.
const char* const kStockFolders[] = {
    "\\", "\\residentflash", "\\residentflash\\hailnet", "\\sdmmc", "\\sdmmc\\airupdate",
};

std::string LineLabel(int number)
{
    return "line " + std::to_string(number);
}

// A device path reduced to "\A\B": doubled and trailing separators dropped,
// so that spellings of one folder compare equal once their case is folded.
std::string CanonicalPath(const std::string& path)
{
    std::string canonical;
    size_t at = 0;
    while (at < path.size()) {
        size_t end = path.find('\\', at);
        if (end == std::string::npos) {
            end = path.size();
        }
        if (end > at) {
            canonical += "\\" + path.substr(at, end - at);
        }
        at = end + 1;
    }
    return canonical.empty() ? "\\" : canonical;
}

std::string ParentPath(const std::string& canonical)
{
    size_t last = canonical.rfind('\\');
    return last == 0 || last == std::string::npos ? "\\" : canonical.substr(0, last);
}

bool IsRootOrInstallFolder(const std::string& canonical)
{
    return canonical.find('\\', 1) == std::string::npos ||
           FoldCase(canonical) == FoldCase(kInstallFolder);
}

// Control bytes made visible, then at most kShownLineChars characters.
std::string ShowText(std::string bytes)
{
    while (!bytes.empty() && bytes.back() == '\n') {
        bytes.pop_back();
    }
    std::string decoded = Cp949ToUtf8(bytes);
    std::string shown;
    size_t characters = 0;
    for (size_t i = 0; i < decoded.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(decoded[i]);
        if ((c & 0xC0) != 0x80 && ++characters > kShownLineChars) {
            return shown + "...";
        }
        if (c == '\t') {
            shown += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\x%02X", c);
            shown += escaped;
        } else {
            shown += decoded[i];
        }
    }
    return shown;
}

// SLEEP reads its count as the terminal does: decimal, saturated.
long ReadCount(const char* text)
{
    long value = std::strtol(text, nullptr, 10);
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : value;
}

std::string FormatMs(unsigned long long ms)
{
    std::string text = std::to_string(ms / 1000);
    if (ms % 1000 != 0) {
        char part[8];
        std::snprintf(part, sizeof(part), ".%03llu", ms % 1000);
        text += part;
        while (text.back() == '0') {
            text.pop_back();
        }
    }
    return text + " s";
}

// What the walk over the list knows so far.
class ListWalk {
public:
    ListWalk(const PackageContents& contents, CheckReport* report)
        : report_(report)
    {
        for (const char* folder : kStockFolders) {
            folders_.insert(folder);
        }
        for (const PackageFile& file : contents.files) {
            if (file.representable) {
                files_[FoldCase(file.name949)] = &file;
            }
        }
    }

    void Line(int number, bool tail, bool afterSkippedStart, const std::string& raw);
    bool IsMoved(const PackageFile& file) const { return moved_.count(FoldCase(file.name949)) != 0; }

private:
    void Warn(int number, const std::string& text) { Add(Severity::Warning, number, text); }
    void Add(Severity severity, int number, const std::string& text)
    {
        report_->findings.push_back({severity, LineLabel(number) + ": " + text});
    }
    std::string Command(int number, const std::string& raw, const PatchLine& parsed);
    std::string Nothing(int number, const std::string& raw, const PatchLine& parsed, bool quiet);
    void CheckKeywordPrefix(int number, const std::string& raw, const PatchLine& parsed);
    std::string MakeFolder(int number, const std::string& path);
    std::string RemoveFolder(int number, const std::string& path);
    std::string Copy(int number, const PatchLine& parsed);
    std::string Pause(int number, const char* field);

    CheckReport* report_;
    std::set<std::string> folders_;                      // folded canonical paths
    std::map<std::string, const PackageFile*> files_;    // folded relative names
    std::map<std::string, int> moved_;                   // folded name -> line
};

void ListWalk::Line(int number, bool tail, bool afterSkippedStart, const std::string& raw)
{
    char line[PATCH_LINE_SIZE];
    std::memset(line, 0, sizeof(line));
    std::memcpy(line, raw.data(), raw.size() < sizeof(line) ? raw.size() : sizeof(line) - 1);
    PatchLine parsed;
    ClassifyPatchLine(kUpdateFolder, line, tail ? 1 : 0, 0, &parsed);
    ListedLine listed;
    listed.number = number;
    listed.tail = tail;
    if (parsed.kind == PATCH_LINE_COMMAND) {
        listed.what = Command(number, raw, parsed);
    } else {
        listed.what = Nothing(number, raw, parsed, afterSkippedStart);
    }
    report_->lines.push_back(listed);
}

std::string ListWalk::Command(int number, const std::string& raw, const PatchLine& parsed)
{
    CheckKeywordPrefix(number, raw, parsed);
    std::string field = parsed.fields[0];
    switch (parsed.command) {
    case PATCH_COMMAND_KILL:
        report_->killMs += kStayingWindowMs;
        return "KILL [" + Cp949ToUtf8(field) + "]";
    case PATCH_COMMAND_RMDIR:
        return RemoveFolder(number, field);
    case PATCH_COMMAND_MKDIR:
        return MakeFolder(number, field);
    case PATCH_COMMAND_RM:
        if (IsRootOrInstallFolder(CanonicalPath(field))) {
            Warn(number, "RM of " + Cp949ToUtf8(field) + ", the install folder or a root folder");
        }
        return "RM " + Cp949ToUtf8(field);
    case PATCH_COMMAND_CP:
        return Copy(number, parsed);
    case PATCH_COMMAND_SLEEP:
        return Pause(number, parsed.fields[0]);
    default:
        return "nothing";
    }
}

void ListWalk::CheckKeywordPrefix(int number, const std::string& raw, const PatchLine& parsed)
{
    size_t keyword = std::strlen(PatchKeyword(parsed.command));
    size_t end = raw.find_first_of("( \t", keyword);
    std::string word = raw.substr(0, end == std::string::npos ? raw.size() : end);
    if (word.size() > keyword) {
        Warn(number, Cp949ToUtf8(word) + " is read as " + PatchKeyword(parsed.command) +
                         " (keywords are matched as prefixes)");
    }
}

std::string ListWalk::MakeFolder(int number, const std::string& path)
{
    std::string canonical = CanonicalPath(path);
    std::string key = FoldCase(canonical);
    std::string shown = "MKDIR " + Cp949ToUtf8(path);
    if (folders_.count(key) == 0 && folders_.count(FoldCase(ParentPath(canonical))) == 0) {
        report_->failureMs += kRetryPausesMs;
        Warn(number, "MKDIR " + Cp949ToUtf8(path) + ": its parent folder is neither made by an "
                     "earlier MKDIR nor on a stock terminal, so it fails (3 s)");
        return shown;
    }
    folders_.insert(key);
    return shown;
}

std::string ListWalk::RemoveFolder(int number, const std::string& path)
{
    std::string canonical = CanonicalPath(path);
    if (IsRootOrInstallFolder(canonical)) {
        Warn(number, "RMDIR of " + Cp949ToUtf8(path) +
                         ", the install folder or a root folder: its files are deleted");
    }
    // Whatever lay below is gone for the lines after it.
    std::string key = FoldCase(canonical);
    for (auto it = folders_.begin(); it != folders_.end();) {
        bool below = *it == key || it->compare(0, key.size() + 1, key + "\\") == 0;
        it = below && key != "\\" ? folders_.erase(it) : std::next(it);
    }
    return "RMDIR " + Cp949ToUtf8(path);
}

std::string ListWalk::Copy(int number, const PatchLine& parsed)
{
    std::string shown = "CP " + Cp949ToUtf8(parsed.source) + " -> " + Cp949ToUtf8(parsed.destination);
    std::string name = CanonicalPath(parsed.fields[0]).substr(1);
    std::string key = FoldCase(name);
    auto earlier = moved_.find(key);
    if (earlier != moved_.end()) {
        Warn(number, Cp949ToUtf8(name) + " was already moved by " + LineLabel(earlier->second) +
                         ": this CP finds no file and does nothing");
        return shown;
    }
    if (files_.count(key) == 0) {
        Warn(number, "the package holds no " + Cp949ToUtf8(name) + ": this CP does nothing");
        return shown;
    }
    moved_[key] = number;
    std::string folder = ParentPath(CanonicalPath(parsed.destination));
    if (folders_.count(FoldCase(folder)) == 0) {
        report_->failureMs += kRetryPausesMs;
        Add(Severity::RunsAgain, number,
            "CP into " + Cp949ToUtf8(folder) + ", a folder neither made by an earlier MKDIR nor on "
            "a stock terminal: the copy fails (3 s), the list is kept and the package runs again "
            "at every start");
    }
    return shown;
}

std::string ListWalk::Pause(int number, const char* field)
{
    long ms = ReadCount(field);
    if (ms > kLongSleepMs) {
        Warn(number, "SLEEP of " + FormatMs(static_cast<unsigned long long>(ms)) +
                         " blocks the start-up for more than a minute");
    }
    report_->sleepMs += ms > 0 ? static_cast<unsigned long long>(ms) : 0;
    return "SLEEP " + std::to_string(ms) + " ms";
}

std::string ListWalk::Nothing(int number, const std::string& raw, const PatchLine& parsed, bool quiet)
{
    std::string why;
    std::string warning;
    switch (parsed.kind) {
    case PATCH_LINE_TAIL:
        why = "the rest of a line over 1023 bytes";
        warning = quiet ? "" : "longer than 1023 bytes: the rest of the line is ignored";
        break;
    case PATCH_LINE_TOO_SHORT: why = "empty"; break;
    case PATCH_LINE_COMMENT: why = "comment"; break;
    case PATCH_LINE_FIELD_TOO_LONG:
        why = warning = "a field longer than 255 bytes";
        break;
    case PATCH_LINE_NO_FIELD:
        why = warning = "no complete (field)";
        break;
    case PATCH_LINE_EMPTY_FIRST_FIELD:
        why = warning = "the first field is empty";
        break;
    case PATCH_LINE_OTHER_PASS:
        CheckKeywordPrefix(number, raw, parsed);
        why = std::string(PatchKeyword(parsed.command)) + " runs only in the second pass";
        warning = why + ", never at start-up";
        break;
    case PATCH_LINE_CP_NO_DESTINATION:
        why = warning = "CP without a destination folder";
        break;
    case PATCH_LINE_PATH_TOO_LONG:
        why = warning = "a CP path longer than 255 bytes";
        break;
    default: {
        why = "no keyword of the first pass";
        std::string upper = raw;
        for (char& c : upper) {
            c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        }
        std::string hint;
        if (!raw.empty() && raw[0] == '\t') {
            hint = " (a tab does not make a comment, and no keyword follows one)";
        } else if (upper != raw) {
            for (const char* keyword : {"KILL", "RMDIR", "MKDIR", "RM", "CP", "SLEEP", "RUN", "WAITREBOOT"}) {
                if (upper.compare(0, std::strlen(keyword), keyword) == 0) {
                    hint = " (keywords are upper case)";
                    break;
                }
            }
        }
        warning = "does nothing: no keyword" + hint;
        break;
    }
    }
    if (!warning.empty()) {
        Warn(number, warning);
    }
    std::string shown = ShowText(raw);
    return "nothing (" + why + ")" + (shown.empty() ? "" : ": " + shown);
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

void PrintReport(const CheckReport& report, std::ostream& out)
{
    if (!report.hasList) {
        out << "no patch_list.txt: only the bulk move runs\n";
    } else if (report.leftAlone) {
        out << "patch_list.txt, never run while the package holds Hailwatch.exe:\n";
    } else {
        out << "patch_list.txt, first pass:\n";
    }
    for (const ListedLine& line : report.lines) {
        char number[16];
        std::snprintf(number, sizeof(number), "%5d%s ", line.number, line.tail ? "+" : " ");
        out << number << line.what << "\n";
    }
    if (!report.bulkMoves.empty()) {
        out << "bulk move into " << kInstallFolder << ", after closing Hailnet, Hailwire, Hailfare:\n";
        for (const std::string& name : report.bulkMoves) {
            out << "      " << name << "\n";
        }
    }
    const char* verdict = "clean";
    bool notApplied = false;
    bool runsAgain = false;
    for (const Finding& finding : report.findings) {
        bool warning = finding.severity == Severity::Warning;
        out << (warning ? "warning: " : "error: ") << finding.text << "\n";
        notApplied = notApplied || finding.severity == Severity::NotApplied;
        runsAgain = runsAgain || finding.severity == Severity::RunsAgain;
    }
    if (notApplied) {
        verdict = "will not apply";
    } else if (runsAgain) {
        verdict = "runs again at every start";
    } else if (!report.findings.empty()) {
        verdict = "applies, with warnings";
    }
    unsigned long long total = report.killMs + report.sleepMs + report.failureMs;
    out << "start-up blocked at most " << FormatMs(total) << " (windows that stay "
        << FormatMs(report.killMs) << ", SLEEP " << FormatMs(report.sleepMs)
        << ", failing operations " << FormatMs(report.failureMs) << "); verdict: " << verdict
        << " (" << report.Status() << ")\n";
}

} // namespace hailpatch
