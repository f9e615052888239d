/* The terminal's note that it verified a manifest and began to apply its
 * package: the manifest's SHA-256 in a file of the built-in flash store,
 * which the holder of the SD card cannot write. A start that finds the note
 * for the manifest on the card knows the files missing from the package were
 * moved by an earlier start of that very package. */
#ifndef HAILWATCH_VERIFIEDRECORD_H
#define HAILWATCH_VERIFIEDRECORD_H

#include "platform/platform.h"

/* Hex digits of a manifest's SHA-256, terminator included. */
#define MANIFEST_DIGEST_SIZE 65

void DigestManifest(const BYTE* text, DWORD length, char digest[MANIFEST_DIGEST_SIZE]);

/* 1 when the record at `path` names this digest. */
int IsRecordedManifest(const char* path, const char* digest);

/* Writes the digest to `path`; 0 when it could not be written whole. A cut
 * while writing leaves a record that names no manifest. */
int RecordManifest(const char* path, const char* digest);

#endif
