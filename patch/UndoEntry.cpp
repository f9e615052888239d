/* The entries of the undo copy on the card, their bytes and their files. */
#include "patch/UndoEntry.h"

#include <stdio.h>
#include <string.h>

#include "patch/FileSearch.h"
#include "patch/Retry.h"
#include "patch/WholeFile.h"

const char* const kUndoCopyFolder = "\\SDMMC\\AirUpdate.undo";
/* "HLUE" in the file's byte order. */
static const DWORD kMagic = 0x45554C48;
static const DWORD kVersion = 1;
/* Magic, version, index, kind, attributes, size; the digest; the units. */
static const size_t kDigestAt = 24;
static const size_t kUnitsAt = kDigestAt + SHA256_BYTES;
static const size_t kTextAt = kUnitsAt + 4;
static const size_t kReadChunk = 2048;
static const int kIndexDigits = 8;

static DWORD GetWord(const BYTE* bytes, size_t at)
{
    return (DWORD)bytes[at] | ((DWORD)bytes[at + 1] << 8) | ((DWORD)bytes[at + 2] << 16) |
           ((DWORD)bytes[at + 3] << 24);
}

static void PutWord(BYTE* bytes, size_t at, DWORD value)
{
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = (BYTE)(value >> (8 * i));
    }
}

size_t EncodeUndoEntry(const UndoEntry* entry, BYTE* out)
{
    size_t units = 0;
    while (units < UNDO_TEXT_UNITS - 1 && entry->text[units] != 0) {
        ++units;
    }
    memset(out, 0, UNDO_ENTRY_BYTES);
    PutWord(out, 0, kMagic);
    PutWord(out, 4, kVersion);
    PutWord(out, 8, entry->index);
    PutWord(out, 12, entry->kind);
    PutWord(out, 16, entry->attributes);
    PutWord(out, 20, entry->size);
    memcpy(out + kDigestAt, entry->digest, SHA256_BYTES);
    PutWord(out, kUnitsAt, (DWORD)units);
    for (size_t i = 0; i < units; ++i) {
        out[kTextAt + 2 * i] = (BYTE)(entry->text[i] & 0xFF);
        out[kTextAt + 2 * i + 1] = (BYTE)(entry->text[i] >> 8);
    }
    return kTextAt + 2 * units;
}

int DecodeUndoEntry(const BYTE* bytes, size_t length, DWORD index, UndoEntry* entry)
{
    memset(entry, 0, sizeof(*entry));
    if (length < kTextAt || GetWord(bytes, 0) != kMagic || GetWord(bytes, 4) != kVersion ||
        GetWord(bytes, 8) != index) {
        return 0;
    }
    DWORD units = GetWord(bytes, kUnitsAt);
    DWORD kind = GetWord(bytes, 12);
    if (units == 0 || units >= UNDO_TEXT_UNITS || length != kTextAt + 2 * (size_t)units ||
        kind < UNDO_KIND_FILE || kind > UNDO_KIND_CLOSED) {
        return 0;
    }
    entry->index = index;
    entry->kind = kind;
    entry->attributes = GetWord(bytes, 16);
    entry->size = GetWord(bytes, 20);
    memcpy(entry->digest, bytes + kDigestAt, SHA256_BYTES);
    for (DWORD i = 0; i < units; ++i) {
        entry->text[i] = (WCHAR)(bytes[kTextAt + 2 * i] | (bytes[kTextAt + 2 * i + 1] << 8));
    }
    return 1;
}

void ChainUndoEntry(BYTE chain[SHA256_BYTES], const BYTE* bytes, size_t length)
{
    CSha256 sha;
    sha.Add(chain, SHA256_BYTES);
    sha.Add(bytes, length);
    sha.Finish(chain);
}

