/* The process-wide state of the supervisor, kept in one place. */
#ifndef HAILWATCH_SUPERVISORSTATE_H
#define HAILWATCH_SUPERVISORSTATE_H

#include "platform/platform.h"

struct SupervisorState {
    HINSTANCE instance;   /* module handle, for the life of the process */
    UINT powerMessage;    /* identifier of "WM_POWER_MODE_CHANGE" */
    LONG accOffFlag;      /* 1 while the ignition is off */
    DWORD accOffTick;     /* tick count when the ignition went off */
    LONG naviClosedFlag;  /* 1 after we asked the navigation application to quit */
};

extern SupervisorState g_supervisor;

#endif
