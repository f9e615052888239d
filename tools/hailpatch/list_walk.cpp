#include "list_walk.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "native_text.h"

namespace hailpatch {

namespace {

const char kUpdateFolder[] = "\\SDMMC\\AirUpdate";
const char kInstallFolder[] = "\\ResidentFlash\\Hailnet";
const unsigned long long kRetryPausesMs = 3000;   // a file operation failing three times
const unsigned long long kStayingWindowMs = 3000; // three WM_DESTROY posts, a second apart
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

} // namespace

ListWalk::ListWalk(const PackageContents& contents, CheckReport* report)
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

bool ListWalk::IsMoved(const PackageFile& file) const
{
    return moved_.count(FoldCase(file.name949)) != 0;
}

void ListWalk::Warn(int number, const std::string& text)
{
    Add(Severity::Warning, number, text);
}

void ListWalk::Add(Severity severity, int number, const std::string& text)
{
    report_->findings.push_back({severity, LineLabel(number) + ": " + text});
}

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
        Warn(number, "SLEEP of " + FormatSeconds(static_cast<unsigned long long>(ms)) +
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
            for (int command = PATCH_COMMAND_KILL; command <= PATCH_COMMAND_WAITREBOOT; ++command) {
                const char* keyword = PatchKeyword(static_cast<PatchCommand>(command));
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

} // namespace hailpatch
