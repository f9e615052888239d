/* The undo journal's record: two slots in the flash store, the newer valid
 * one in force. */
#include "patch/UndoRecord.h"

#include <string.h>

#include "patch/PathText.h"
#include "patch/RecordSlots.h"
#include "patch/UndoEntry.h"

enum RecordWord {
    WORD_STAGE = RECORD_WORD_FIRST_FIELD, WORD_ENTRIES,
    WORD_CHAIN,
    WORD_RESTART_LIMIT = WORD_CHAIN + SHA256_BYTES / 4,
    WORD_WINDOW_MS, WORD_ELAPSED_MS, WORD_RESTARTS,
    WORD_FAILED_RESTARTS = WORD_RESTARTS + UNDO_WATCHED_APPS,
    WORD_FAILED_TITLE,
    WORD_CHECK = WORD_FAILED_TITLE + UNDO_TITLE_SIZE / 4,
    RECORD_WORDS
};

/* A record's check: the first word of the SHA-256 of its words before the
 * check word. */
static DWORD ShaOfWords(const BYTE* bytes, size_t words)
{
    BYTE digest[SHA256_BYTES];
    CSha256 sha;
    sha.Add(bytes, words * 4);
    sha.Finish(digest);
    return GetRecordWord(digest, 0);
}

/* "HLUR" in the file's byte order. */
static const RecordSlotForm kForm = {
    { "\\ResidentFlash\\Hailnet\\update.undo-a", "\\ResidentFlash\\Hailnet\\update.undo-b" },
    0x52554C48, 1, RECORD_WORDS, ShaOfWords
};

static void TakeRecord(const BYTE* bytes, UndoRecord* record)
{
    record->stage = GetRecordWord(bytes, WORD_STAGE);
    record->entries = GetRecordWord(bytes, WORD_ENTRIES);
    memcpy(record->chain, bytes + WORD_CHAIN * 4, SHA256_BYTES);
    record->restartLimit = GetRecordWord(bytes, WORD_RESTART_LIMIT);
    record->windowMs = GetRecordWord(bytes, WORD_WINDOW_MS);
    record->elapsedMs = GetRecordWord(bytes, WORD_ELAPSED_MS);
    for (int app = 0; app < UNDO_WATCHED_APPS; ++app) {
        record->restarts[app] = GetRecordWord(bytes, WORD_RESTARTS + app);
    }
    record->failedRestarts = GetRecordWord(bytes, WORD_FAILED_RESTARTS);
    memcpy(record->failedTitle, bytes + WORD_FAILED_TITLE * 4, UNDO_TITLE_SIZE);
    record->failedTitle[UNDO_TITLE_SIZE - 1] = 0;
}

int LoadUndoRecord(UndoRecord* record)
{
    memset(record, 0, sizeof(*record));
    BYTE bytes[RECORD_SLOT_MAX_WORDS * 4];
    record->newestSlot = ReadRecordInForce(&kForm, bytes, &record->sequence);
    if (record->newestSlot < 0) {
        return 0;
    }
    TakeRecord(bytes, record);
    return 1;
}

static void FormRecord(const UndoRecord* record, DWORD sequence, BYTE* bytes)
{
    memset(bytes, 0, RECORD_WORDS * 4);
    PutRecordWord(bytes, WORD_STAGE, record->stage);
    PutRecordWord(bytes, WORD_ENTRIES, record->entries);
    memcpy(bytes + WORD_CHAIN * 4, record->chain, SHA256_BYTES);
    PutRecordWord(bytes, WORD_RESTART_LIMIT, record->restartLimit);
    PutRecordWord(bytes, WORD_WINDOW_MS, record->windowMs);
    PutRecordWord(bytes, WORD_ELAPSED_MS, record->elapsedMs);
    for (int app = 0; app < UNDO_WATCHED_APPS; ++app) {
        PutRecordWord(bytes, WORD_RESTARTS + app, record->restarts[app]);
    }
    PutRecordWord(bytes, WORD_FAILED_RESTARTS, record->failedRestarts);
    memcpy(bytes + WORD_FAILED_TITLE * 4, record->failedTitle, UNDO_TITLE_SIZE - 1);
    SealRecord(&kForm, sequence, bytes);
}

int SaveUndoRecord(UndoRecord* record)
{
    /* Never the slot in force: a cut now must leave it whole. */
    int slot = record->newestSlot == 0 ? 1 : 0;
    DWORD sequence = record->sequence + 1;
    BYTE bytes[RECORD_WORDS * 4];
    FormRecord(record, sequence, bytes);
    if (!WriteRecordSlot(&kForm, slot, bytes, record->held)) {
        return 0;
    }
    record->newestSlot = slot;
    record->sequence = sequence;
    return 1;
}

int HoldUndoRecord(UndoRecord* record)
{
    return HoldRecordSlots(&kForm, record->held);
}

void ReleaseUndoRecord(UndoRecord* record)
{
    ReleaseRecordSlots(record->held);
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
    CWideCopy wide(kForm.paths[slot]);
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

void DropUndoJournal(UndoRecord* record)
{
    EndUndoRecord(record);
    ForgetUndoCopy();
    DeleteUndoRecord(record);
}
