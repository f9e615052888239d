/* The opt-in to undoing a failed update: a terminal that holds
 * \ResidentFlash\Hailnet\update.rollback keeps an undo copy of every update
 * it applies and takes the update back when one watched application keeps
 * being restarted soon after it. The file may be empty, or hold the lines
 * "restarts=N" (1 to 100) and "minutes=M" (1 to 1440); a file that cannot
 * be read or parsed means the defaults, said in the log. */
#ifndef HAILWATCH_ROLLBACKSETTINGS_H
#define HAILWATCH_ROLLBACKSETTINGS_H

#include "platform/platform.h"

#define ROLLBACK_DEFAULT_RESTARTS 3
#define ROLLBACK_DEFAULT_MINUTES 10

struct RollbackSettings {
    DWORD restarts;   /* restarts of one application that undo the update */
    DWORD minutes;    /* of the watchdog's time after the update */
};

/* 1 when the terminal holds the opt-in file, `settings` then filled; 0
 * (nothing read, nothing logged) when it does not. */
int ReadRollbackSettings(RollbackSettings* settings);

/* The settings a file's bytes give; 0 when they do not parse (the
 * settings are then the defaults). */
int ParseRollbackSettings(const char* text, size_t length, RollbackSettings* settings);

#endif
