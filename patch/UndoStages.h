/* The life of an update that can be undone, stage by stage (UndoRecord.h):
 * updating while the package is applied, then a probation in which the
 * watchdog counts restarts, then either the end of the probation (the undo
 * copy goes) or a rollback (UndoRestore.h). */
#ifndef HAILWATCH_UNDOSTAGES_H
#define HAILWATCH_UNDOSTAGES_H

#include "patch/RollbackSettings.h"
#include "patch/UndoRecord.h"

/* At every start, before the package: a rollback cut short is taken up; a
 * journal the terminal no longer asks for (`optedIn` 0) goes, as do the
 * leftovers of an ended one. A terminal that never asked reads two missing
 * files and nothing else. */
void SettleUndoJournal(int optedIn);

/* After the package step: an update that has left no file at the top of
 * `packageFolder` is done, and its probation begins with `settings`. */
void BeginProbation(const char* packageFolder, const RollbackSettings& settings);

/* A new package on the card ends the probation of the update before it. */
void EndProbationForNewPackage(UndoRecord* record);

/* The probation as the watchdog counts it. */
struct ProbationFigures {
    DWORD restartLimit;
    DWORD windowMs;
    DWORD elapsedMs;
    DWORD restarts[UNDO_WATCHED_APPS];
};

/* 1 when a probation runs, its figures filled. */
int ReadProbation(ProbationFigures* figures);
/* Keeps the counts across a switch-off; 0 when no probation runs. */
int WriteProbation(const ProbationFigures* figures);
/* The probation's time passed without trouble: the undo copy goes. */
void EndProbation();

#endif
