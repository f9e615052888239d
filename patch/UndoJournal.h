/* Keeping the undo copy while a package is applied, on a terminal that asked
 * for it (RollbackSettings.h): before any change the update makes to
 * \ResidentFlash, the path's state is saved to the card (UndoEntry.h) and
 * bound by the flash record (UndoRecord.h), the first saved state of each
 * path winning; each window the update closes is noted too.
 *
 * The operations of the update engine ask before each change; outside a
 * journal they are always let through, and nothing is read or written. A
 * change whose undo cannot be kept is not made: the journal refuses it, and
 * every later one of this start, after saying so once, so that the package
 * stays on the card as for a failed copy. */
#ifndef HAILWATCH_UNDOJOURNAL_H
#define HAILWATCH_UNDOJOURNAL_H

#include "platform/platform.h"

enum UndoIntent {
    UNDO_BEFORE_WRITING,       /* a file is about to be created or replaced */
    UNDO_BEFORE_REMOVING,      /* about to be deleted, or its attributes changed */
    UNDO_BEFORE_MAKING_FOLDER  /* a folder is about to be created */
};

/* Starts the journal of the package about to be applied, or takes up the one
 * an earlier start left; a probation still running ends (a new package is a
 * new update). Answers 0, after saying so, when it cannot be kept: the
 * package must then not be applied. */
int OpenUndoJournal();
/* Ends this start's part of the journal; the record stays for the next. */
void CloseUndoJournal();

/* 1 when the change may go ahead (its undo is kept, or none is needed). */
int KeepUndo(const WCHAR* path, UndoIntent intent);
/* 1 when the window may be closed (noted, or no journal runs). */
int KeepUndoOfClosedWindow(const char* windowTitle);
/* 1 once the journal has refused a change in this start. */
int IsUndoJournalRefusing();

#endif
