/* The walk over the package and the search for what an earlier start moved. */
#include "patch/PackageScan.h"

#include <stdio.h>
#include <string.h>


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

static PackageFault Fault(PackageScan* contents, PackageFault fault, const char* path)
{
    size_t length = strlen(path);
    if (length >= sizeof(contents->faultPath)) length = sizeof(contents->faultPath) - 1;
    memcpy(contents->faultPath, path, length);
    contents->faultPath[length] = 0;
    return fault;
}

static int IsBookkeeping(const char* relative)
{
    return IsSameManifestPath(relative, kManifestPath) ||
           IsSameManifestPath(relative, kSignaturePath);
}

static PackageFault CompareFile(PackageScan* contents, const char* path,
                                const ManifestEntry& entry)
{
    DWORD size = 0;
    BYTE hash[SHA256_BYTES];
    if (!HashFile(path, &size, hash)) return Fault(contents, PACKAGE_UNREADABLE, path);
    if (size != entry.size) return Fault(contents, PACKAGE_SIZE, path);
    if (memcmp(hash, entry.hash, SHA256_BYTES) != 0) return Fault(contents, PACKAGE_HASH, path);
    return PACKAGE_MATCHES;
}

static PackageFault CheckOneFile(PackageScan* contents, const char* path,
                                 const char* relative, const WIN32_FIND_DATAW& found)
{
    if (IsBookkeeping(relative)) return PACKAGE_MATCHES;
    int index = FindManifestEntry(contents->entries, contents->count, relative);
    if (index < 0) return Fault(contents, PACKAGE_UNLISTED, path);
    contents->present[index] = 1;
    /* The size first: a file of another size needs no hashing. */
    if (found.nFileSizeHigh != 0 || found.nFileSizeLow != contents->entries[index].size) {
        return Fault(contents, PACKAGE_SIZE, path);
    }
    return CompareFile(contents, path, contents->entries[index]);
}

static int IsDotEntry(const WCHAR* name)
{
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

static PackageFault WalkFolder(PackageScan* contents, const char* folder,
                               const char* relative, int depth);

/* One entry of a folder: a file is checked, a folder walked. */
static PackageFault CheckEntry(PackageScan* contents, const char* folder,
                               const char* relative, int depth, const WIN32_FIND_DATAW& found)
{
    CNarrowCopy name(found.cFileName);
    char path[PACKAGE_PATH_SIZE];
    char inner[PATCH_PATH_SIZE];
    inner[0] = 0;
    int fits = JoinPath(path, sizeof(path), folder, name.Text()) &&
               (relative[0] == 0 ? strlen(name.Text()) < sizeof(inner)
                                 : JoinPath(inner, sizeof(inner), relative, name.Text()));
    if (!fits) return Fault(contents, PACKAGE_UNREADABLE, folder);
    if (relative[0] == 0) strcpy(inner, name.Text());
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (depth == kMaxDepth) return Fault(contents, PACKAGE_UNREADABLE, path);
        return WalkFolder(contents, path, inner, depth + 1);
    }
    return CheckOneFile(contents, path, inner, found);
}

static PackageFault WalkFolder(PackageScan* contents, const char* folder,
                               const char* relative, int depth)
{
    char pattern[PACKAGE_PATH_SIZE];
    if (!JoinPath(pattern, sizeof(pattern), folder, "*.*")) {
        return Fault(contents, PACKAGE_UNREADABLE, folder);
    }
    CWideCopy widePattern(pattern);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(widePattern.Units(), &found);
    if (search == INVALID_HANDLE_VALUE) return PACKAGE_MATCHES;
    PackageFault fault = PACKAGE_MATCHES;
    do {
        if (!IsDotEntry(found.cFileName)) fault = CheckEntry(contents, folder, relative, depth, found);
    } while (fault == PACKAGE_MATCHES && FindNextFileW(search, &found));
    FindClose(search);
    return fault;
}

PackageFault CheckPackageFiles(PackageScan* contents)
{
    return WalkFolder(contents, contents->packageFolder, "", 0);
}

PackageFault CheckAbsentFiles(PackageScan* contents, int resumed)
{
    for (int i = 0; i < contents->count; ++i) {
        if (contents->present[i] || resumed) continue;
        char source[PACKAGE_PATH_SIZE];
        if (!JoinPath(source, sizeof(source), contents->packageFolder, contents->entries[i].path)) {
            return Fault(contents, PACKAGE_UNREADABLE, contents->entries[i].path);
        }
        return Fault(contents, PACKAGE_MISSING, source);
    }
    return PACKAGE_MATCHES;
}
