/* The manifest parser. It takes bytes from the SD card, which anyone may have
 * written: every field is bounded, and a line that is not exactly in the
 * form makes the whole manifest unusable rather than half read. */
#include "patch/PackageManifest.h"

#include <string.h>

static const char kHeaderUnnumbered[] = "HAILWATCH MANIFEST 1";
static const char kHeaderNumbered[] = "HAILWATCH MANIFEST 2";
static const char kSequenceTag[] = "SEQUENCE ";
static const DWORD kMaxSizeDigits = 10;

/* A code page 949 lead byte: the byte after it is a trail byte, never a
 * separator, and is compared as it stands. */
static int IsLeadByte(unsigned char byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}

static int IsTrailByte(unsigned char byte)
{
    return (byte >= 0x41 && byte <= 0x5A) || (byte >= 0x61 && byte <= 0x7A) ||
           (byte >= 0x81 && byte <= 0xFE);
}

static unsigned char FoldAscii(unsigned char byte)
{
    return (byte >= 'A' && byte <= 'Z') ? (unsigned char)(byte - 'A' + 'a') : byte;
}

int IsSameManifestPath(const char* first, const char* second)
{
    const unsigned char* a = (const unsigned char*)first;
    const unsigned char* b = (const unsigned char*)second;
    while (*a != 0 && *b != 0) {
        if (IsLeadByte(*a) || IsLeadByte(*b)) {
            if (a[0] != b[0] || a[1] != b[1]) return 0;
            if (a[1] == 0) return 1;
            a += 2;
            b += 2;
            continue;
        }
        if (FoldAscii(*a) != FoldAscii(*b)) return 0;
        ++a;
        ++b;
    }
    return *a == *b;
}

static int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

static int ParseHash(const char* field, BYTE* hash)
{
    for (int i = 0; i < SHA256_BYTES; ++i) {
        int high = HexValue(field[2 * i]);
        int low = HexValue(field[2 * i + 1]);
        if (high < 0 || low < 0) return 0;
        hash[i] = (BYTE)(high * 16 + low);
    }
    return 1;
}

/* Decimal digits up to the space, no sign, no leading zero, at most 2^32 - 1. */
static int ParseSize(const char* text, size_t length, DWORD* size, size_t* used)
{
    size_t n = 0;
    DWORD value = 0;
    while (n < length && text[n] >= '0' && text[n] <= '9') {
        DWORD digit = (DWORD)(text[n] - '0');
        if (n == kMaxSizeDigits || value > (0xFFFFFFFFu - digit) / 10) return 0;
        value = value * 10 + digit;
        ++n;
    }
    if (n == 0 || (n > 1 && text[0] == '0')) return 0;
    *size = value;
    *used = n;
    return 1;
}

static int IsBadNameByte(unsigned char byte)
{
    return byte < 0x20 || byte == '/' || byte == ':' || byte == '*' || byte == '?' ||
           byte == '"' || byte == '<' || byte == '>' || byte == '|' || byte == 0x7F;
}

/* One component: not empty, not "." or "..", not ending in a dot or a space
 * (which the device would drop, naming another file). */
static int IsGoodComponent(const char* start, size_t length)
{
    if (length == 0) return 0;
    /* "." and ".." end in a dot too. */
    if (start[length - 1] == '.' || start[length - 1] == ' ') return 0;
    return 1;
}

/* `separator` 0: a single name, in which a backslash is a bad byte. */
static int IsGoodPathText(const char* path, size_t length, char separator)
{
    if (length == 0 || length >= PATCH_PATH_SIZE) return 0;
    size_t componentStart = 0;
    for (size_t i = 0; i < length; ++i) {
        unsigned char byte = (unsigned char)path[i];
        if (IsLeadByte(byte)) {
            if (i + 1 >= length || !IsTrailByte((unsigned char)path[i + 1])) return 0;
            ++i;
            continue;
        }
        if (byte == (unsigned char)separator && separator != 0) {
            if (!IsGoodComponent(path + componentStart, i - componentStart)) return 0;
            componentStart = i + 1;
            continue;
        }
        if (IsBadNameByte(byte) || byte == '\\') return 0;
    }
    return IsGoodComponent(path + componentStart, length - componentStart);
}

static int IsGoodPath(const char* path, size_t length)
{
    return IsGoodPathText(path, length, '\\');
}

