/* The rollback of an update from its undo copy. */
#include "patch/UndoRestore.h"

#include <string.h>
#include <wchar.h>

#include "log/LogCatalogue.h"
#include "log/WriteLog.h"
#include "patch/FileSearch.h"
#include "patch/PatchList.h"
#include "patch/PathText.h"
#include "patch/Retry.h"
#include "patch/UndoEntry.h"

static const char* const kVerifiedNote = "\\ResidentFlash\\Hailnet\\update.verified";
static const int kRemoveAttempts = 3;

static int DeleteOnce(const WCHAR* path, const WCHAR*)
{
    return DeleteFileW(path);
}

static int CopyOnce(const WCHAR* source, const WCHAR* destination)
{
    return CopyFileW(source, destination, FALSE);
}

static int CreateFolderOnce(const WCHAR* path, const WCHAR*)
{
    return CreateDirectoryW(path, NULL);
}

static void ReportMismatch(const char* path)
{
    WriteLog(LOG_HEAD "%s 되돌리기 사본이 기록과 맞지 않습니다. 업데이트를 되돌리지 않습니다.\r\n",
             LOG_ERROR, LOG_CHECK_UNDO_COPY, LOG_UNDO_COPY_MISMATCH, path);
}

/* Entry `index` as the card holds it now. */
static int ReadEntry(DWORD index, UndoEntry* entry, BYTE* bytes, size_t* length)
{
    return ReadUndoEntryBytes(index, bytes, length) &&
           DecodeUndoEntry(bytes, *length, index, entry);
}

int CheckUndoCopy(const UndoRecord& record)
{
    BYTE chain[SHA256_BYTES];
    memset(chain, 0, sizeof(chain));
    BYTE bytes[UNDO_ENTRY_BYTES];
    UndoEntry entry;
    char path[UNDO_FILE_PATH_SIZE];
    for (DWORD index = 1; index <= record.entries; ++index) {
        size_t length = 0;
        if (!ReadEntry(index, &entry, bytes, &length)) {
            FormUndoFilePath(path, index, ".ent");
            ReportMismatch(path);
            return 0;
        }
        ChainUndoEntry(chain, bytes, length);
        if (entry.kind == UNDO_KIND_FILE && !CheckUndoBytes(index, entry.size, entry.digest)) {
            FormUndoFilePath(path, index, ".dat");
            ReportMismatch(path);
            return 0;
        }
    }
    if (memcmp(chain, record.chain, SHA256_BYTES) != 0) {
        ReportMismatch(kUndoCopyFolder);
        return 0;
    }
    return 1;
}

/* The windows the update closed are closed again before their files go
 * back: a running program's files cannot be replaced. */
static void CloseRecordedWindows(const UndoRecord& record)
{
    BYTE bytes[UNDO_ENTRY_BYTES];
    UndoEntry entry;
    for (DWORD index = 1; index <= record.entries; ++index) {
        size_t length = 0;
        if (ReadEntry(index, &entry, bytes, &length) && entry.kind == UNDO_KIND_CLOSED) {
            CNarrowCopy title(entry.text);
            CPatchList::KILL(title.Text());
        }
    }
}

static int RemoveFolderOnly(const WCHAR* path)
{
    int result = 0;
    for (int attempt = 0; attempt < kRemoveAttempts && result == 0; ++attempt) {
        result = RemoveDirectoryW(path);
    }
    return result;
}

/* Whatever stands at `path` goes: a file (whatever its attributes), or a
 * folder with the files a program may have left in it. */
static int ClearPath(const WCHAR* path, DWORD attributes)
{
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
        return CallWithRetries(DeleteOnce, path, NULL);
    }
    {
        CFileSearch search(path, L"*.*");
        while (search.NextFile()) {
            WCHAR inner[FOLDER_PATH_UNITS];
            if (JoinWidePath(inner, FOLDER_PATH_UNITS, path, search.Name())) {
                SetFileAttributesW(inner, FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(inner);
            }
        }
    }
    return RemoveFolderOnly(path);
}

static void LogRestore(const char* function, int number, const char* label, int result,
                       const WCHAR* path)
{
    CNarrowCopy narrow(path);
    WriteLog(LOG_RESTORED_FORMAT, LOG_INFO, function, number, result, label, narrow.Text());
}

/* The old file, under its old spelling: what stands there is removed
 * first, since a copy over a file keeps the name it has. */
static int RestoreFile(const UndoEntry& entry)
{
    DWORD now = GetFileAttributesW(entry.text);
    int result = now == INVALID_FILE_ATTRIBUTES || ClearPath(entry.text, now);
    if (result) {
        char datPath[UNDO_FILE_PATH_SIZE];
        FormUndoFilePath(datPath, entry.index, ".dat");
        CWideCopy dat(datPath);
        result = CallWithRetries(CopyOnce, dat.Units(), entry.text);
    }
    if (result) {
        SetFileAttributesW(entry.text, entry.attributes);
    }
    LogRestore(LOG_RESTORE_FILE, LOG_FILE_RESTORED, "복원파일", result, entry.text);
    return result;
}

static int RemoveNewPath(const UndoEntry& entry)
{
    DWORD now = GetFileAttributesW(entry.text);
    int result = now == INVALID_FILE_ATTRIBUTES || ClearPath(entry.text, now);
    LogRestore(LOG_REMOVE_NEW_PATH, LOG_NEW_PATH_REMOVED, "삭제", result, entry.text);
    return result;
}

