#include "list_walk.h"

#include <cstdio>
#include <cstring>

#include "native_text.h"

namespace hailpatch {

namespace {

const char kUpdateFolder[] = "\\SDMMC\\AirUpdate";
const size_t kShownLineChars = 60;

std::string LineLabel(int number)
{
    return "line " + std::to_string(number);
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

} // namespace

ListWalk::ListWalk(CheckReport* report)
    : report_(report)
{
}

void ListWalk::Warn(int number, const std::string& text)
{
    report_->Add(Severity::Warning, LineLabel(number) + ": " + text, number);
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

// The command as the line spells it; where it lands is the run's to say.
std::string ListWalk::Command(int number, const std::string& raw, const PatchLine& parsed)
{
    CheckKeywordPrefix(number, raw, parsed);
    std::string field = parsed.fields[0];
    switch (parsed.command) {
    case PATCH_COMMAND_KILL:
        titles_.push_back(Cp949ToUtf8(field));
        return "KILL [" + Cp949ToUtf8(field) + "]";
    case PATCH_COMMAND_CP:
        return "CP " + Cp949ToUtf8(parsed.source) + " -> " + Cp949ToUtf8(parsed.destination);
    default:
        return std::string(PatchKeyword(parsed.command)) + " " + Cp949ToUtf8(field);
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