int IsGoodManifestName(const char* name)
{
    return IsGoodPathText(name, strlen(name), 0);
}

/* "<hash> <size> <path>" without its line end. */
static int ParseEntry(const char* line, size_t length, ManifestEntry* entry)
{
    size_t used = 0;
    if (length < 2 * SHA256_BYTES + 4 || line[2 * SHA256_BYTES] != ' ') return 0;
    if (!ParseHash(line, entry->hash)) return 0;
    const char* rest = line + 2 * SHA256_BYTES + 1;
    size_t restLength = length - 2 * SHA256_BYTES - 1;
    if (!ParseSize(rest, restLength, &entry->size, &used)) return 0;
    if (used >= restLength || rest[used] != ' ') return 0;
    const char* path = rest + used + 1;
    size_t pathLength = restLength - used - 1;
    if (!IsGoodPath(path, pathLength)) return 0;
    memcpy(entry->path, path, pathLength);
    entry->path[pathLength] = 0;
    return 1;
}

/* The next line at *offset, its line end taken off; 0 at the end of the text
 * or for a last line without its line end. */
static int NextLine(const char* text, size_t length, size_t* offset, const char** line,
                    size_t* lineLength)
{
    if (*offset >= length) return 0;
    const char* start = text + *offset;
    const char* end = (const char*)memchr(start, '\n', length - *offset);
    if (end == NULL) return 0;
    *line = start;
    *lineLength = (size_t)(end - start);
    if (*lineLength > 0 && start[*lineLength - 1] == '\r') --*lineLength;
    *offset += (size_t)(end - start) + 1;
    return 1;
}

static int IsRepeated(const ManifestEntry* entries, int count, const ManifestEntry* entry)
{
    return FindManifestEntry(entries, count, entry->path) >= 0;
}

static int IsLine(const char* line, size_t lineLength, const char* expected)
{
    return lineLength == strlen(expected) && memcmp(line, expected, lineLength) == 0;
}

/* "SEQUENCE <number>", the number from 1 up, no leading zero. */
static int ParseSequence(const char* line, size_t lineLength, DWORD* sequence)
{
    const size_t tag = sizeof(kSequenceTag) - 1;
    size_t used = 0;
    if (lineLength <= tag || memcmp(line, kSequenceTag, tag) != 0) return 0;
    if (!ParseSize(line + tag, lineLength - tag, sequence, &used)) return 0;
    return used == lineLength - tag && *sequence != 0;
}

/* The header, and the sequence line of a numbered manifest. */
static int ParseHeader(const char* text, size_t length, size_t* offset, DWORD* sequence)
{
    const char* line = NULL;
    size_t lineLength = 0;
    *sequence = 0;
    if (!NextLine(text, length, offset, &line, &lineLength)) return 0;
    if (IsLine(line, lineLength, kHeaderUnnumbered)) return 1;
    return IsLine(line, lineLength, kHeaderNumbered) &&
           NextLine(text, length, offset, &line, &lineLength) &&
           ParseSequence(line, lineLength, sequence);
}

int ParseManifest(const char* text, size_t length, ManifestEntry* entries, int capacity,
                  int* count, DWORD* sequence)
{
    size_t offset = 0;
    const char* line = NULL;
    size_t lineLength = 0;
    DWORD number = 0;
    *count = 0;
    *sequence = 0;
    if (text == NULL || length > MANIFEST_MAX_BYTES) return 0;
    if (!ParseHeader(text, length, &offset, &number)) return 0;
    int found = 0;
    while (NextLine(text, length, &offset, &line, &lineLength)) {
        ManifestEntry entry;
        if (!ParseEntry(line, lineLength, &entry) || found >= MANIFEST_MAX_ENTRIES) return 0;
        if (entries != NULL) {
            if (found >= capacity || IsRepeated(entries, found, &entry)) return 0;
            entries[found] = entry;
        }
        ++found;
    }
    /* Bytes after the last line end are a torn or padded manifest. */
    if (offset != length) return 0;
    *count = found;
    *sequence = number;
    return 1;
}

int FindManifestEntry(const ManifestEntry* entries, int count, const char* path)
{
    for (int i = 0; i < count; ++i) {
        if (IsSameManifestPath(entries[i].path, path)) return i;
    }
    return -1;
}
