/* The two-slot records the supervisor keeps in its flash store, beside its
 * install folder (a list's progress, the undo journal's record). Each slot
 * holds a whole record of 32-bit little-endian words: the form's magic, its
 * version, the record's length in words and a sequence number first, the
 * owner's fields after them, and last a check of every word before it. The
 * newest slot whose check holds is in force, and a record is only ever
 * written into the other slot, so a cut while it is written leaves the
 * record before. While their owner works, both slots are held open: an open
 * file is neither deleted nor overwritten on the terminal. */
#ifndef HAILWATCH_RECORDSLOTS_H
#define HAILWATCH_RECORDSLOTS_H

#include <stdio.h>

#include "platform/platform.h"

/* A later version's record may be longer; this much of one is read. */
#define RECORD_SLOT_MAX_WORDS 256

enum RecordSlotWord {
    RECORD_WORD_MAGIC,
    RECORD_WORD_VERSION,
    RECORD_WORD_COUNT,
    RECORD_WORD_SEQUENCE,
    RECORD_WORD_FIRST_FIELD
};

struct RecordSlotForm {
    const char* paths[2];
    DWORD magic;
    DWORD version;   /* written, and the lowest read */
    size_t words;    /* of this version's record, the check word last */
    /* The check of a record's first `words` words. */
    DWORD (*check)(const BYTE* bytes, size_t words);
};

DWORD GetRecordWord(const BYTE* bytes, size_t word);
void PutRecordWord(BYTE* bytes, size_t word, DWORD value);

/* Reads the record in force into `bytes` (room for RECORD_SLOT_MAX_WORDS
 * words): answers its slot, 0 or 1, with its sequence number, or -1 when
 * neither slot holds a record whose check holds. */
int ReadRecordInForce(const RecordSlotForm* form, BYTE* bytes, DWORD* sequence);

/* Puts the form's head words, `sequence` and the check into a record whose
 * fields are in place (form->words words). */
void SealRecord(const RecordSlotForm* form, DWORD sequence, BYTE* bytes);

/* Makes both slots files of the record's and holds them open; 0, holding
 * nothing, when a slot cannot be made one (a folder with files in it, or
 * anything else standing at its path). */
int HoldRecordSlots(const RecordSlotForm* form, FILE* held[2]);
void ReleaseRecordSlots(FILE* held[2]);

/* Writes a sealed record into `slot`, letting a held slot go for the write
 * and holding it again after; 1 once written, closed and held as before. */
int WriteRecordSlot(const RecordSlotForm* form, int slot, const BYTE* bytes, FILE* held[2]);

#endif
