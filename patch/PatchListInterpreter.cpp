/* The patch list: a plain-text list of commands read line by line and
 * carried out at once, in one of two passes. */
#include "patch/PatchList.h"

#include <stdio.h>
#include <string.h>

#include "log/WriteLog.h"
#include "patch/PathText.h"

static const char* const kPatchListName = "patch_list.txt";
static const int kLineSize = 1024;
static const int kSecondPass = 1;

typedef char PatchFields[PATCH_MAX_FIELDS][PATCH_FIELD_SIZE];

/* Keywords are prefixes: KILLALL counts as KILL, RMX as RM. */
static int StartsWith(const char* line, const char* keyword)
{
    return strncmp(line, keyword, strlen(keyword)) == 0;
}

static int IsSkippedLine(const char* line)
{
    if (strlen(line) < 2) {
        return 1;
    }
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

/* Moves folder\name to destinationFolder\name; field 0 may hold subfolders,
 * which the file keeps under the destination. */
static int MoveListedFile(const char* folder, const char* name,
                          const char* destinationFolder)
{
    char source[PATCH_PATH_SIZE];
    char destination[PATCH_PATH_SIZE];
    /* A path cut to fit would name another file: skip the line instead. */
    if (!JoinPath(source, sizeof(source), folder, name) ||
        !JoinPath(destination, sizeof(destination), destinationFolder, name)) {
        return 1;
    }
    return CPatchList::CP(source, destination, 1);
}

/* Answers 0 only for a copy that failed. */
static int RunFirstPassCommand(const char* folder, const char* line,
                               PatchFields fields)
{
    if (StartsWith(line, "KILL")) {
        CPatchList::KILL(fields[0]);
    } else if (StartsWith(line, "RMDIR")) {
        CPatchList::RMDIR(fields[0]);
    } else if (StartsWith(line, "MKDIR")) {
        CPatchList::MKDIR(fields[0]);
    } else if (StartsWith(line, "RM")) {
        CPatchList::RM(fields[0]);
    } else if (StartsWith(line, "CP") && fields[1][0] != 0) {
        return MoveListedFile(folder, fields[0], fields[1]);
    } else if (StartsWith(line, "SLEEP")) {
        CPatchList::SLEEP(fields[0]);
    }
    return 1;
}

static void RunSecondPassCommand(const char* line, PatchFields fields)
{
    if (StartsWith(line, "RUN")) {
        CPatchList::RUN(fields[0]);
    } else if (StartsWith(line, "WAITREBOOT")) {
        CPatchList::SLEEP(fields[0]);
    }
}

/* Answers 0 only for a first-pass copy that failed. */
static int RunLine(const char* folder, char* line, int pass)
{
    if (IsSkippedLine(line)) {
        return 1;
    }
    UseBackslashes(line);
    PatchFields fields;
    memset(fields, 0, sizeof(fields));
    int count = CPatchList::ParseFields(fields, line, (int)strlen(line),
                                        PATCH_MAX_FIELDS, '(', ')');
    if (count < 1 || fields[0][0] == 0) {
        return 1;
    }
    if (pass == kSecondPass) {
        RunSecondPassCommand(line, fields);
        return 1;
    }
    return RunFirstPassCommand(folder, line, fields);
}

/* A path too long for the buffer is a list that cannot be opened. */
static FILE* OpenPatchList(const char* folder, char* path, size_t size)
{
    if (!JoinPath(path, size, folder, kPatchListName)) {
        return NULL;
    }
    return fopen(path, "r");
}

int CPatchList::SearchPatchListFiles(const char* folder, int pass)
{
    char path[PATCH_PATH_SIZE];
    FILE* list = OpenPatchList(folder, path, sizeof(path));
    if (list == NULL) {
        WriteLog("%s %s[%d] %s 패치파일이 없습니다.\r\n", "<I>",
                 "CPatchList::SearchPatchListFiles", 585, path[0] != 0 ? path : folder);
        return 1;
    }
    /* One failed copy keeps the package for the next start, but the rest of
     * the list is still carried out. */
    int result = 1;
    char line[kLineSize];
    for (;;) {
        memset(line, 0, sizeof(line));
        if (fgets(line, kLineSize, list) == NULL) {
            break;
        }
        if (RunLine(folder, line, pass) == 0) {
            result = 0;
        }
    }
    fclose(list);
    return result;
}
