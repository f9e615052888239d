/* The start-up update: the package on the SD card is applied before the
 * supervisor watches anything, then the staging folders are cleared. */
#include "patch/StartupUpdate.h"

#include "patch/ListProgress.h"
#include "patch/PackageVerify.h"
#include "patch/PatchList.h"
#include "patch/PathText.h"
#include "patch/RollbackSettings.h"
#include "patch/UndoJournal.h"
#include "patch/UndoStages.h"
#include "patch/VerifiedRecord.h"

static const char* const kUpdateFolder = "\\SDMMC\\AirUpdate";
static const char* const kOwnImageInPackage = "\\SDMMC\\AirUpdate\\Hailwatch.exe";
static const char* const kInstallFolder = "\\ResidentFlash\\Hailnet";
/* The fleet's public key; a terminal without it takes unsigned packages. */
static const char* const kUpdateKey = "\\ResidentFlash\\Hailnet\\update.pub";
/* The note of the package begun, beside the key. */
static const char* const kVerifiedNote = "\\ResidentFlash\\Hailnet\\update.verified";
static const char* const kLeftoverPath = "\\ResidentFlash\\Update";
static const char* const kStagingFolders[] = {
    "\\ResidentFlash\\Update",
    "\\ResidentFlash\\SDIUpdate",
    "\\ResidentFlash\\AdtDownload",
};
static const char* const kClosedForUpdate[] = { "Hailnet", "Hailwire", "Hailfare" };
static const int kDeletePatchListSize = 1024;

/* A signed package whose list an earlier start ran to its end has only its
 * bulk move left: the list, if a cut left it on the card, is not run again. */
static int RunListUnlessDone(PackageTrust trust)
{
    if (trust == TRUST_SIGNED_LIST_DONE) return 1;
    return CPatchList::RunPatchListOnce(kUpdateFolder);
}

/* A package carrying a new supervisor is not ours to apply: it is left
 * whole, list and all. The tests stop at the first that fails, so the list
 * runs only when the package holds files, and only when a terminal that
 * holds the fleet's key finds the package signed; a check that refuses
 * changes nothing, so the package is left whole and no application is
 * closed. A card without a package leaves nothing of one begun: its note
 * goes, so no part of it put back later counts as begun. A terminal that
 * asked for rollbacks keeps an undo copy from the first change on; one it
 * cannot keep leaves the package whole as well. */
static int IsPackageReady(int keepsUndo, PackageTrust* trust)
{
    if (ReadAttributes(kOwnImageInPackage) != INVALID_FILE_ATTRIBUTES) return 0;
    if (CPatchList::IsFolderFiles(kUpdateFolder, 1) != 1) {
        ForgetManifestNote(kVerifiedNote);
        return 0;
    }
    *trust = (PackageTrust)VerifySignedPackage(kUpdateFolder, kUpdateKey, kVerifiedNote);
    return *trust != TRUST_REFUSED && (!keepsUndo || OpenUndoJournal()) && RunListUnlessDone(*trust) == 1;
}

/* Whatever the list did not move goes to the install folder under its own
 * name; the applications using those files are closed first. */
static void MoveRemainingFiles()
{
    if (CPatchList::IsFolderFiles(kUpdateFolder, 1) != 1) {
        return;
    }
    KillApps();
    CPatchList::CopyFilesFolder2Folder(kUpdateFolder, kInstallFolder, 1, "*.*");
}

/* A plain file, or a folder with further attribute bits, standing at the
 * first staging path. */
static void RemoveLeftover()
{
    DWORD attributes = ReadAttributes(kLeftoverPath);
    if (attributes != INVALID_FILE_ATTRIBUTES && attributes != FILE_ATTRIBUTE_DIRECTORY) {
        CPatchList::RM(kLeftoverPath);
    }
}

/* The list's progress record outlives the list by one step at most: a cut
 * between deleting the list and deleting the record leaves it for here. A
 * list still there (kept, or in a package left alone) keeps its record. */
static void ForgetFinishedList()
{
    char path[kDeletePatchListSize];
    if (!JoinPath(path, sizeof(path), kUpdateFolder, "patch_list.txt")) {
        return;
    }
    DWORD attributes = ReadAttributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        ForgetListProgress(kUpdateFolder);
    }
}

static void ClearStagingFolders()
{
    for (size_t i = 0; i < sizeof(kStagingFolders) / sizeof(kStagingFolders[0]); ++i) {
        CPatchList::DeleteFolder(kStagingFolders[i]);
    }
}

void RunStartupUpdate()
{
    RollbackSettings settings;
    int keepsUndo = ReadRollbackSettings(&settings);
    /* A rollback cut short is finished before anything else changes. */
    SettleUndoJournal(keepsUndo);
    /* A failed copy of the list keeps the list and the package for the next
     * start, and the applications stay up. */
    PackageTrust trust = TRUST_REFUSED;
    if (IsPackageReady(keepsUndo, &trust)) {
        if (trust == TRUST_SIGNED) NoteSignedListDone(kVerifiedNote);
        DeletePatchList(kUpdateFolder);
        MoveRemainingFiles();
        if (trust != TRUST_UNSIGNED) EndSignedPackage(kUpdateFolder, kVerifiedNote);
    }
    CloseUndoJournal();
    if (keepsUndo) {
        BeginProbation(kUpdateFolder, settings);
    }
    ForgetFinishedList();
    RemoveLeftover();
    ClearStagingFolders();
}

void KillApps()
{
    for (size_t i = 0; i < sizeof(kClosedForUpdate) / sizeof(kClosedForUpdate[0]); ++i) {
        CPatchList::KILL(kClosedForUpdate[i]);
    }
}

void DeletePatchList(const char* folder)
{
    char path[kDeletePatchListSize];
    if (JoinPath(path, sizeof(path), folder, "patch_list.txt")) {
        CPatchList::RM(path);
    }
}
