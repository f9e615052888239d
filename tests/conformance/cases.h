// The groups of cases, each a function of checks, and what they share.
#ifndef HAILWATCH_CONFORMANCE_CASES_H
#define HAILWATCH_CONFORMANCE_CASES_H

#include "platform/platform.h"
#include "tests/conformance/harness.h"

namespace conformance {

// Wine's habit: poison the last error before each call, so a call that
// forgets to set it (or clears it on success) shows.
inline void Poison() { SetLastError(0xdeadbeef); }
inline unsigned long LastError() { return static_cast<unsigned long>(GetLastError()); }
inline unsigned long U(DWORD value) { return static_cast<unsigned long>(value); }

void FileAttributeCases();
void FileDeleteCases();
void FileCopyCases();
void FolderCases();
void FileNameCases();
void FileOpenCases();
void RefusedNameCases();
void FilesHeldOpenCases();
void RelativePathCases();
void NetworkPathCases();
void TrailingDotCases();
void TextModeCases();
void FolderSearchCases();
void FolderSearchWhileDeletingCases();
void TextCases();
void WindowClassCases();
void MainWindowCases();
void MessageLoopCases();
void FindWindowCases();
void TimerCases();
void ClockCases();
void MutexCases();
void CreateProcessCases();
void OtherProcessWindowCases();
void SendTimeoutCases();
void SignatureCases();

struct CaseGroup {
    const char* name;
    void (*run)();
};
extern const CaseGroup kCaseGroups[];
extern const int kCaseGroupCount;

// Runs every group whose name contains `filter` (all when NULL or empty).
void RunCaseGroups(const char* filter);

} // namespace conformance

#endif
