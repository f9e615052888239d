#include "patch/VerifiedRecord.h"

#include <stdio.h>
#include <string.h>

#include "patch/PathText.h"
#include "patch/Sha256.h"

static const int kDigits = 2 * SHA256_BYTES;
static const char kListDone = 'L';

void DigestManifest(const BYTE* text, DWORD length, char digest[MANIFEST_DIGEST_SIZE])
{
    static const char kHex[] = "0123456789abcdef";
    BYTE hash[SHA256_BYTES];
    CSha256 sha;
    sha.Add(text, length);
    sha.Finish(hash);
    for (int i = 0; i < SHA256_BYTES; ++i) {
        digest[2 * i] = kHex[hash[i] >> 4];
        digest[2 * i + 1] = kHex[hash[i] & 0x0F];
    }
    digest[kDigits] = 0;
}

ManifestNote ReadManifestNote(const char* path, const char* digest)
{
    char held[MANIFEST_DIGEST_SIZE + 2];
    FILE* file = fopen(path, "rb");
    if (file == NULL) return NOTE_NONE;
    size_t got = fread(held, 1, sizeof(held), file);
    fclose(file);
    /* The digest and a line feed, then at most the list's mark: anything
     * else is a torn note, or none of ours. */
    if (got < (size_t)kDigits + 1 || held[kDigits] != '\n' ||
        memcmp(held, digest, (size_t)kDigits) != 0) {
        return NOTE_NONE;
    }
    if (got == (size_t)kDigits + 1) return NOTE_BEGUN;
    return got == (size_t)kDigits + 2 && held[kDigits + 1] == kListDone ? NOTE_LIST_DONE
                                                                       : NOTE_NONE;
}

int RecordManifest(const char* path, const char* digest)
{
    FILE* file = fopen(path, "wb");
    if (file == NULL) return 0;
    size_t written = fwrite(digest, 1, (size_t)kDigits, file);
    written += fwrite("\n", 1, 1, file);
    int closed = fclose(file) == 0;
    return written == (size_t)kDigits + 1 && closed;
}

int RecordListDone(const char* path)
{
    FILE* file = fopen(path, "ab");
    if (file == NULL) return 0;
    size_t written = fwrite(&kListDone, 1, 1, file);
    int closed = fclose(file) == 0;
    return written == 1 && closed;
}

void ForgetManifestNote(const char* path)
{
    CWideCopy wide(path);
    if (GetFileAttributesW(wide.Units()) != INVALID_FILE_ATTRIBUTES) {
        DeleteFileW(wide.Units());
    }
}
