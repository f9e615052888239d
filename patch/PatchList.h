/* The update engine's operations, named after the patch-list commands.
 *
 * Every operation is static and the class holds no data. Text arguments are
 * zero-terminated 8-bit strings in the ANSI code page; each operation makes
 * the UTF-16 copies it hands to the platform and frees them before it
 * returns. Results: 1 for success (and when there was nothing to do), 0 for
 * failure. Every operation writes its own log messages and never stops its
 * caller. */
#ifndef HAILWATCH_PATCHLIST_H
#define HAILWATCH_PATCHLIST_H

#include "platform/platform.h"

/* Bytes of one parsed field, terminator included. */
#define PATCH_FIELD_SIZE 256
/* Fields the interpreter keeps of one line. */
#define PATCH_MAX_FIELDS 25

class CPatchList {
public:
    /* Single files, folders, windows and programs. */
    static void SLEEP(const char* milliseconds);
    static void KILL(const char* windowTitle);
    static int RUN(const char* path);
    static int RM(const char* path);
    static int MKDIR(const char* path);
    static int CP(const char* source, const char* destination, int deleteSource);

    /* The top-level files of one folder. */
    static int IsFolderFiles(const char* folder, int verbose);
    static int DeleteFolder(const char* folder);
    static void RMDIR(const char* folder);
    static int CopyFilesFolder2Folder(const char* sourceFolder,
                                      const char* destinationFolder,
                                      int deleteSource, const char* pattern);

    /* The patch list: pass 1 runs RUN and WAITREBOOT, any other value the
     * file, folder, window and pause commands. */
    static int SearchPatchListFiles(const char* folder, int pass);
    /* The first pass of the folder's list for the start-up update: each
     * line takes effect once over any number of starts, however they end
     * (see ListProgress.h); a copy that failed is tried again. Answers as
     * SearchPatchListFiles does for the lines this start ran. */
    static int RunPatchListOnce(const char* folder);
    /* Splits a line into bracketed fields; `fields` holds `maxFields` slots
     * of PATCH_FIELD_SIZE bytes cleared by the caller. A line holding a
     * field that does not fit its slot yields no field at all. */
    static int ParseFields(char (*fields)[PATCH_FIELD_SIZE], const char* line,
                           int length, int maxFields, char openChar,
                           char closeChar);

private:
    CPatchList();
};

#endif
