/* Two slots of a record in the flash store, written in turn. */
#include "patch/RecordSlots.h"

#include <string.h>

#include "patch/PathText.h"
#include "patch/WholeFile.h"

/* The slots' folder, the install folder, made if a terminal lacks it (the
 * bulk move would make it all the same). */
static const char* const kSlotFolder = "\\ResidentFlash\\Hailnet";

DWORD GetRecordWord(const BYTE* bytes, size_t word)
{
    const BYTE* at = bytes + word * 4;
    return (DWORD)at[0] | ((DWORD)at[1] << 8) | ((DWORD)at[2] << 16) | ((DWORD)at[3] << 24);
}

void PutRecordWord(BYTE* bytes, size_t word, DWORD value)
{
    BYTE* at = bytes + word * 4;
    for (int i = 0; i < 4; ++i) {
        at[i] = (BYTE)(value >> (8 * i));
    }
}

/* Reads one slot; answers 1 when it holds a whole record whose check holds. */
static int ReadSlot(const RecordSlotForm* form, const char* path, BYTE* bytes)
{
    FILE* slot = fopen(path, "rb");
    if (slot == NULL) {
        return 0;
    }
    size_t count = fread(bytes, 1, RECORD_SLOT_MAX_WORDS * 4, slot);
    fclose(slot);
    if (count % 4 != 0 || count < form->words * 4 ||
        GetRecordWord(bytes, RECORD_WORD_MAGIC) != form->magic ||
        GetRecordWord(bytes, RECORD_WORD_VERSION) < form->version ||
        GetRecordWord(bytes, RECORD_WORD_COUNT) * 4 != count) {
        return 0;
    }
    size_t checkWord = count / 4 - 1;
    return form->check(bytes, checkWord) == GetRecordWord(bytes, checkWord);
}

int ReadRecordInForce(const RecordSlotForm* form, BYTE* bytes, DWORD* sequence)
{
    BYTE read[RECORD_SLOT_MAX_WORDS * 4];
    int inForce = -1;
    for (int slot = 0; slot < 2; ++slot) {
        if (!ReadSlot(form, form->paths[slot], read)) {
            continue;
        }
        DWORD readSequence = GetRecordWord(read, RECORD_WORD_SEQUENCE);
        if (inForce >= 0 && readSequence <= *sequence) {
            continue;
        }
        inForce = slot;
        *sequence = readSequence;
        memcpy(bytes, read, sizeof(read));
    }
    return inForce;
}

void SealRecord(const RecordSlotForm* form, DWORD sequence, BYTE* bytes)
{
    PutRecordWord(bytes, RECORD_WORD_MAGIC, form->magic);
    PutRecordWord(bytes, RECORD_WORD_VERSION, form->version);
    PutRecordWord(bytes, RECORD_WORD_COUNT, (DWORD)form->words);
    PutRecordWord(bytes, RECORD_WORD_SEQUENCE, sequence);
    PutRecordWord(bytes, form->words - 1, form->check(bytes, form->words - 1));
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
        return WriteFileMakingFolder(path, kSlotFolder, (const BYTE*)"", 0);
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesW(wide.Units(), FILE_ATTRIBUTE_NORMAL);
    }
    return 1;
}

int HoldRecordSlots(const RecordSlotForm* form, FILE* held[2])
{
    held[0] = held[1] = NULL;
    for (int slot = 0; slot < 2; ++slot) {
        /* This, not a rule of the interpreter, keeps every line off them. */
        if (!MakeSlotFile(form->paths[slot]) || (held[slot] = fopen(form->paths[slot], "rb")) == NULL) {
            ReleaseRecordSlots(held);
            return 0;
        }
    }
    return 1;
}

void ReleaseRecordSlots(FILE* held[2])
{
    for (int slot = 0; slot < 2; ++slot) {
        if (held[slot] != NULL) {
            fclose(held[slot]);
            held[slot] = NULL;
        }
    }
}

int WriteRecordSlot(const RecordSlotForm* form, int slot, const BYTE* bytes, FILE* held[2])
{
    int wasHeld = held[slot] != NULL;
    if (wasHeld) {
        fclose(held[slot]);
        held[slot] = NULL;
    }
    int written = WriteFileMakingFolder(form->paths[slot], kSlotFolder, bytes, form->words * 4);
    if (wasHeld) {
        held[slot] = fopen(form->paths[slot], "rb");
        written = written && held[slot] != NULL;
    }
    return written;
}
