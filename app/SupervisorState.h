/* The process-wide state of the supervisor, kept in one place. */
#ifndef HAILWATCH_SUPERVISORSTATE_H
#define HAILWATCH_SUPERVISORSTATE_H

#include "platform/platform.h"

/* The watched applications, in the watchdog's order. */
#define WATCHED_APP_COUNT 4

/* The probation of an update that can be undone, as the watchdog keeps it
 * in this run; the flash store holds it across runs. */
struct ProbationWatch {
    LONG active;                        /* 1 while the probation runs */
    DWORD restartLimit;                 /* restarts of one application that undo the update */
    DWORD windowMs;                     /* watchdog time the probation lasts */
    DWORD elapsedMs;                    /* watchdog time since the update */
    DWORD unsavedMs;                    /* of it, not yet in the flash store */
    DWORD restarts[WATCHED_APP_COUNT];
    LONG seen[WATCHED_APP_COUNT];       /* up, or started by the watchdog, in this run */
};

struct SupervisorState {
    HINSTANCE instance;   /* module handle, for the life of the process */
    UINT powerMessage;    /* identifier of "WM_POWER_MODE_CHANGE" */
    LONG accOffFlag;      /* 1 while the ignition is off */
    DWORD accOffTick;     /* tick count when the ignition went off */
    LONG naviClosedFlag;  /* 1 after we asked the navigation application to quit */
    ProbationWatch probation;
};

extern SupervisorState g_supervisor;

#endif
