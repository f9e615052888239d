/* The list of a signed package, read with the interpreter's own line rules
 * once its bytes are known to be the signer's and before any line runs: what
 * its CP lines copy, and, for a package an earlier start began, which of the
 * package's files the lines already done have moved or deleted. */
#ifndef HAILWATCH_LISTREVIEW_H
#define HAILWATCH_LISTREVIEW_H

#include "patch/ListProgress.h"
#include "patch/PackageScan.h"

/* Reads the list at `listPath`. Every CP line's source must lie in the
 * package and be none of the signature folder's files, or the answer is
 * PACKAGE_FOREIGN_COPY naming the first that is not. With `done` not NULL,
 * marks in contents->mayBeAbsent every entry that a line `done` counts as
 * run has moved (CP), deleted (RM, and the RM a MKDIR makes first) or
 * emptied from its folder (RMDIR), and every entry that a copy line still
 * to run finds whole at its destination (a cut between the move and the
 * record's write). */
PackageFault ReviewPackageList(PackageScan* contents, const char* listPath,
                               const ListProgress* done);

/* Progress in which every line of a list counts as run. */
void MarkEveryLineDone(ListProgress* progress);

#endif
