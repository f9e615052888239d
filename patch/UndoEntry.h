/* The undo copy on the SD card: one entry per path the update changed (or
 * window it closed), numbered from 1 in the order of the first change, in
 * the folder \SDMMC\AirUpdate.undo beside the package. Entry N is the file
 * N.ent (8 decimal digits); a file's old bytes are N.dat beside it.
 *
 * An entry is the update's own file, bound by the flash record (UndoRecord.h):
 * the record holds the SHA-256 chain over every entry's exact bytes, and each
 * entry holds the size and SHA-256 of its .dat, so a card holder can keep a
 * rollback from happening but cannot change what it puts back. */
#ifndef HAILWATCH_UNDOENTRY_H
#define HAILWATCH_UNDOENTRY_H

#include <stddef.h>

#include "patch/PathText.h"
#include "patch/Sha256.h"
#include "platform/platform.h"

/* Entries one undo copy holds at most: past this the update is not applied. */
#define UNDO_MAX_ENTRIES 4096
/* UTF-16 units of an entry's path or title, terminator included. */
#define UNDO_TEXT_UNITS FOLDER_PATH_UNITS
/* Bytes of an entry file at most. */
#define UNDO_ENTRY_BYTES (60 + 2 * UNDO_TEXT_UNITS)
/* Bytes of the path of an entry's file, terminator included. */
#define UNDO_FILE_PATH_SIZE 48

enum UndoKind {
    UNDO_KIND_FILE = 1,    /* a file stood here: its bytes and attributes */
    UNDO_KIND_FOLDER = 2,  /* a folder stood here: its attributes */
    UNDO_KIND_ABSENT = 3,  /* nothing stood here */
    UNDO_KIND_CLOSED = 4   /* a window the update closed: its title */
};

struct UndoEntry {
    DWORD index;
    DWORD kind;
    DWORD attributes;
    DWORD size;                       /* of the .dat */
    BYTE digest[SHA256_BYTES];        /* of the .dat */
    WCHAR text[UNDO_TEXT_UNITS];      /* the path as it was spelled on the device, or the title */
};

/* The entry's bytes into `out` (UNDO_ENTRY_BYTES); answers their length. */
size_t EncodeUndoEntry(const UndoEntry* entry, BYTE* out);
/* 1 when `bytes` are a whole entry numbered `index`. */
int DecodeUndoEntry(const BYTE* bytes, size_t length, DWORD index, UndoEntry* entry);

/* chain = SHA-256(chain || bytes): the record's binding of the copy. */
void ChainUndoEntry(BYTE chain[SHA256_BYTES], const BYTE* bytes, size_t length);

/* \SDMMC\AirUpdate.undo\NNNNNNNN.ent or .dat. */
void FormUndoFilePath(char out[UNDO_FILE_PATH_SIZE], DWORD index, const char* suffix);
extern const char* const kUndoCopyFolder;

/* Writes the entry's file; 1 once it is closed whole. */
int WriteUndoEntry(const BYTE* bytes, size_t length, DWORD index);
/* Reads entry `index`'s file (at most UNDO_ENTRY_BYTES); 0 when it cannot be read. */
int ReadUndoEntryBytes(DWORD index, BYTE* bytes, size_t* length);

/* Copies the file at `path` to entry `index`'s .dat and reads the copy back
 * for its size and SHA-256; 1 when the card holds it whole. */
int SaveUndoBytes(const WCHAR* path, DWORD index, DWORD* size, BYTE digest[SHA256_BYTES]);
/* 1 when entry `index`'s .dat has this size and SHA-256. */
int CheckUndoBytes(DWORD index, DWORD size, const BYTE digest[SHA256_BYTES]);

/* Deletes the undo copy's folder and everything in it. */
void ForgetUndoCopy();

#endif
