/* The patch list: a plain-text list of commands read line by line and
 * carried out at once, in one of two passes. The rules that make a line a
 * command live in PatchLine.cpp. */
#include "patch/PatchList.h"

#include <stdio.h>
#include <string.h>

#include "log/LogCatalogue.h"
#include "log/WriteLog.h"
#include "patch/ListProgress.h"
#include "patch/PatchLine.h"
#include "patch/UndoJournal.h"

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

/* A start that finds the list partly done says where it takes it up: the
 * first copy to retry, or the first line never run. */
static DWORD FirstDueLine(const ListProgress& progress)
{
    DWORD first = progress.retryCopiesBelow != 0 ? 1 : progress.nextLine;
    for (DWORD i = 0; i < progress.retryCount; ++i) {
        if (progress.retry[i] < first) {
            first = progress.retry[i];
        }
    }
    return first;
}

static void ReportNoRecord(const char* path)
{
    WriteLog(LOG_HEAD "%s 진행 기록을 남길 수 없습니다.\r\n", LOG_INFO, LOG_SEARCH_PATCH_LIST_FILES,
             LOG_LIST_RECORD_FAILED, path);
}

/* Ties the record to this list and holds it; 0, after saying so, when no
 * record can be kept: the list then does not run at all, since a line run
 * without a record could run again once later lines depend on it. */
static int StartProgress(const char* path, ListProgress* progress)
{
    int loaded = LoadListProgress(path, progress);
    if (loaded < 0 || !HoldListProgress(progress)) {
        ReportNoRecord(path);
        return 0;
    }
    if (loaded == 1) {
        WriteLog(LOG_HEAD "%s %d번째 줄부터 이어서 실행합니다.\r\n", LOG_INFO, LOG_SEARCH_PATCH_LIST_FILES,
                 LOG_LIST_RESUMED, path, (int)FirstDueLine(*progress));
    }
    return 1;
}

/* Saved after every line that changed it, so that a cut never runs a line
 * again once a later one has run; 0, after saying so, when it could not be:
 * the list then stops where it is, as a cut would stop it. */
static int SaveProgress(ListProgress* progress, const char* path)
{
    if (SaveListProgress(progress)) {
        return 1;
    }
    ReportNoRecord(path);
    return 0;
}

/* Reads the list front to back and runs the lines of `pass` still due; a
 * failed copy turns the result to 0 but stops nothing. */
static int RunLines(FILE* list, const char* folder, const char* path, int pass,
                    ListProgress* progress)
{
    int result = 1;
    char line[PATCH_LINE_SIZE];
    PatchListReader reader = { 0, 0, 0 };
    PatchLine parsed;
    while (ReadNumberedPatchLine(list, line, &reader)) {
        /* A resumed start reads every line before its first due one: the
         * lines it has settled are passed over unparsed. */
        if (progress != NULL && IsLineSettled(progress, reader.number)) {
            continue;
        }
        ClassifyPatchLine(folder, line, reader.isTail, pass, &parsed);
        int isCopy = parsed.command == PATCH_COMMAND_CP;
        if (parsed.kind != PATCH_LINE_COMMAND ||
            (progress != NULL && !IsLineDue(progress, reader.number, isCopy))) {
            continue;
        }
        int succeeded = RunCommand(parsed);
        /* A line whose undo could not be kept stops the list before it is
         * noted as run: the next start runs it again. */
        if (IsUndoJournalRefusing()) {
            return 0;
        }
        if (succeeded == 0) {
            result = 0;
        }
        if (progress != NULL && NoteLineRun(progress, reader.number, isCopy, succeeded) &&
            !SaveProgress(progress, path)) {
            return 0;
        }
    }
    if (progress != NULL && NoteListEnd(progress, reader.number) && !SaveProgress(progress, path)) {
        return 0;
    }
    return result;
}

static int RunPatchList(const char* folder, int pass, int keepProgress)
{
    char path[PATCH_PATH_SIZE];
    FILE* list = OpenPatchList(folder, path, sizeof(path));
    if (list == NULL) {
        WriteLog(LOG_HEAD "%s 패치파일이 없습니다.\r\n", LOG_INFO, LOG_SEARCH_PATCH_LIST_FILES,
                 LOG_NO_PATCH_LIST, path[0] != 0 ? path : folder);
        return IsUnreadableList(path) ? 0 : 1;
    }
    if (!keepProgress) {
        int result = RunLines(list, folder, path, pass, NULL);
        fclose(list);
        return result;
    }
    ListProgress progress;
    int result = 0;
    if (StartProgress(path, &progress)) {
        result = RunLines(list, folder, path, pass, &progress);
        ReleaseListProgress(&progress);
    }
    fclose(list);
    return result;
}

int CPatchList::SearchPatchListFiles(const char* folder, int pass)
{
    return RunPatchList(folder, pass, 0);
}

int CPatchList::RunPatchListOnce(const char* folder)
{
    return RunPatchList(folder, 0, 1);
}
