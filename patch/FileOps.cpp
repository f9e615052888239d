/* The operations on one file, one folder, one window or one program. */
#include "patch/PatchList.h"

#include <limits.h>
#include <stdlib.h>

#include "log/LogCatalogue.h"
#include "log/WriteLog.h"
#include "patch/PathText.h"
#include "patch/Retry.h"
#include "patch/UndoJournal.h"

static const int kDestroyPosts = 3;
static const DWORD kDestroyPauseMs = 1000;
/* The supervisor's own window class: one window of it exists, its own. */
static const WCHAR* const kSupervisorClass = L"HAILWATCH";

/* Reads a count as atoi does, but saturated, so that no text has an
 * undefined value. */
static int ReadCount(const char* text)
{
    long value = strtol(text, NULL, 10);
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return (int)value;
}

static int DeleteOnce(const WCHAR* path, const WCHAR*)
{
    return DeleteFileW(path);
}

static int CreateFolderOnce(const WCHAR* path, const WCHAR*)
{
    return CreateDirectoryW(path, NULL);
}

static int CopyOnce(const WCHAR* source, const WCHAR* destination)
{
    return CopyFileW(source, destination, FALSE);
}

/* A move replaces the destination by design, so a read-only bit on it (the
 * bit a copy carries over from a read-only source, or one set by hand on an
 * installed file) must not stall the move at every start. Only that bit is
 * cleared; a folder is left alone. */
static void MakeWritable(const WCHAR* path)
{
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        (attributes & FILE_ATTRIBUTE_READONLY) == 0) {
        return;
    }
    attributes &= ~(DWORD)FILE_ATTRIBUTE_READONLY;
    /* The copy that follows reports whether this was enough. */
    SetFileAttributesW(path, attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL);
}

void CPatchList::SLEEP(const char* milliseconds)
{
    int count = ReadCount(milliseconds);
    /* Sleep takes an unsigned count: a negative one would pause for weeks,
     * or forever for -1. The message still shows the number as read. */
    Sleep(count > 0 ? (DWORD)count : 0);
    WriteLog(LOG_HEAD "Sleep[%d]\r\n", LOG_INFO, LOG_SLEEP, LOG_SLEPT, count);
}

/* A list that names the supervisor's own title would end the supervisor in
 * the middle of its start, and the applications the update closes would
 * stay closed until the next power-up: its own window is never posted to. */
static int IsSupervisorWindow(HWND window, const char* windowTitle)
{
    if (window != FindWindowW(kSupervisorClass, NULL)) {
        return 0;
    }
    WriteLog(LOG_HEAD "%s 윈도우는 Hailwatch 자신이므로 종료하지 않습니다.\r\n", LOG_INFO, LOG_KILL,
             LOG_SUPERVISOR_NOT_CLOSED, windowTitle);
    return 1;
}

void CPatchList::KILL(const char* windowTitle)
{
    CWideCopy title(windowTitle);
    /* A rollback closes again whatever the update closed; an update that
     * cannot be undone closes nothing. */
    if (!KeepUndoOfClosedWindow(windowTitle)) {
        return;
    }
    /* WM_DESTROY rather than WM_CLOSE: the siblings end on it without asking. */
    for (int post = 0; post < kDestroyPosts; ++post) {
        HWND window = FindWindowW(NULL, title.Units());
        if (window == NULL || IsSupervisorWindow(window, windowTitle)) {
            break;
        }
        PostMessageW(window, WM_DESTROY, 0, 0);
        Sleep(kDestroyPauseMs);
    }
    WriteLog(LOG_WINDOW_CLOSED_FORMAT, LOG_INFO, LOG_KILL, LOG_WINDOW_CLOSED, windowTitle);
}

int CPatchList::RUN(const char* path)
{
    CWideCopy image(path);
    int result = CreateProcessW(image.Units(), NULL, NULL, NULL, FALSE, 0, NULL,
                                NULL, NULL, NULL);
    WriteLog(LOG_PROGRAM_RUN_FORMAT, LOG_INFO, LOG_RUN, LOG_PROGRAM_RUN, result, path);
    return result;
}

int CPatchList::RM(const char* path)
{
    CWideCopy target(path);
    DWORD attributes = GetFileAttributesW(target.Units());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        WriteLog(LOG_HEAD "%s 지울 대상 파일이 없습니다.\r\n", LOG_INFO, LOG_RM, LOG_RM_NO_FILE, path);
        return 1;
    }
    /* Equality, not a bit test: a folder with further bits goes on to the
     * deletion attempts, which fail on it. */
    if (attributes == FILE_ATTRIBUTE_DIRECTORY) {
        WriteLog(LOG_HEAD "%s 지울 대상이 디렉토리입니다.\r\n", LOG_INFO, LOG_RM, LOG_RM_FOLDER, path);
        return 1;
    }
    /* A change whose undo cannot be kept is not made; the journal says why. */
    if (!KeepUndo(target.Units(), UNDO_BEFORE_REMOVING)) {
        return 0;
    }
    int result = CallWithRetries(DeleteOnce, target.Units(), NULL);
    WriteLog(LOG_RM_DONE_FORMAT, LOG_INFO, LOG_RM, LOG_RM_DONE, result, path);
    return result;
}

int CPatchList::MKDIR(const char* path)
{
    /* A plain file standing where the folder belongs is deleted first. */
    RM(path);
    CWideCopy folder(path);
    if (GetFileAttributesW(folder.Units()) != INVALID_FILE_ATTRIBUTES) {
        WriteLog(LOG_HEAD "%s 생성할 폴더가 이미 있습니다.\r\n", LOG_INFO, LOG_MKDIR, LOG_MKDIR_EXISTS,
                 path);
        return 1;
    }
    if (!KeepUndo(folder.Units(), UNDO_BEFORE_MAKING_FOLDER)) {
        return 0;
    }
    int result = CallWithRetries(CreateFolderOnce, folder.Units(), NULL);
    WriteLog(LOG_MKDIR_DONE_FORMAT, LOG_INFO, LOG_MKDIR, LOG_MKDIR_DONE, result, path);
    return result;
}

int CPatchList::CP(const char* source, const char* destination, int deleteSource)
{
    CWideCopy from(source);
    CWideCopy to(destination);
    /* A source already gone counts as done: a list run again after a failed
     * start finds the files it moved the first time missing. */
    if (GetFileAttributesW(from.Units()) == INVALID_FILE_ATTRIBUTES) {
        WriteLog(LOG_HEAD "%s 카피할 대상 파일이 없습니다.\r\n", LOG_INFO, LOG_CP, LOG_CP_NO_SOURCE,
                 source);
        return 1;
    }
    /* Copying a file onto itself, then deleting the source, would lose the
     * only copy; two spellings of one file must not slip past this test, or
     * the copy fails at every start and the package is never done. */
    if (IsSamePath(from.Units(), to.Units())) {
        WriteLog(LOG_HEAD "%s 원본과 대상 경로가 같습니다.\r\n", LOG_INFO, LOG_CP, LOG_CP_SAME_PATH,
                 source);
        return 1;
    }
    if (!KeepUndo(to.Units(), UNDO_BEFORE_WRITING)) {
        return 0;
    }
    if (deleteSource != 0) {
        MakeWritable(to.Units());
    }
    int result = CallWithRetries(CopyOnce, from.Units(), to.Units());
    WriteLog(LOG_CP_DONE_FORMAT, LOG_INFO, LOG_CP, LOG_CP_DONE, result, source, destination,
             deleteSource);
    if (result != 0 && deleteSource != 0) {
        RM(source);
    }
    return result;
}
