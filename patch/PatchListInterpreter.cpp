/* The patch list: a plain-text list of commands read line by line and
 * carried out at once, in one of two passes. The rules that make a line a
 * command live in PatchLine.cpp. */
#include "patch/PatchList.h"

#include <stdio.h>
#include <string.h>

#include "log/WriteLog.h"
#include "patch/PatchLine.h"

static const char* const kPatchListName = "patch_list.txt";

/* Carries out one command; answers 0 only for a copy that failed. */
static int RunCommand(const PatchLine& parsed)
{
    const char* field = parsed.fields[0];
    switch (parsed.command) {
    case PATCH_COMMAND_KILL: CPatchList::KILL(field); break;
    case PATCH_COMMAND_RMDIR: CPatchList::RMDIR(field); break;
    case PATCH_COMMAND_MKDIR: CPatchList::MKDIR(field); break;
    case PATCH_COMMAND_RM: CPatchList::RM(field); break;
    case PATCH_COMMAND_CP: return CPatchList::CP(parsed.source, parsed.destination, 1);
    case PATCH_COMMAND_SLEEP: CPatchList::SLEEP(field); break;
    case PATCH_COMMAND_RUN: CPatchList::RUN(field); break;
    case PATCH_COMMAND_WAITREBOOT: CPatchList::SLEEP(field); break;
    default: break;
    }
    return 1;
}

/* A path too long for the buffer is a list that cannot be opened. */
static FILE* OpenPatchList(const char* folder, char* path, size_t size)
{
    if (!JoinPath(path, size, folder, kPatchListName)) {
        return NULL;
    }
    return fopen(path, "r");
}

/* A list that is there but cannot be read (a read error on the card) has
 * not run: its package must wait for the next start rather than be moved
 * as if the list had done its work. A folder of that name is no list. */
static int IsUnreadableList(const char* path)
{
    DWORD attributes = path[0] != 0 ? ReadAttributes(path) : INVALID_FILE_ATTRIBUTES;
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

int CPatchList::SearchPatchListFiles(const char* folder, int pass)
{
    char path[PATCH_PATH_SIZE];
    FILE* list = OpenPatchList(folder, path, sizeof(path));
    if (list == NULL) {
        WriteLog("%s %s[%d] %s 패치파일이 없습니다.\r\n", "<I>",
                 "CPatchList::SearchPatchListFiles", 585, path[0] != 0 ? path : folder);
        return IsUnreadableList(path) ? 0 : 1;
    }
    /* One failed copy keeps the package for the next start, but the rest of
     * the list is still carried out. */
    int result = 1;
    char line[PATCH_LINE_SIZE];
    int inLongLine = 0;
    int isTail = 0;
    PatchLine parsed;
    while (ReadPatchLine(list, line, &inLongLine, &isTail)) {
        ClassifyPatchLine(folder, line, isTail, pass, &parsed);
        if (parsed.kind == PATCH_LINE_COMMAND && RunCommand(parsed) == 0) {
            result = 0;
        }
    }
    fclose(list);
    return result;
}
