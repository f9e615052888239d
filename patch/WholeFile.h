/* A file of the supervisor's own written whole in one go: its folder is made
 * when a terminal lacks it (the update would make it all the same). */
#ifndef HAILWATCH_WHOLEFILE_H
#define HAILWATCH_WHOLEFILE_H

#include <stddef.h>

#include "platform/platform.h"

/* Writes `length` bytes as the whole of the file at `path`, making `folder`
 * first if the file cannot be opened; 1 once written and closed. */
int WriteFileMakingFolder(const char* path, const char* folder, const BYTE* bytes, size_t length);

#endif
