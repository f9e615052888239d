/* How far the first pass of one patch list has got, kept from one start to
 * the next so that no line of the list takes effect twice.
 *
 * The record lies beside the package folder, never in it (the bulk move
 * takes every top-level file of the package), in two slots written in turn:
 * folder + ".resume-a" and folder + ".resume-b". Each slot holds a whole
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

#include "platform/platform.h"

/* Failed copies the record names one by one; more than this and every copy
 * line before the overflow is retried, which is safe since a copy whose
 * source is gone counts as done. */
#define LIST_PROGRESS_RETRY_LINES 64
/* Bytes of a slot's path, terminator included. */
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
    char slotPath[2][LIST_PROGRESS_PATH_SIZE];
};

/* Reads the newest valid record beside `folder` and ties `progress` to the
 * list at `listPath`. Answers 1 when the record belongs to this very list
 * (the start resumes), 0 when the list starts from its first line, and -1
 * when the list's bytes or the slots' paths cannot be had: the list then
 * runs whole and nothing is recorded. */
int LoadListProgress(const char* folder, const char* listPath, ListProgress* progress);

/* Whether the line is still to be run: not reached yet, or a copy that
 * failed before. */
int IsLineDue(const ListProgress* progress, DWORD line, int isCopy);

/* Notes that the line ran (`succeeded` 0 only for a copy that failed);
 * answers 1 when the record changed and must be saved. */
int NoteLineRun(ListProgress* progress, DWORD line, int isCopy, int succeeded);

/* Notes that the whole list was read up to `lastLine`; answers 1 when the
 * record changed. */
int NoteListEnd(ListProgress* progress, DWORD lastLine);

/* Writes the record into the older slot; answers 1 once it is closed. */
int SaveListProgress(ListProgress* progress);

/* Deletes both slots beside `folder`, once its list is gone. */
void ForgetListProgress(const char* folder);

#endif
