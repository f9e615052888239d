/* The undo journal's record: two slots in the flash store, the newer valid
 * one in force. */
#include "patch/UndoRecord.h"

#include <string.h>

#include "patch/PathText.h"

static const char* const kSlotPath[2] = {
    "\\ResidentFlash\\Hailnet\\update.undo-a",
    "\\ResidentFlash\\Hailnet\\update.undo-b",
};
static const char* const kSlotFolder = "\\ResidentFlash\\Hailnet";
/* "HLUR" in the file's byte order. */
static const DWORD kMagic = 0x52554C48;
static const DWORD kVersion = 1;

enum RecordWord {
    WORD_MAGIC, WORD_VERSION, WORD_COUNT, WORD_SEQUENCE, WORD_STAGE, WORD_ENTRIES,
    WORD_CHAIN,
    WORD_RESTART_LIMIT = WORD_CHAIN + SHA256_BYTES / 4,
    WORD_WINDOW_MS, WORD_ELAPSED_MS, WORD_RESTARTS,
    WORD_FAILED_RESTARTS = WORD_RESTARTS + UNDO_WATCHED_APPS,
    WORD_FAILED_TITLE,
    WORD_CHECK = WORD_FAILED_TITLE + UNDO_TITLE_SIZE / 4,
    RECORD_WORDS
};
/* A later version's record may be longer; this much of it is read. */
static const size_t kReadWords = 128;

static DWORD GetWord(const BYTE* bytes, size_t word)
{
    const BYTE* at = bytes + word * 4;
    return (DWORD)at[0] | ((DWORD)at[1] << 8) | ((DWORD)at[2] << 16) | ((DWORD)at[3] << 24);
}

static void PutWord(BYTE* bytes, size_t word, DWORD value)
{
    BYTE* at = bytes + word * 4;
    for (int i = 0; i < 4; ++i) {
        at[i] = (BYTE)(value >> (8 * i));
    }
}

/* The first word of the SHA-256 of `words` words. */
static DWORD CheckWord(const BYTE* bytes, size_t words)
{
    BYTE digest[SHA256_BYTES];
    CSha256 sha;
    sha.Add(bytes, words * 4);
    sha.Finish(digest);
    return GetWord(digest, 0);
}

static int ReadSlot(const char* path, BYTE* bytes, size_t* count)
{
    FILE* slot = fopen(path, "rb");
    if (slot == NULL) {
        return 0;
    }
    *count = fread(bytes, 1, kReadWords * 4, slot);
    fclose(slot);
    if (*count % 4 != 0 || *count < RECORD_WORDS * 4 || GetWord(bytes, WORD_MAGIC) != kMagic ||
        GetWord(bytes, WORD_VERSION) < kVersion || GetWord(bytes, WORD_COUNT) * 4 != *count) {
        return 0;
    }
    size_t checkWord = *count / 4 - 1;
    return CheckWord(bytes, checkWord) == GetWord(bytes, checkWord);
}

static void TakeRecord(const BYTE* bytes, UndoRecord* record)
{
    record->stage = GetWord(bytes, WORD_STAGE);
    record->entries = GetWord(bytes, WORD_ENTRIES);
    memcpy(record->chain, bytes + WORD_CHAIN * 4, SHA256_BYTES);
    record->restartLimit = GetWord(bytes, WORD_RESTART_LIMIT);
    record->windowMs = GetWord(bytes, WORD_WINDOW_MS);
    record->elapsedMs = GetWord(bytes, WORD_ELAPSED_MS);
    for (int app = 0; app < UNDO_WATCHED_APPS; ++app) {
        record->restarts[app] = GetWord(bytes, WORD_RESTARTS + app);
    }
    record->failedRestarts = GetWord(bytes, WORD_FAILED_RESTARTS);
    memcpy(record->failedTitle, bytes + WORD_FAILED_TITLE * 4, UNDO_TITLE_SIZE);
    record->failedTitle[UNDO_TITLE_SIZE - 1] = 0;
}

int LoadUndoRecord(UndoRecord* record)
{
    memset(record, 0, sizeof(*record));
    record->newestSlot = -1;
    BYTE bytes[kReadWords * 4];
    for (int slot = 0; slot < 2; ++slot) {
        size_t count = 0;
        if (!ReadSlot(kSlotPath[slot], bytes, &count)) {
            continue;
        }
        DWORD sequence = GetWord(bytes, WORD_SEQUENCE);
        if (record->newestSlot >= 0 && sequence <= record->sequence) {
            continue;
        }
        record->newestSlot = slot;
        record->sequence = sequence;
        TakeRecord(bytes, record);
    }
    return record->newestSlot >= 0;
}

