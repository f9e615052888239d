#include "core_hooks.h"

#include "patch/PackageVerify.h"

namespace hailpatch {

namespace {

StartObserver*& Observer()
{
    static StartObserver* observer = nullptr;
    return observer;
}

// The physical line last read, numbered as an editor numbers them: a start
// that resumes passes over settled lines without classifying them.
int& LineNumber()
{
    static int number = 0;
    return number;
}

} // namespace

void ObserveStarts(StartObserver* observer)
{
    Observer() = observer;
}

} // namespace hailpatch

// ---- the wrapped calls of the core -----------------------------------------

using hailpatch::Observer;

extern "C" {

// ClassifyPatchLine(const char*, char*, int, int, PatchLine*)
void __real__Z17ClassifyPatchLinePKcPciiP9PatchLine(const char* folder, char* line, int isTail, int pass,
                                                     PatchLine* out);
void __wrap__Z17ClassifyPatchLinePKcPciiP9PatchLine(const char* folder, char* line, int isTail, int pass,
                                                     PatchLine* out)
{
    __real__Z17ClassifyPatchLinePKcPciiP9PatchLine(folder, line, isTail, pass, out);
    if (Observer() != nullptr) {
        Observer()->LineRead(hailpatch::LineNumber(), isTail != 0, out);
    }
}

// ReadNumberedPatchLine(FILE*, char*, PatchListReader*), whose name spells
// the C runtime's FILE (engine.cmake names the same one).
#ifdef _WIN32
#define READ_NUMBERED(prefix) prefix##_Z21ReadNumberedPatchLineP6_iobufPcP15PatchListReader
#else
#define READ_NUMBERED(prefix) prefix##_Z21ReadNumberedPatchLineP8_IO_FILEPcP15PatchListReader
#endif
int READ_NUMBERED(__real_)(FILE* list, char* line, PatchListReader* reader);
int READ_NUMBERED(__wrap_)(FILE* list, char* line, PatchListReader* reader)
{
    int read = READ_NUMBERED(__real_)(list, line, reader);
    hailpatch::LineNumber() = static_cast<int>(reader->number);
    return read;
}

static int RunList(int (*list)(const char*, int), const char* folder, int pass, bool once)
{
    hailpatch::LineNumber() = 0;
    if (Observer() != nullptr) {
        Observer()->ListOpened(once);
    }
    int result = list(folder, pass);
    if (Observer() != nullptr) {
        Observer()->ListClosed(result);
    }
    return result;
}

// CPatchList::SearchPatchListFiles(const char*, int)
int __real__ZN10CPatchList20SearchPatchListFilesEPKci(const char* folder, int pass);
int __wrap__ZN10CPatchList20SearchPatchListFilesEPKci(const char* folder, int pass)
{
    return RunList(__real__ZN10CPatchList20SearchPatchListFilesEPKci, folder, pass, false);
}

// CPatchList::RunPatchListOnce(const char*), the start-up's first pass.
int __real__ZN10CPatchList16RunPatchListOnceEPKc(const char* folder);
static int RunListOnce(const char* folder, int)
{
    return __real__ZN10CPatchList16RunPatchListOnceEPKc(folder);
}
int __wrap__ZN10CPatchList16RunPatchListOnceEPKc(const char* folder)
{
    return RunList(RunListOnce, folder, 0, true);
}

// CPatchList::CP(const char*, const char*, int)
int __real__ZN10CPatchList2CPEPKcS1_i(const char* source, const char* destination, int deleteSource);
int __wrap__ZN10CPatchList2CPEPKcS1_i(const char* source, const char* destination, int deleteSource)
{
    if (Observer() != nullptr) {
        Observer()->CopyStarting(source, destination);
    }
    int result = __real__ZN10CPatchList2CPEPKcS1_i(source, destination, deleteSource);
    if (Observer() != nullptr) {
        Observer()->CopyDone(result);
    }
    return result;
}

// CPatchList::CopyFilesFolder2Folder(const char*, const char*, int, const char*)
int __real__ZN10CPatchList22CopyFilesFolder2FolderEPKcS1_iS1_(const char* from, const char* to, int deleteSource,
                                                              const char* pattern);
int __wrap__ZN10CPatchList22CopyFilesFolder2FolderEPKcS1_iS1_(const char* from, const char* to, int deleteSource,
                                                              const char* pattern)
{
    int count = __real__ZN10CPatchList22CopyFilesFolder2FolderEPKcS1_iS1_(from, to, deleteSource, pattern);
    if (Observer() != nullptr) {
        Observer()->FolderCopied();
    }
    return count;
}

// CPatchList::DeleteFolder(const char*)
int __real__ZN10CPatchList12DeleteFolderEPKc(const char* folder);
int __wrap__ZN10CPatchList12DeleteFolderEPKc(const char* folder)
{
    if (Observer() != nullptr) {
        Observer()->FolderDeleting(folder);
    }
    return __real__ZN10CPatchList12DeleteFolderEPKc(folder);
}

// CPatchList::IsFolderFiles(const char*, int)
int __real__ZN10CPatchList13IsFolderFilesEPKci(const char* folder, int verbose);
int __wrap__ZN10CPatchList13IsFolderFilesEPKci(const char* folder, int verbose)
{
    int answer = __real__ZN10CPatchList13IsFolderFilesEPKci(folder, verbose);
    if (Observer() != nullptr) {
        Observer()->FolderTested(folder, answer);
    }
    return answer;
}

// LoadListProgress(const char*, ListProgress*)
int __real__Z16LoadListProgressPKcP12ListProgress(const char* listPath, ListProgress* progress);
int __wrap__Z16LoadListProgressPKcP12ListProgress(const char* listPath, ListProgress* progress)
{
    DWORD bytes = 0;
    DWORD crc = 0;
    int loaded = Observer() != nullptr && Observer()->ListMeasured(listPath, &bytes, &crc)
                     ? LoadMeasuredListProgress(bytes, crc, progress)
                     : __real__Z16LoadListProgressPKcP12ListProgress(listPath, progress);
    if (Observer() != nullptr) {
        Observer()->RecordLoaded(loaded, *progress);
    }
    return loaded;
}

// VerifySignedPackage(const char*, const char*, const char*)
int __real__Z19VerifySignedPackagePKcS0_S0_(const char* folder, const char* key, const char* record);
int __wrap__Z19VerifySignedPackagePKcS0_S0_(const char* folder, const char* key, const char* record)
{
    if (Observer() != nullptr) {
        Observer()->PackageVerifying();
    }
    int applies = __real__Z19VerifySignedPackagePKcS0_S0_(folder, key, record);
    if (Observer() != nullptr) {
        Observer()->PackageVerified(applies);
    }
    return applies;
}

} // extern "C"
