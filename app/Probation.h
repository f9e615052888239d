/* The watchdog's side of an update that can be undone: from the end of the
 * update until its probation ends, the restarts of each watched application
 * are counted, in the watchdog's own time; one application restarted as
 * often as the terminal's limit says takes the update back. Without a
 * probation every call here does nothing. */
#ifndef HAILWATCH_PROBATION_H
#define HAILWATCH_PROBATION_H

#include <stddef.h>

#include "platform/platform.h"

/* Window creation, after the start-up update: a probation still running
 * (begun now, or before a switch-off) is taken up. */
void BeginProbationWatch();
/* The application's window was there, or the watchdog started it: from now
 * on its going is a restart. */
void NoteAppUp(size_t app);
/* The application is gone and about to be started again: counts the
 * restart, and answers 1 when it is one too many, so that the update must be
 * taken back instead. */
int IsOneRestartTooMany(size_t app);
/* Takes the update back because of the application `title`. */
void RollBackForApp(size_t app, const char* title);
/* A watchdog tick of `periodMs` passed with the ignition on. */
void NoteWatchdogTick(DWORD periodMs);

#endif
