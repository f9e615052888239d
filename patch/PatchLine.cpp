/* The line rules of the patch list, in the order they decide a line. */
#include "patch/PatchLine.h"

#include <string.h>

/* The keywords of one pass, in the order they are tried: the first that
 * matches decides, so RMDIR is tried before RM. */
struct PassKeywords {
    const PatchCommand* keywords;
    int count;
};

static const PatchCommand kFirstPassKeywords[] = {
    PATCH_COMMAND_KILL, PATCH_COMMAND_RMDIR, PATCH_COMMAND_MKDIR,
    PATCH_COMMAND_RM, PATCH_COMMAND_CP, PATCH_COMMAND_SLEEP
};
static const PatchCommand kSecondPassKeywords[] = {
    PATCH_COMMAND_RUN, PATCH_COMMAND_WAITREBOOT
};
static const PassKeywords kFirstPass = { kFirstPassKeywords, 6 };
static const PassKeywords kSecondPass = { kSecondPassKeywords, 2 };
static const int kSecondPassNumber = 1;

const char* PatchKeyword(PatchCommand command)
{
    switch (command) {
    case PATCH_COMMAND_KILL: return "KILL";
    case PATCH_COMMAND_RMDIR: return "RMDIR";
    case PATCH_COMMAND_MKDIR: return "MKDIR";
    case PATCH_COMMAND_RM: return "RM";
    case PATCH_COMMAND_CP: return "CP";
    case PATCH_COMMAND_SLEEP: return "SLEEP";
    case PATCH_COMMAND_RUN: return "RUN";
    case PATCH_COMMAND_WAITREBOOT: return "WAITREBOOT";
    default: return "";
    }
}

/* The last byte fgets stored: the buffer was cleared, so it is the last
 * nonzero one (a NUL byte read from the file cannot hide a line end, which
 * fgets stores last). A line end before the first NUL is that byte, as
 * fgets stops after it: the common line needs no look at the cleared rest,
 * which a start would otherwise scan for every line of a long list. */
static int EndsWithLineEnd(const char* line)
{
    size_t length = strlen(line);
    if (length > 0 && line[length - 1] == '\n') {
        return 1;
    }
    int last = PATCH_LINE_SIZE - 1;
    while (last > 0 && line[last] == 0) {
        --last;
    }
    return line[last] == '\n';
}

int ReadPatchLine(FILE* list, char* line, int* inLongLine, int* isTail)
{
    memset(line, 0, PATCH_LINE_SIZE);
    if (fgets(line, PATCH_LINE_SIZE, list) == NULL) {
        return 0;
    }
    *isTail = *inLongLine;
    *inLongLine = !EndsWithLineEnd(line);
    return 1;
}

static void DropByteOrderMark(char* line)
{
    static const char kMark[] = "\xEF\xBB\xBF";
    if (strncmp(line, kMark, 3) == 0) {
        memmove(line, line + 3, strlen(line + 3) + 1);
    }
}

int ReadNumberedPatchLine(FILE* list, char* line, PatchListReader* reader)
{
    if (!ReadPatchLine(list, line, &reader->inLongLine, &reader->isTail)) {
        return 0;
    }
    if (!reader->isTail && ++reader->number == 1) {
        DropByteOrderMark(line);
    }
    return 1;
}

static int StartsWith(const char* line, const char* keyword)
{
    return strncmp(line, keyword, strlen(keyword)) == 0;
}

static int IsComment(const char* line)
{
    /* A tab does not make a comment; such a line matches no keyword instead. */
    return line[0] == '#' || line[0] == '/' || line[0] == ' ';
}

/* Paths may be written with either separator. */
static void UseBackslashes(char* line)
{
    for (; *line != 0; ++line) {
        if (*line == '/') {
            *line = '\\';
        }
    }
}

/* A CP is a copy only with a destination; without one it falls through to
 * the keywords after it. With no fields given, a keyword alone decides. */
static int TakesLine(PatchCommand command, const PatchLine* parsed)
{
    return parsed == NULL || command != PATCH_COMMAND_CP || parsed->fields[1][0] != 0;
}

static PatchCommand MatchKeyword(const char* line, const PassKeywords& pass,
                                 const PatchLine* parsed)
{
    for (int i = 0; i < pass.count; ++i) {
        PatchCommand command = pass.keywords[i];
        if (StartsWith(line, PatchKeyword(command)) && TakesLine(command, parsed)) {
            return command;
        }
    }
    return PATCH_COMMAND_NONE;
}

/* Decides the keyword of a line whose fields are already split. */
static void MatchCommand(const char* line, int pass, PatchLine* out)
{
    int second = pass == kSecondPassNumber;
    out->command = MatchKeyword(line, second ? kSecondPass : kFirstPass, out);
    if (out->command != PATCH_COMMAND_NONE) {
        out->kind = PATCH_LINE_COMMAND;
        return;
    }
    if (!second && StartsWith(line, "CP")) {
        out->command = PATCH_COMMAND_CP;
        out->kind = PATCH_LINE_CP_NO_DESTINATION;
        return;
    }
    out->command = MatchKeyword(line, second ? kFirstPass : kSecondPass, NULL);
    out->kind = out->command != PATCH_COMMAND_NONE ? PATCH_LINE_OTHER_PASS
                                                   : PATCH_LINE_NO_KEYWORD;
}

/* The two paths of a move: the file named relative to the list's folder,
 * and the same relative name under the destination folder. A path cut to
 * fit would name another file, so such a line is not run. */
static void ResolveCopy(const char* folder, PatchLine* out)
{
    if (!JoinPath(out->source, sizeof(out->source), folder, out->fields[0]) ||
        !JoinPath(out->destination, sizeof(out->destination), out->fields[1],
                  out->fields[0])) {
        out->kind = PATCH_LINE_PATH_TOO_LONG;
    }
}

static void SplitLine(const char* line, PatchLine* out)
{
    int tooLong = 0;
    out->fieldCount = SplitPatchFields(out->fields, line, (int)strlen(line),
                                       PATCH_MAX_FIELDS, '(', ')', &tooLong);
    if (tooLong) {
        out->kind = PATCH_LINE_FIELD_TOO_LONG;
    } else if (out->fieldCount < 1) {
        out->kind = PATCH_LINE_NO_FIELD;
    } else if (out->fields[0][0] == 0) {
        out->kind = PATCH_LINE_EMPTY_FIRST_FIELD;
    } else {
        out->kind = PATCH_LINE_COMMAND;
    }
}

void ClassifyPatchLine(const char* folder, char* line, int isTail, int pass,
                       PatchLine* out)
{
    memset(out, 0, sizeof(*out));
    out->command = PATCH_COMMAND_NONE;
    /* Only the first piece of a long line is read as a command: the rest
     * of a long comment must never run. */
    if (isTail) {
        out->kind = PATCH_LINE_TAIL;
        return;
    }
    if (strlen(line) < 2) {
        out->kind = PATCH_LINE_TOO_SHORT;
        return;
    }
    if (IsComment(line)) {
        out->kind = PATCH_LINE_COMMENT;
        return;
    }
    UseBackslashes(line);
    SplitLine(line, out);
    if (out->kind != PATCH_LINE_COMMAND) {
        return;
    }
    MatchCommand(line, pass, out);
    if (out->kind == PATCH_LINE_COMMAND && out->command == PATCH_COMMAND_CP) {
        ResolveCopy(folder, out);
    }
}
