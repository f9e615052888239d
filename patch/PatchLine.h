/* The rules that turn one line of a patch list into a command, shared by the
 * interpreter on the terminal and the package tools on a PC, so that a tool
 * never carries a second copy of them. */
#ifndef HAILWATCH_PATCHLINE_H
#define HAILWATCH_PATCHLINE_H

#include <stdio.h>

#include "patch/PatchList.h"
#include "patch/PathText.h"

/* Bytes of the line buffer, terminator included: a physical line longer than
 * this less one is read in pieces. */
#define PATCH_LINE_SIZE 1024

/* What a line of the list is, in the order the rules decide it. */
enum PatchLineKind {
    PATCH_LINE_COMMAND,            /* carried out in this pass */
    PATCH_LINE_TAIL,               /* a later piece of a long physical line */
    PATCH_LINE_TOO_SHORT,          /* under 2 bytes, its line end counted */
    PATCH_LINE_COMMENT,            /* first byte '#', '/' or a space */
    PATCH_LINE_FIELD_TOO_LONG,     /* a field over 255 bytes */
    PATCH_LINE_NO_FIELD,           /* no complete bracketed field */
    PATCH_LINE_EMPTY_FIRST_FIELD,  /* first field empty */
    PATCH_LINE_OTHER_PASS,         /* a keyword of the other pass */
    PATCH_LINE_NO_KEYWORD,         /* no keyword of either pass */
    PATCH_LINE_CP_NO_DESTINATION,  /* CP whose second field is missing or empty */
    PATCH_LINE_PATH_TOO_LONG       /* a CP path over 255 bytes */
};

/* The commands, named by their keywords. */
enum PatchCommand {
    PATCH_COMMAND_NONE,
    PATCH_COMMAND_KILL,
    PATCH_COMMAND_RMDIR,
    PATCH_COMMAND_MKDIR,
    PATCH_COMMAND_RM,
    PATCH_COMMAND_CP,
    PATCH_COMMAND_SLEEP,
    PATCH_COMMAND_RUN,
    PATCH_COMMAND_WAITREBOOT
};

/* One line as the rules read it. `command` is the keyword that decided the
 * line (also for PATCH_LINE_OTHER_PASS and, for a CP without destination,
 * PATCH_COMMAND_CP); `fields` hold what ParseFields gave; for a CP command
 * `source` and `destination` hold the two paths of the move. */
struct PatchLine {
    PatchLineKind kind;
    PatchCommand command;
    int fieldCount;
    char fields[PATCH_MAX_FIELDS][PATCH_FIELD_SIZE];
    char source[PATCH_PATH_SIZE];
    char destination[PATCH_PATH_SIZE];
};

/* Reads the next line of `list` into `line` (PATCH_LINE_SIZE bytes, cleared
 * first). `*inLongLine` carries across calls whether the previous piece
 * ended without its line end; start it at 0. Answers 0 at the end of the
 * file or on a read error, else 1 with `*isTail` telling whether this piece
 * continues a physical line already begun. */
int ReadPatchLine(FILE* list, char* line, int* inLongLine, int* isTail);

/* Where one reading of a list stands; start it zeroed. `number` is the
 * physical line the last piece belongs to (from 1), `isTail` as above. */
struct PatchListReader {
    int inLongLine;
    int isTail;
    DWORD number;
};

/* ReadPatchLine that also counts physical lines and drops a UTF-8
 * byte-order mark from the start of line 1: editors put one there, and it
 * would hide the first line's keyword. Every reader of a list reads it so,
 * as the terminal does. */
int ReadNumberedPatchLine(FILE* list, char* line, PatchListReader* reader);

/* Applies the line rules to `line` (changed in place: '/' becomes '\') for
 * `pass` (1 the second pass, any other value the first), with `folder` the
 * folder that holds the list. */
void ClassifyPatchLine(const char* folder, char* line, int isTail, int pass,
                       PatchLine* out);

/* CPatchList::ParseFields, also telling through `*tooLong` whether a
 * complete field was longer than its slot (the line then yields no field). */
int SplitPatchFields(char (*fields)[PATCH_FIELD_SIZE], const char* line, int length,
                     int maxFields, char openChar, char closeChar, int* tooLong);

/* The keyword of a command ("" for none). */
const char* PatchKeyword(PatchCommand command);

#endif
