/* The terminal's note that it verified a manifest and began to apply its
 * package: the manifest's SHA-256 in a file of the built-in flash store,
 * which the holder of the SD card cannot write. A start that finds the note
 * for the manifest on the card knows it began that very package; the note
 * also says once the package's list has run to its end. It belongs to one
 * package and is deleted when that package is done, so no later start takes
 * a part of it put back on the card for a package still being applied.
 *
 * The note is the digest and a line feed (begun), then one byte 'L' once
 * the list is done. That byte is appended alone, so a cut leaves the note
 * either as it was or with the byte. */
#ifndef HAILWATCH_VERIFIEDRECORD_H
#define HAILWATCH_VERIFIEDRECORD_H

#include "platform/platform.h"

/* Hex digits of a manifest's SHA-256, terminator included. */
#define MANIFEST_DIGEST_SIZE 65

enum ManifestNote {
    NOTE_NONE,       /* no note, a torn one, or the note of another manifest */
    NOTE_BEGUN,      /* this manifest's package was begun */
    NOTE_LIST_DONE   /* ... and its list ran to its end */
};

void DigestManifest(const BYTE* text, DWORD length, char digest[MANIFEST_DIGEST_SIZE]);

/* What the note at `path` says of the manifest with this digest. */
ManifestNote ReadManifestNote(const char* path, const char* digest);

/* Writes the digest to `path`; 0 when it could not be written whole. A cut
 * while writing leaves a note that names no manifest. */
int RecordManifest(const char* path, const char* digest);

/* Adds to a note of NOTE_BEGUN that the list is done; 0 when it could not. */
int RecordListDone(const char* path);

/* Deletes the note, if there is one: its package is done. */
void ForgetManifestNote(const char* path);

#endif
