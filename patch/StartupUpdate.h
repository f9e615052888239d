/* The update applied at every start, before the supervisor watches anything. */
#ifndef HAILWATCH_STARTUPUPDATE_H
#define HAILWATCH_STARTUPUPDATE_H

/* Applies the package on the SD card, then clears the staging folders. */
void RunStartupUpdate();
/* Closes the call, modem and meter applications before their files are replaced. */
void KillApps();
/* Deletes folder\patch_list.txt. */
void DeletePatchList(const char* folder);

#endif