/* Digit by digit: the name has a fixed width and no format can overflow it. */
void FormUndoFilePath(char out[UNDO_FILE_PATH_SIZE], DWORD index, const char* suffix)
{
    size_t at = strlen(kUndoCopyFolder);
    memcpy(out, kUndoCopyFolder, at);
    out[at++] = '\\';
    for (int digit = kIndexDigits - 1; digit >= 0; --digit) {
        out[at + (size_t)digit] = (char)('0' + index % 10);
        index /= 10;
    }
    at += kIndexDigits;
    size_t suffixLength = strlen(suffix);
    memcpy(out + at, suffix, suffixLength + 1);
}

int WriteUndoEntry(const BYTE* bytes, size_t length, DWORD index)
{
    char path[UNDO_FILE_PATH_SIZE];
    FormUndoFilePath(path, index, ".ent");
    return WriteFileMakingFolder(path, kUndoCopyFolder, bytes, length);
}

int ReadUndoEntryBytes(DWORD index, BYTE* bytes, size_t* length)
{
    char path[UNDO_FILE_PATH_SIZE];
    FormUndoFilePath(path, index, ".ent");
    FILE* file = fopen(path, "rb");
    if (file == NULL) {
        return 0;
    }
    *length = fread(bytes, 1, UNDO_ENTRY_BYTES, file);
    BYTE beyond;
    int whole = fread(&beyond, 1, 1, file) == 0;
    fclose(file);
    return whole;
}

/* The size and SHA-256 of a file as read now; 0 when it does not open. */
static int MeasureFile(const char* path, DWORD* size, BYTE digest[SHA256_BYTES])
{
    FILE* file = fopen(path, "rb");
    if (file == NULL) {
        return 0;
    }
    BYTE chunk[kReadChunk];
    CSha256 sha;
    DWORD total = 0;
    size_t got;
    while ((got = fread(chunk, 1, sizeof(chunk), file)) > 0) {
        sha.Add(chunk, got);
        total += (DWORD)got;
    }
    fclose(file);
    sha.Finish(digest);
    *size = total;
    return 1;
}

static int CopyOnce(const WCHAR* source, const WCHAR* destination)
{
    return CopyFileW(source, destination, FALSE);
}

int SaveUndoBytes(const WCHAR* path, DWORD index, DWORD* size, BYTE digest[SHA256_BYTES])
{
    char datPath[UNDO_FILE_PATH_SIZE];
    FormUndoFilePath(datPath, index, ".dat");
    CWideCopy dat(datPath);
    /* A copy takes its source's attributes: one left read-only by a cut, or
     * by an ended copy, would refuse to be replaced. */
    if (GetFileAttributesW(dat.Units()) != INVALID_FILE_ATTRIBUTES) {
        SetFileAttributesW(dat.Units(), FILE_ATTRIBUTE_NORMAL);
    } else {
        CWideCopy folder(kUndoCopyFolder);
        CreateDirectoryW(folder.Units(), NULL);
    }
    /* CopyFileW, not fopen: a name the code page cannot spell still copies. */
    if (!CallWithRetries(CopyOnce, path, dat.Units())) {
        return 0;
    }
    SetFileAttributesW(dat.Units(), FILE_ATTRIBUTE_NORMAL);
    /* What counts is what the card gives back. */
    return MeasureFile(datPath, size, digest);
}

int CheckUndoBytes(DWORD index, DWORD size, const BYTE digest[SHA256_BYTES])
{
    char datPath[UNDO_FILE_PATH_SIZE];
    FormUndoFilePath(datPath, index, ".dat");
    DWORD found = 0;
    BYTE measured[SHA256_BYTES];
    return MeasureFile(datPath, &found, measured) && found == size &&
           memcmp(measured, digest, SHA256_BYTES) == 0;
}

void ForgetUndoCopy()
{
    CWideCopy folder(kUndoCopyFolder);
    if (GetFileAttributesW(folder.Units()) == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    {
        CFileSearch search(folder.Units(), L"*.*");
        while (search.NextFile()) {
            WCHAR path[FOLDER_PATH_UNITS];
            if (JoinWidePath(path, FOLDER_PATH_UNITS, folder.Units(), search.Name())) {
                SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path);
            }
        }
    }
    RemoveDirectoryW(folder.Units());
}
