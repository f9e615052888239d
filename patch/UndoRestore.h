/* Putting the undo copy back: the windows the update closed are closed,
 * then every entry is restored, the last first (new files and folders
 * removed, old files' bytes and attributes back, folders made again, each
 * name spelled as it was), the note of a verified package is cleared, and
 * the journal ends. Each step is safe to repeat, so a rollback cut short is
 * taken up from the beginning at the next start; nothing is changed unless
 * the whole copy first matches the record in the flash store. */
#ifndef HAILWATCH_UNDORESTORE_H
#define HAILWATCH_UNDORESTORE_H

#include "patch/UndoRecord.h"

/* The watchdog found `title` needing its `restarts`th restart since the
 * update: the update is taken back, if a probation runs. */
void RollBackUpdate(const char* title, DWORD restarts);

/* A rollback that a cut (or a failed restore) left unfinished. */
void ResumeRollBack(UndoRecord* record);

/* 1 when the card holds every entry the record binds, with every saved
 * file's size and SHA-256; otherwise 0, after naming the first file that
 * does not match. */
int CheckUndoCopy(const UndoRecord& record);

#endif
