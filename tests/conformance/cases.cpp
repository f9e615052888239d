#include "tests/conformance/cases.h"

#include <stdio.h>
#include <string.h>

namespace conformance {

const CaseGroup kCaseGroups[] = {
    {"file attributes", FileAttributeCases},
    {"file delete", FileDeleteCases},
    {"file copy", FileCopyCases},
    {"folders", FolderCases},
    {"file names", FileNameCases},
    {"fopen", FileOpenCases},
    {"files held open", FilesHeldOpenCases},
    {"relative paths", RelativePathCases},
    {"network paths", NetworkPathCases},
    {"trailing dots and spaces", TrailingDotCases},
    {"refused names", RefusedNameCases},
    {"text mode", TextModeCases},
    {"folder search", FolderSearchCases},
    {"search while deleting", FolderSearchWhileDeletingCases},
    {"text", TextCases},
    {"window class", WindowClassCases},
    {"main window", MainWindowCases},
    {"message loop", MessageLoopCases},
    {"find window", FindWindowCases},
    {"timers", TimerCases},
    {"clock", ClockCases},
    {"mutex", MutexCases},
    {"create process", CreateProcessCases},
    {"other process windows", OtherProcessWindowCases},
    {"send time-out", SendTimeoutCases},
    {"signatures", SignatureCases},
};
const int kCaseGroupCount = sizeof(kCaseGroups) / sizeof(kCaseGroups[0]);

void RunCaseGroups(const char* filter)
{
    for (int i = 0; i < kCaseGroupCount; ++i) {
        if (filter != NULL && filter[0] != '\0' && strstr(kCaseGroups[i].name, filter) == NULL)
            continue;
        printf("== %s\n", kCaseGroups[i].name);
        fflush(stdout);
        PrepareGroup();
        kCaseGroups[i].run();
    }
}

} // namespace conformance
