/* Starting another program the only way Windows CE allows. */
#ifndef HAILWATCH_LAUNCHIMAGE_H
#define HAILWATCH_LAUNCHIMAGE_H

#include "platform/platform.h"

/* Starts the executable at `image` with nothing but its path. The result is
 * not looked at: the watchdog and the navigation restart simply try again
 * (or not) on their next turn. */
void LaunchImage(LPCWSTR image);

#endif
