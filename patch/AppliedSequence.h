/* The highest sequence number of a signed package the terminal has begun to
 * apply, kept in the built-in flash store beside the fleet's key: a package
 * numbered no higher is an older one put back on the card, and is refused.
 * The file holds the number in decimal and a line feed. */
#ifndef HAILWATCH_APPLIEDSEQUENCE_H
#define HAILWATCH_APPLIEDSEQUENCE_H

#include "platform/platform.h"

enum AppliedSequence {
    SEQUENCE_NONE,     /* no numbered package applied yet */
    SEQUENCE_HELD,     /* *number holds the highest */
    SEQUENCE_DAMAGED   /* the file is there but holds no number: a cut while it was written */
};

AppliedSequence ReadAppliedSequence(const char* path, DWORD* number);

/* Writes the number; 0 when it could not be written whole. */
int RecordAppliedSequence(const char* path, DWORD number);

#endif
