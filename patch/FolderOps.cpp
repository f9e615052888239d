/* The operations on the top-level files of one folder. Each file is handed
 * to RM or CP, which do the retrying and most of the logging. */
#include "patch/PatchList.h"

#include "log/LogCatalogue.h"
#include "log/WriteLog.h"
#include "patch/FileSearch.h"
#include "patch/PathText.h"
#include "patch/UndoJournal.h"

static const int kRemoveAttempts = 3;

static int HoldsFile(const char* folder)
{
    CWideCopy wideFolder(folder);
    CFileSearch search(wideFolder.Units(), L"*.*");
    return search.NextFile();
}

/* Answers 1 when the deletion was attempted, 0 when the path would not fit. */
static int DeleteFoundFile(const WCHAR* folder, const WCHAR* name)
{
    WCHAR path[FOLDER_PATH_UNITS];
    if (!JoinWidePath(path, FOLDER_PATH_UNITS, folder, name)) {
        return 0;
    }
    /* The attributes change before RM runs: the undo is kept first. */
    if (!KeepUndo(path, UNDO_BEFORE_REMOVING)) {
        return 1;
    }
    /* RM leaves attributes alone; read-only, hidden and system files would
     * refuse to go. */
    SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
    CNarrowCopy narrowPath(path);
    CPatchList::RM(narrowPath.Text());
    return 1;
}

static int DeleteFolderFiles(const WCHAR* folder)
{
    CFileSearch search(folder, L"*.*");
    int count = 0;
    while (search.NextFile()) {
        count += DeleteFoundFile(folder, search.Name());
    }
    return count;
}

static int RemoveFolder(const WCHAR* folder)
{
    if (!KeepUndo(folder, UNDO_BEFORE_REMOVING)) {
        return 0;
    }
    int result = 0;
    for (int attempt = 0; attempt < kRemoveAttempts && result == 0; ++attempt) {
        result = RemoveDirectoryW(folder);
    }
    return result;
}

/* Answers 1 when the copy was attempted, 0 when a path would not fit. */
static int CopyFoundFile(const WCHAR* sourceFolder, const WCHAR* destinationFolder,
                         const WCHAR* name, int deleteSource)
{
    WCHAR source[FOLDER_PATH_UNITS];
    WCHAR destination[FOLDER_PATH_UNITS];
    if (!JoinWidePath(source, FOLDER_PATH_UNITS, sourceFolder, name) ||
        !JoinWidePath(destination, FOLDER_PATH_UNITS, destinationFolder, name)) {
        return 0;
    }
    /* A read-only source could be copied but not deleted after the copy. */
    SetFileAttributesW(source, FILE_ATTRIBUTE_NORMAL);
    /* Made only once a file is found, so a pattern that matches nothing
     * leaves no empty folder behind. */
    if (!KeepUndo(destinationFolder, UNDO_BEFORE_MAKING_FOLDER)) {
        return 1;
    }
    CreateDirectoryW(destinationFolder, NULL);
    CNarrowCopy narrowSource(source);
    CNarrowCopy narrowDestination(destination);
    CPatchList::CP(narrowSource.Text(), narrowDestination.Text(), deleteSource);
    return 1;
}

int CPatchList::IsFolderFiles(const char* folder, int verbose)
{
    int answer = HoldsFile(folder);
    if (verbose == 1) {
        WriteLog(LOG_FOLDER_TESTED_FORMAT, LOG_INFO, LOG_IS_FOLDER_FILES, LOG_FOLDER_TESTED, folder,
                 answer ? LOG_FOLDER_FILE : LOG_FOLDER_NO_FILE);
    } else if (answer) {
        WriteLog(LOG_FOLDER_TESTED_FORMAT, LOG_INFO, LOG_IS_FOLDER_FILES, LOG_FOLDER_HOLDS_FILES,
                 folder, LOG_FOLDER_FILE);
    }
    return answer;
}

int CPatchList::DeleteFolder(const char* folder)
{
    CWideCopy wideFolder(folder);
    int count = DeleteFolderFiles(wideFolder.Units());
    /* Tried even when the search did not open: on the device the search of
     * an empty folder finds no entry at all. */
    int result = RemoveFolder(wideFolder.Units());
    WriteLog(LOG_HEAD "경로[%s] 경로의 파일수[%d] RemoveDirectory " LOG_RESULT_LABEL "[%d]\r\n", LOG_INFO,
             LOG_DELETE_FOLDER, LOG_FOLDER_DELETED, folder, count, result);
    return count;
}

void CPatchList::RMDIR(const char* folder)
{
    DeleteFolder(folder);
    /* Whatever still stands at the name goes to RM: a plain file is deleted,
     * a folder that could not be removed is reported. */
    RM(folder);
    /* The one message with no tag. */
    WriteLog("%s[%d] Folder[%s]\r\n", LOG_RMDIR, LOG_RMDIR_DONE, folder);
}

int CPatchList::CopyFilesFolder2Folder(const char* sourceFolder,
                                       const char* destinationFolder,
                                       int deleteSource, const char* pattern)
{
    CWideCopy wideSource(sourceFolder);
    CWideCopy wideDestination(destinationFolder);
    CWideCopy widePattern(pattern);
    CFileSearch search(wideSource.Units(), widePattern.Units());
    int count = 0;
    while (search.NextFile()) {
        count += CopyFoundFile(wideSource.Units(), wideDestination.Units(),
                               search.Name(), deleteSource);
    }
    WriteLog(LOG_HEAD "Src경로[%s] Dst경로[%s] Src경로의 파일수[%d]\r\n", LOG_INFO,
             LOG_COPY_FILES_FOLDER2FOLDER, LOG_FOLDER_COPIED, sourceFolder, destinationFolder, count);
    return count;
}
