/* Moving an undoable update from one stage to the next. */
#include "patch/UndoStages.h"

#include <string.h>

#include "log/LogCatalogue.h"
#include "log/WriteLog.h"
#include "patch/FileSearch.h"
#include "patch/PathText.h"
#include "patch/UndoEntry.h"
#include "patch/UndoRestore.h"

static const DWORD kMinuteMs = 60000;
static const char* const kSettingsPath = "\\ResidentFlash\\Hailnet\\update.rollback";

void SettleUndoJournal(int optedIn)
{
    UndoRecord record;
    if (!LoadUndoRecord(&record)) {
        return;
    }
    if (record.stage == UNDO_STAGE_ROLLING_BACK) {
        /* Whatever the terminal asks for now, a half-restored install
         * folder must be whole again. */
        ResumeRollBack(&record);
        return;
    }
    if (record.stage == UNDO_STAGE_NONE) {
        ForgetUndoCopy();
        DeleteUndoRecord(&record);
        return;
    }
    if (!optedIn) {
        WriteLog(LOG_HEAD "%s 파일이 없어 되돌리기 사본을 지웁니다.\r\n", LOG_INFO, LOG_SETTLE_UNDO_JOURNAL,
                 LOG_UNDO_COPY_DROPPED, kSettingsPath);
        DropUndoJournal(&record);
    }
}

/* The folder test without its log line: the update's own 425 stays the
 * only one the start writes. */
static int HoldsTopLevelFile(const char* folder)
{
    CWideCopy wide(folder);
    CFileSearch search(wide.Units(), L"*.*");
    return search.NextFile();
}

void BeginProbation(const char* packageFolder, const RollbackSettings& settings)
{
    UndoRecord record;
    if (!LoadUndoRecord(&record) || record.stage != UNDO_STAGE_UPDATING ||
        HoldsTopLevelFile(packageFolder)) {
        return;
    }
    if (record.entries == 0) {
        DropUndoJournal(&record);
        return;
    }
    record.stage = UNDO_STAGE_PROBATION;
    record.restartLimit = settings.restarts;
    record.windowMs = settings.minutes * kMinuteMs;
    record.elapsedMs = 0;
    memset(record.restarts, 0, sizeof(record.restarts));
    if (SaveUndoRecord(&record)) {
        WriteLog(LOG_HEAD "업데이트를 마쳤습니다. %d분 안에 한 응용프로그램이 %d번 재시작되면 "
                 "업데이트를 되돌립니다.\r\n",
                 LOG_INFO, LOG_BEGIN_PROBATION, LOG_PROBATION_BEGUN, (int)settings.minutes,
                 (int)settings.restarts);
    }
}

void EndProbationForNewPackage(UndoRecord* record)
{
    WriteLog(LOG_HEAD "새 패키지가 있어 이전 업데이트의 되돌리기 사본을 지웁니다.\r\n", LOG_INFO,
             LOG_END_PROBATION_FOR_NEW_PACKAGE, LOG_PROBATION_ENDED_BY_PACKAGE);
    DropUndoJournal(record);
    LoadUndoRecord(record);
}

int ReadProbation(ProbationFigures* figures)
{
    UndoRecord record;
    memset(figures, 0, sizeof(*figures));
    if (!LoadUndoRecord(&record) || record.stage != UNDO_STAGE_PROBATION) {
        return 0;
    }
    figures->restartLimit = record.restartLimit;
    figures->windowMs = record.windowMs;
    figures->elapsedMs = record.elapsedMs;
    memcpy(figures->restarts, record.restarts, sizeof(figures->restarts));
    return 1;
}

int WriteProbation(const ProbationFigures* figures)
{
    UndoRecord record;
    if (!LoadUndoRecord(&record) || record.stage != UNDO_STAGE_PROBATION) {
        return 0;
    }
    record.elapsedMs = figures->elapsedMs;
    memcpy(record.restarts, figures->restarts, sizeof(record.restarts));
    return SaveUndoRecord(&record);
}

void EndProbation()
{
    UndoRecord record;
    if (!LoadUndoRecord(&record) || record.stage != UNDO_STAGE_PROBATION) {
        return;
    }
    WriteLog(LOG_HEAD "업데이트 후 %d분 동안 문제가 없어 되돌리기 사본을 지웁니다.\r\n", LOG_INFO,
             LOG_END_PROBATION, LOG_PROBATION_PASSED, (int)(record.windowMs / kMinuteMs));
    DropUndoJournal(&record);
}
