/* Where an update that can be undone stands, kept in the built-in flash
 * store, out of reach of whoever holds the SD card: two slots written in
 * turn, \ResidentFlash\Hailnet\update.undo-a and -b, each a whole record
 * with a sequence number and a check (the first word of the SHA-256 of the
 * words before it); the newest slot whose check holds is in force, so a cut
 * while one slot is written leaves the other, the record before.
 *
 * The record binds the undo copy on the card: the number of its entries and
 * a SHA-256 chain over them (UndoEntry.h), so that a card holder cannot
 * change what a rollback puts back. It also holds the probation's figures,
 * counted in the watchdog's own ticks since the update.
 *
 * Words are 32-bit little-endian; fields are only ever added before the
 * check word (docs/update-rollback.md). */
#ifndef HAILWATCH_UNDORECORD_H
#define HAILWATCH_UNDORECORD_H

#include <stdio.h>

#include "patch/Sha256.h"
#include "platform/platform.h"

/* The watched applications, in the watchdog's order. */
#define UNDO_WATCHED_APPS 4
/* Bytes of the failed application's title, terminator included. */
#define UNDO_TITLE_SIZE 16

enum UndoStage {
    UNDO_STAGE_NONE = 0,         /* no update to undo (an ended journal) */
    UNDO_STAGE_UPDATING = 1,     /* a package is being applied */
    UNDO_STAGE_PROBATION = 2,    /* applied; the watchdog counts restarts */
    UNDO_STAGE_ROLLING_BACK = 3  /* the undo copy is being put back */
};

struct UndoRecord {
    DWORD stage;
    DWORD entries;               /* entries of the undo copy, 1..entries */
    BYTE chain[SHA256_BYTES];    /* over those entries' bytes */
    DWORD restartLimit;          /* the probation's limits, fixed when it began */
    DWORD windowMs;
    DWORD elapsedMs;             /* watchdog time since the update */
    DWORD restarts[UNDO_WATCHED_APPS];
    DWORD failedRestarts;        /* rolling back: why */
    char failedTitle[UNDO_TITLE_SIZE];

    /* Kept for this start only, not in the record. */
    DWORD sequence;
    int newestSlot;              /* 0 or 1, -1 for none */
    FILE* held[2];
};

/* Reads the newest valid slot; answers 1 when there is one (whatever its
 * stage), 0 when there is none, the record then empty (stage NONE). */
int LoadUndoRecord(UndoRecord* record);

/* Writes the record into the slot not in force; a held slot is let go for
 * the write and held again. Answers 1 once it is closed (and held). */
int SaveUndoRecord(UndoRecord* record);

/* Makes both slots files of the record's and holds them open, so that no
 * line of a list can delete or overwrite them; 0 when a slot cannot be made
 * one (holding nothing then). */
int HoldUndoRecord(UndoRecord* record);
void ReleaseUndoRecord(UndoRecord* record);

/* Ends the record: an ended record goes into the slot not in force first,
 * so that a cut while the slots are deleted never brings back an older one. */
void EndUndoRecord(UndoRecord* record);
/* Deletes both slots, the one not in force first. */
void DeleteUndoRecord(const UndoRecord* record);
/* Ends a journal for good: the ended record first, then the card's undo
 * copy, then the record's slots, so that a cut on the way leaves an ended
 * one. */
void DropUndoJournal(UndoRecord* record);

#endif
