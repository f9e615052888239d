/* The walk over the package and the search for what an earlier start moved. */
#include "patch/PackageScan.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "patch/SiblingNames.h"


const char* const kManifestPath = "Signature\\manifest.txt";
const char* const kSignaturePath = "Signature\\manifest.sig";
static const size_t kReadChunk = 64 * 1024;
/* Folder levels walked below the package. Each level costs about 2 KB of
 * the UI thread's stack, and the card's folders are anyone's to nest: a
 * deeper package is refused rather than risking the stack. */
static const int kMaxDepth = 8;

int HashFile(const char* path, DWORD* size, BYTE hash[SHA256_BYTES])
{
    FILE* file = fopen(path, "rb");
    if (file == NULL) return 0;
    BYTE* chunk = new BYTE[kReadChunk];
    CSha256 sha;
    DWORD total = 0;
    int tooLarge = 0;
    size_t got = 0;
    while ((got = fread(chunk, 1, kReadChunk, file)) > 0) {
        sha.Add(chunk, got);
        tooLarge |= total > 0xFFFFFFFFu - (DWORD)got;
        total += (DWORD)got;
    }
    /* A read error ends the data early: the file then differs in size from
     * its entry, which refuses it as surely as an error would. */
    int good = !tooLarge;
    fclose(file);
    delete[] chunk;
    sha.Finish(hash);
    *size = total;
    return good;
}

PackageFault SetPackageFault(PackageScan* contents, PackageFault fault, const char* path)
{
    size_t length = strlen(path);
    if (length >= sizeof(contents->faultPath)) length = sizeof(contents->faultPath) - 1;
    memcpy(contents->faultPath, path, length);
    contents->faultPath[length] = 0;
    return fault;
}

/* 0 for the manifest, 1 for its signature, -1 for any other file. */
static int BookkeepingIndex(const char* relative)
{
    if (IsSameManifestPath(relative, kManifestPath)) return 0;
    return IsSameManifestPath(relative, kSignaturePath) ? 1 : -1;
}

static PackageFault CompareFile(PackageScan* contents, const char* path,
                                const ManifestEntry& entry)
{
    DWORD size = 0;
    BYTE hash[SHA256_BYTES];
    if (!HashFile(path, &size, hash)) return SetPackageFault(contents, PACKAGE_UNREADABLE, path);
    if (size != entry.size) return SetPackageFault(contents, PACKAGE_SIZE, path);
    if (memcmp(hash, entry.hash, SHA256_BYTES) != 0) return SetPackageFault(contents, PACKAGE_HASH, path);
    return PACKAGE_MATCHES;
}

int HasEntryContents(const char* path, const ManifestEntry& entry)
{
    DWORD size = 0;
    BYTE hash[SHA256_BYTES];
    return HashFile(path, &size, hash) && size == entry.size &&
           memcmp(hash, entry.hash, SHA256_BYTES) == 0;
}

/* A name found twice is two files the device takes for one: the one the
 * check hashed need not be the one a file call opens. */
static PackageFault CheckOneFile(PackageScan* contents, const char* path,
                                 const char* relative, const WIN32_FIND_DATAW& found)
{
    int bookkeeping = BookkeepingIndex(relative);
    if (bookkeeping >= 0) {
        if (contents->bookkeepingFound[bookkeeping]++ != 0) return SetPackageFault(contents, PACKAGE_NAME, path);
        return PACKAGE_MATCHES;
    }
    int index = FindManifestEntry(contents->entries, contents->count, relative);
    if (index < 0) return SetPackageFault(contents, PACKAGE_UNLISTED, path);
    if (contents->present[index]) return SetPackageFault(contents, PACKAGE_NAME, path);
    contents->present[index] = 1;
    /* The size first: a file of another size needs no hashing. */
    if (found.nFileSizeHigh != 0 || found.nFileSizeLow != contents->entries[index].size) {
        return SetPackageFault(contents, PACKAGE_SIZE, path);
    }
    return CompareFile(contents, path, contents->entries[index]);
}

static int IsDotEntry(const WCHAR* name)
{
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

/* The file calls name an entry by its 949 copy, turned back into UTF-16:
 * only a copy that gives back the very name found, and that the device
 * keeps as it stands, reaches this entry and no other. A lossy conversion
 * (a character 949 lacks, or one it maps onto another, such as a currency
 * sign onto the backslash) would make the check read one file and the move
 * another. */
static int IsNameAsFound(const WCHAR* found, const char* narrow)
{
    CWideCopy back(narrow);
    return wcscmp(back.Units(), found) == 0 && IsGoodManifestName(narrow);
}

static PackageFault WalkFolder(PackageScan* contents, const char* folder,
                               const char* relative, int depth);

/* One entry of a folder: a file is checked, a folder walked, each under a
 * name the device reads as this entry and as no other of the folder. */
static PackageFault CheckEntry(PackageScan* contents, const char* folder, const char* relative,
                               int depth, const WIN32_FIND_DATAW& found, CSiblingNames* siblings)
{
    CNarrowCopy name(found.cFileName);
    char path[PACKAGE_PATH_SIZE];
    char inner[PATCH_PATH_SIZE];
    inner[0] = 0;
    int fits = JoinPath(path, sizeof(path), folder, name.Text()) &&
               (relative[0] == 0 ? strlen(name.Text()) < sizeof(inner)
                                 : JoinPath(inner, sizeof(inner), relative, name.Text()));
    if (!fits) return SetPackageFault(contents, PACKAGE_UNREADABLE, folder);
    if (!IsNameAsFound(found.cFileName, name.Text()) || !siblings->Add(name.Text())) {
        return SetPackageFault(contents, PACKAGE_NAME, path);
    }
    if (relative[0] == 0) strcpy(inner, name.Text());
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (depth == kMaxDepth) return SetPackageFault(contents, PACKAGE_UNREADABLE, path);
        return WalkFolder(contents, path, inner, depth + 1);
    }
    return CheckOneFile(contents, path, inner, found);
}

static PackageFault WalkFolder(PackageScan* contents, const char* folder,
                               const char* relative, int depth)
{
    char pattern[PACKAGE_PATH_SIZE];
    if (!JoinPath(pattern, sizeof(pattern), folder, "*.*")) {
        return SetPackageFault(contents, PACKAGE_UNREADABLE, folder);
    }
    CWideCopy widePattern(pattern);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(widePattern.Units(), &found);
    if (search == INVALID_HANDLE_VALUE) return PACKAGE_MATCHES;
    PackageFault fault = PACKAGE_MATCHES;
    CSiblingNames siblings;
    do {
        if (!IsDotEntry(found.cFileName)) {
            fault = CheckEntry(contents, folder, relative, depth, found, &siblings);
        }
    } while (fault == PACKAGE_MATCHES && FindNextFileW(search, &found));
    FindClose(search);
    return fault;
}

PackageFault CheckPackageFiles(PackageScan* contents)
{
    return WalkFolder(contents, contents->packageFolder, "", 0);
}

PackageFault CheckAbsentFiles(PackageScan* contents)
{
    for (int i = 0; i < contents->count; ++i) {
        if (contents->present[i] || contents->mayBeAbsent[i]) continue;
        char source[PACKAGE_PATH_SIZE];
        if (!JoinPath(source, sizeof(source), contents->packageFolder, contents->entries[i].path)) {
            return SetPackageFault(contents, PACKAGE_UNREADABLE, contents->entries[i].path);
        }
        return SetPackageFault(contents, PACKAGE_MISSING, source);
    }
    return PACKAGE_MATCHES;
}
