/* The manifest of a signed package: every file of the package, the patch
 * list included, with its size and SHA-256, one line each after a header:
 *
 *     HAILWATCH MANIFEST 2
 *     SEQUENCE <number>
 *     <64 lower-case hex digits> <size in decimal> <path>
 *
 * The sequence number (1 to 4294967295) orders the owner's packages, so a
 * terminal can refuse one older than what it has applied. A manifest of
 * version 1 has no SEQUENCE line and no number.
 *
 * Paths are relative to the package, in the ANSI code page, with "\" between
 * components, and are matched without regard to the case of ASCII letters,
 * as the device's file system matches them. Lines end in LF or CR LF. */
#ifndef HAILWATCH_PACKAGEMANIFEST_H
#define HAILWATCH_PACKAGEMANIFEST_H

#include <stddef.h>

#include "patch/PathText.h"
#include "patch/Sha256.h"

/* Bytes of the largest manifest read, and entries it may hold. */
#define MANIFEST_MAX_BYTES (1024 * 1024)
#define MANIFEST_MAX_ENTRIES 4096

struct ManifestEntry {
    char path[PATCH_PATH_SIZE];
    DWORD size;
    BYTE hash[SHA256_BYTES];
};

/* Reads `length` bytes of manifest text. With `entries` NULL only counts.
 * Answers 1 with *count and *sequence (0 for a manifest without a number)
 * set when the header is right, every line is well formed, no path is given
 * twice and the entries fit `capacity`; else 0. */
int ParseManifest(const char* text, size_t length, ManifestEntry* entries, int capacity,
                  int* count, DWORD* sequence);

/* Whether one component of a path (no separator in it) is a name the
 * device keeps as it is: not empty, not "." or "..", no byte its file
 * system refuses, every 949 lead byte with its trail byte, and no trailing
 * dot or space, which the device would drop, naming another file. */
int IsGoodManifestName(const char* name);

/* Index of the entry naming `path` (relative to the package), or -1. */
int FindManifestEntry(const ManifestEntry* entries, int count, const char* path);

/* Whether two relative paths name one file on the device. */
int IsSameManifestPath(const char* first, const char* second);

#endif
