/* How far the first pass of one patch list has got, kept from one start to
 * the next so that no line of the list takes effect twice.
 *
 * The record is the supervisor's own, kept in the built-in flash store beside
 * the fleet's key, never on the card (whoever holds the card could forge it,
 * and a list that cleans the card would take it along): two slots written in
 * turn, \ResidentFlash\Hailnet\update.resume-a and -b. While the list runs
 * both slots are held open, so that no line of it, under any spelling, can
 * delete or overwrite them, nor remove a folder that holds them; a slot
 * path that cannot be made a file of the record's (a folder stands there)
 * stops the list from running at all. Each slot holds a whole
 * record with a sequence number and a CRC-32 of its own bytes; the newest
 * slot whose check holds is the record, so a cut while one slot is written
 * leaves the other one, the previous record, in force. A record names the
 * list it belongs to by the list's size and the CRC-32 of its exact bytes:
 * another list starts from its first line.
 *
 * The record's words are 32-bit little-endian; fields are only ever added
 * before the check word, so a reader takes the fields it knows from any
 * later version (see docs/update-resume.md). */
#ifndef HAILWATCH_LISTPROGRESS_H
#define HAILWATCH_LISTPROGRESS_H

#include <stdio.h>

#include "platform/platform.h"

/* Failed copies the record names one by one; more than this and every copy
 * line before the overflow is retried, which is safe since a copy whose
 * source is gone counts as done. */
#define LIST_PROGRESS_RETRY_LINES 64
/* Bytes of a record's path on the card, where earlier versions kept it,
 * terminator included. */
#define LIST_PROGRESS_PATH_SIZE 272

/* What a signature check said about the list; no check is made yet. */
enum ListVerdict {
    LIST_VERDICT_NONE = 0
};

struct ListProgress {
    /* The list this record belongs to. */
    DWORD listBytes;
    DWORD listCrc;
    /* The first line (1-based, physical) never yet run: lines before it
     * are done, apart from the copies to retry. */
    DWORD nextLine;
    /* Every copy line before this one is retried (0: none); set when more
     * copies failed than `retry` holds. */
    DWORD retryCopiesBelow;
    DWORD verdict;
    DWORD retryCount;
    DWORD retry[LIST_PROGRESS_RETRY_LINES];

    /* Kept for this start only, not in the record. */
    DWORD sequence;        /* of the record in force */
    int newestSlot;        /* 0 or 1, -1 for none */
    int writable;          /* 0 once a slot could not be written */
    int overflowed;        /* a failure found no room in `retry` this start */
    FILE* held[2];         /* each slot open while lines run, NULL otherwise */
};

/* Reads the newest valid record and ties `progress` to the list at
 * `listPath`. Answers 1 when the record belongs to this very list (the start
 * resumes), 0 when the list starts from its first line, and -1 when the
 * list's bytes cannot be had. */
int LoadListProgress(const char* listPath, ListProgress* progress);

/* The size and CRC-32 of the list's exact bytes, read in binary, by which a
 * record names its list; 0 when they cannot be had. */
int MeasurePatchList(const char* listPath, DWORD* bytes, DWORD* crc);

/* LoadListProgress for a list already measured, of `listBytes` bytes whose
 * CRC-32 is `listCrc`: 1 when the record belongs to that list, else 0. */
int LoadMeasuredListProgress(DWORD listBytes, DWORD listCrc, ListProgress* progress);

/* Makes both slots files of the record's and holds them open until
 * ReleaseListProgress; answers 0 (holding nothing) when a slot cannot be
 * made one, for a folder or anything else that stands at its path. */
int HoldListProgress(ListProgress* progress);
void ReleaseListProgress(ListProgress* progress);

/* Whether the line has run and no retry of copies takes it in: then it is
 * not due whatever it holds, and a start that resumes passes over it
 * without reading it as a command. */
int IsLineSettled(const ListProgress* progress, DWORD line);

/* Whether the line is still to be run: not reached yet, or a copy that
 * failed before. */
int IsLineDue(const ListProgress* progress, DWORD line, int isCopy);

/* Notes that the line ran (`succeeded` 0 only for a copy that failed);
 * answers 1 when the record changed and must be saved. */
int NoteLineRun(ListProgress* progress, DWORD line, int isCopy, int succeeded);

/* Notes that the whole list was read up to `lastLine`; answers 1 when the
 * record changed. */
int NoteListEnd(ListProgress* progress, DWORD lastLine);

/* Writes the record into the older slot, which is let go for the write and
 * held again after it; answers 1 once it is closed and held. */
int SaveListProgress(ListProgress* progress);

/* Deletes both slots once the list is gone, and the slots that earlier
 * versions kept on the card beside `folder`. */
void ForgetListProgress(const char* folder);

#endif