/* 1 when the folder at `path` is spelled otherwise than `spelling`'s last name. */
static int IsSpelledOtherwise(const WCHAR* spelling)
{
    const WCHAR* slash = wcsrchr(spelling, L'\\');
    const WCHAR* name = slash != NULL ? slash + 1 : spelling;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(spelling, &found);
    if (search == INVALID_HANDLE_VALUE) {
        return 0;
    }
    FindClose(search);
    return wcscmp(found.cFileName, name) != 0;
}

static int RestoreFolder(const UndoEntry& entry)
{
    DWORD now = GetFileAttributesW(entry.text);
    int result = 1;
    if (now != INVALID_FILE_ATTRIBUTES && (now & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        result = ClearPath(entry.text, now);
        now = INVALID_FILE_ATTRIBUTES;
    }
    /* A folder made again under another spelling holds nothing of the old
     * one by now (what the update put in it has gone): made anew. */
    if (result && now != INVALID_FILE_ATTRIBUTES && IsSpelledOtherwise(entry.text) &&
        RemoveDirectoryW(entry.text)) {
        now = INVALID_FILE_ATTRIBUTES;
    }
    if (result && now == INVALID_FILE_ATTRIBUTES) {
        result = CallWithRetries(CreateFolderOnce, entry.text, NULL);
    }
    if (result) {
        SetFileAttributesW(entry.text, entry.attributes);
    }
    LogRestore(LOG_RESTORE_FOLDER, LOG_FOLDER_RESTORED, "복원폴더", result, entry.text);
    return result;
}

/* Answers 1 when the entry is back as it was (or is a closed window). */
static int RestoreEntry(DWORD index)
{
    BYTE bytes[UNDO_ENTRY_BYTES];
    UndoEntry entry;
    size_t length = 0;
    if (!ReadEntry(index, &entry, bytes, &length)) {
        return 0;
    }
    switch (entry.kind) {
    case UNDO_KIND_FILE: return RestoreFile(entry);
    case UNDO_KIND_FOLDER: return RestoreFolder(entry);
    case UNDO_KIND_ABSENT: return RemoveNewPath(entry);
    default: return 1;
    }
}

static void ForgetVerifiedNote()
{
    CWideCopy note(kVerifiedNote);
    if (GetFileAttributesW(note.Units()) != INVALID_FILE_ATTRIBUTES) {
        SetFileAttributesW(note.Units(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(note.Units());
    }
}

/* Last entry first: a file goes back after the folder that held it is made
 * again, a new folder goes after the new files in it. */
static void PutBack(UndoRecord* record)
{
    CloseRecordedWindows(*record);
    int failed = 0;
    for (DWORD index = record->entries; index >= 1; --index) {
        failed += RestoreEntry(index) ? 0 : 1;
    }
    ForgetVerifiedNote();
    if (failed != 0) {
        WriteLog(LOG_HEAD "되돌리지 못한 항목이 있어 다음 시작 때 다시 되돌립니다. 실패[%d]\r\n", LOG_ERROR,
                 LOG_ROLL_BACK_UPDATE, LOG_ROLLBACK_UNFINISHED, failed);
        return;
    }
    WriteLog(LOG_ROLLBACK_DONE_FORMAT, LOG_INFO, LOG_ROLL_BACK_UPDATE, LOG_ROLLBACK_DONE, record->failedTitle,
             (int)record->entries);
    DropUndoJournal(record);
}

void RollBackUpdate(const char* title, DWORD restarts)
{
    UndoRecord record;
    if (!LoadUndoRecord(&record) || record.stage != UNDO_STAGE_PROBATION) {
        return;
    }
    WriteLog(LOG_ROLLBACK_BEGUN_FORMAT, LOG_ERROR, LOG_ROLL_BACK_UPDATE, LOG_ROLLBACK_BEGUN, title,
             (int)restarts);
    if (!CheckUndoCopy(record)) {
        DropUndoJournal(&record);
        return;
    }
    record.stage = UNDO_STAGE_ROLLING_BACK;
    record.failedRestarts = restarts;
    memset(record.failedTitle, 0, sizeof(record.failedTitle));
    strncpy(record.failedTitle, title, sizeof(record.failedTitle) - 1);
    /* Nothing is touched until a cut would find the rollback recorded. */
    if (!SaveUndoRecord(&record)) {
        WriteLog(LOG_HEAD "%s 되돌리기 기록을 쓸 수 없습니다. 업데이트를 되돌리지 않습니다.\r\n", LOG_ERROR,
                 LOG_ROLL_BACK_UPDATE, LOG_ROLLBACK_RECORD_FAILED, "\\ResidentFlash\\Hailnet\\update.undo-a");
        return;
    }
    PutBack(&record);
}

void ResumeRollBack(UndoRecord* record)
{
    WriteLog(LOG_ROLLBACK_RESUMED_FORMAT, LOG_INFO, LOG_RESUME_ROLL_BACK, LOG_ROLLBACK_RESUMED,
             record->failedTitle);
    if (!CheckUndoCopy(*record)) {
        DropUndoJournal(record);
        return;
    }
    PutBack(record);
}
