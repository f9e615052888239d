#include "patch/ListReview.h"

#include <string.h>

#include "patch/PackagePath.h"
#include "patch/PatchLine.h"

static const char* const kSignatureFolder = "Signature";

/* The signature folder's files are the package's seal, not its contents:
 * a list that moved them would leave the rest of the package unsealed. */
static int IsInSignatureFolder(const char* relative)
{
    char first[PATCH_PATH_SIZE];
    const char* end = strchr(relative, '\\');
    size_t length = end != NULL ? (size_t)(end - relative) : strlen(relative);
    memcpy(first, relative, length);
    first[length] = 0;
    return IsSameManifestPath(first, kSignatureFolder);
}

static int IsForeignSource(const PackageScan& contents, const PatchLine& line)
{
    char relative[PATCH_PATH_SIZE];
    if (PlaceInFolder(line.source, contents.packageFolder, relative, sizeof(relative)) !=
        PLACE_INSIDE) {
        return 1;
    }
    return IsInSignatureFolder(relative);
}

static void MarkEntry(PackageScan* contents, const char* relative)
{
    int index = FindManifestEntry(contents->entries, contents->count, relative);
    if (index >= 0) contents->mayBeAbsent[index] = 1;
}

/* Whether `path` lies directly in `folder` ("" the package's top level). */
static int IsDirectlyIn(const char* path, const char* folder)
{
    char parent[PATCH_PATH_SIZE];
    const char* last = strrchr(path, '\\');
    size_t length = last != NULL ? (size_t)(last - path) : 0;
    memcpy(parent, path, length);
    parent[length] = 0;
    return IsSameManifestPath(parent, folder);
}

/* RMDIR deletes the folder's top-level files, then the folder's own name
 * should it be a file. */
static void MarkFolderFiles(PackageScan* contents, const char* folder)
{
    MarkEntry(contents, folder);
    for (int i = 0; i < contents->count; ++i) {
        if (IsDirectlyIn(contents->entries[i].path, folder)) contents->mayBeAbsent[i] = 1;
    }
}

/* A cut in the middle of a copy line leaves it still to run, yet the move
 * may have gone through: the copy is made before the source is deleted, so
 * a source gone with its copy whole at the destination was moved by it. */
static void MarkMovedBeforeCut(PackageScan* contents, const PatchLine& line)
{
    char relative[PATCH_PATH_SIZE];
    if (PlaceInFolder(line.source, contents->packageFolder, relative, sizeof(relative)) !=
        PLACE_INSIDE) {
        return;
    }
    int index = FindManifestEntry(contents->entries, contents->count, relative);
    if (index >= 0 && !contents->present[index] &&
        HasEntryContents(line.destination, contents->entries[index])) {
        contents->mayBeAbsent[index] = 1;
    }
}

static void MarkLineEffect(PackageScan* contents, const PatchLine& line)
{
    char relative[PATCH_PATH_SIZE];
    const char* target = line.command == PATCH_COMMAND_CP ? line.source : line.fields[0];
    if (PlaceInFolder(target, contents->packageFolder, relative, sizeof(relative)) !=
        PLACE_INSIDE) {
        return;
    }
    switch (line.command) {
    case PATCH_COMMAND_CP:
    case PATCH_COMMAND_RM:
    case PATCH_COMMAND_MKDIR: MarkEntry(contents, relative); break;
    case PATCH_COMMAND_RMDIR: MarkFolderFiles(contents, relative); break;
    default: break;
    }
}

PackageFault ReviewPackageList(PackageScan* contents, const char* listPath,
                               const ListProgress* done)
{
    /* Text mode, as the interpreter reads it. */
    FILE* list = fopen(listPath, "r");
    if (list == NULL) return SetPackageFault(contents, PACKAGE_UNREADABLE, listPath);
    char line[PATCH_LINE_SIZE];
    PatchListReader reader = { 0, 0, 0 };
    PatchLine parsed;
    PackageFault fault = PACKAGE_MATCHES;
    while (fault == PACKAGE_MATCHES && ReadNumberedPatchLine(list, line, &reader)) {
        ClassifyPatchLine(contents->packageFolder, line, reader.isTail, 0, &parsed);
        if (parsed.kind != PATCH_LINE_COMMAND) continue;
        int isCopy = parsed.command == PATCH_COMMAND_CP;
        if (isCopy && IsForeignSource(*contents, parsed)) {
            fault = SetPackageFault(contents, PACKAGE_FOREIGN_COPY, parsed.source);
        } else if (done != NULL && !IsLineDue(done, reader.number, isCopy)) {
            MarkLineEffect(contents, parsed);
        } else if (done != NULL && isCopy) {
            MarkMovedBeforeCut(contents, parsed);
        }
    }
    fclose(list);
    return fault;
}

void MarkEveryLineDone(ListProgress* progress)
{
    memset(progress, 0, sizeof(*progress));
    progress->nextLine = 0xFFFFFFFFu;
    progress->newestSlot = -1;
}