static void FormRecord(const UndoRecord* record, DWORD sequence, BYTE* bytes)
{
    memset(bytes, 0, RECORD_WORDS * 4);
    PutWord(bytes, WORD_MAGIC, kMagic);
    PutWord(bytes, WORD_VERSION, kVersion);
    PutWord(bytes, WORD_COUNT, RECORD_WORDS);
    PutWord(bytes, WORD_SEQUENCE, sequence);
    PutWord(bytes, WORD_STAGE, record->stage);
    PutWord(bytes, WORD_ENTRIES, record->entries);
    memcpy(bytes + WORD_CHAIN * 4, record->chain, SHA256_BYTES);
    PutWord(bytes, WORD_RESTART_LIMIT, record->restartLimit);
    PutWord(bytes, WORD_WINDOW_MS, record->windowMs);
    PutWord(bytes, WORD_ELAPSED_MS, record->elapsedMs);
    for (int app = 0; app < UNDO_WATCHED_APPS; ++app) {
        PutWord(bytes, WORD_RESTARTS + app, record->restarts[app]);
    }
    PutWord(bytes, WORD_FAILED_RESTARTS, record->failedRestarts);
    memcpy(bytes + WORD_FAILED_TITLE * 4, record->failedTitle, UNDO_TITLE_SIZE - 1);
    PutWord(bytes, WORD_CHECK, CheckWord(bytes, WORD_CHECK));
}

static int WriteSlot(const char* path, const BYTE* bytes, size_t count)
{
    FILE* file = fopen(path, "wb");
    if (file == NULL) {
        /* A terminal without its install folder yet: the bulk move would
         * make it all the same. */
        CWideCopy folder(kSlotFolder);
        CreateDirectoryW(folder.Units(), NULL);
        file = fopen(path, "wb");
    }
    int written = file != NULL && fwrite(bytes, 1, count, file) == count;
    if (file != NULL && fclose(file) != 0) {
        written = 0;
    }
    return written;
}

int SaveUndoRecord(UndoRecord* record)
{
    /* Never the slot in force: a cut now must leave it whole. */
    int slot = record->newestSlot == 0 ? 1 : 0;
    DWORD sequence = record->sequence + 1;
    BYTE bytes[RECORD_WORDS * 4];
    FormRecord(record, sequence, bytes);
    int wasHeld = record->held[slot] != NULL;
    if (wasHeld) {
        fclose(record->held[slot]);
        record->held[slot] = NULL;
    }
    int written = WriteSlot(kSlotPath[slot], bytes, sizeof(bytes));
    if (wasHeld) {
        record->held[slot] = fopen(kSlotPath[slot], "rb");
        written = written && record->held[slot] != NULL;
    }
    if (!written) {
        return 0;
    }
    record->newestSlot = slot;
    record->sequence = sequence;
    return 1;
}

/* A slot is the record's when it is a file: a missing one is made empty
 * (it holds no valid record), a read-only one made writable, an empty
 * folder removed. Anything else keeps the path from the record. */
static int MakeSlotFile(const char* path)
{
    CWideCopy wide(path);
    DWORD attributes = GetFileAttributesW(wide.Units());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        if (!RemoveDirectoryW(wide.Units())) {
            return 0;
        }
        attributes = INVALID_FILE_ATTRIBUTES;
    }
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return WriteSlot(path, (const BYTE*)"", 0);
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesW(wide.Units(), FILE_ATTRIBUTE_NORMAL);
    }
    return 1;
}

int HoldUndoRecord(UndoRecord* record)
{
    for (int slot = 0; slot < 2; ++slot) {
        record->held[slot] = NULL;
    }
    for (int slot = 0; slot < 2; ++slot) {
        /* An open file is neither deleted nor overwritten on the terminal:
         * this, not a rule of the interpreter, keeps every line off it. */
        if (!MakeSlotFile(kSlotPath[slot]) ||
            (record->held[slot] = fopen(kSlotPath[slot], "rb")) == NULL) {
            ReleaseUndoRecord(record);
            return 0;
        }
    }
    return 1;
}

void ReleaseUndoRecord(UndoRecord* record)
{
    for (int slot = 0; slot < 2; ++slot) {
        if (record->held[slot] != NULL) {
            fclose(record->held[slot]);
            record->held[slot] = NULL;
        }
    }
}

void EndUndoRecord(UndoRecord* record)
{
    if (record->newestSlot < 0 || record->stage == UNDO_STAGE_NONE) {
        return;
    }
    record->stage = UNDO_STAGE_NONE;
    record->entries = 0;
    SaveUndoRecord(record);
}

static void DeleteSlot(int slot)
{
    CWideCopy wide(kSlotPath[slot]);
    if (GetFileAttributesW(wide.Units()) != INVALID_FILE_ATTRIBUTES) {
        DeleteFileW(wide.Units());
    }
}

void DeleteUndoRecord(const UndoRecord* record)
{
    int newest = record->newestSlot == 1 ? 1 : 0;
    DeleteSlot(1 - newest);
    DeleteSlot(newest);
}
