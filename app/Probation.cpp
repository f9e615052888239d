#include "app/Probation.h"

#include "app/SupervisorState.h"
#include "patch/UndoRestore.h"
#include "patch/UndoStages.h"

/* The flash store learns the watchdog's time once a minute; a switch-off
 * costs the probation at most that, never shortens it. */
static const DWORD kSaveEveryMs = 60000;

void BeginProbationWatch()
{
    ProbationWatch& watch = g_supervisor.probation;
    ProbationFigures figures;
    watch.active = ReadProbation(&figures) ? 1 : 0;
    watch.restartLimit = figures.restartLimit;
    watch.windowMs = figures.windowMs;
    watch.elapsedMs = figures.elapsedMs;
    watch.unsavedMs = 0;
    for (size_t app = 0; app < WATCHED_APP_COUNT; ++app) {
        watch.restarts[app] = figures.restarts[app];
    }
}

static void SaveWatch()
{
    ProbationWatch& watch = g_supervisor.probation;
    ProbationFigures figures;
    figures.restartLimit = watch.restartLimit;
    figures.windowMs = watch.windowMs;
    figures.elapsedMs = watch.elapsedMs;
    for (size_t app = 0; app < WATCHED_APP_COUNT; ++app) {
        figures.restarts[app] = watch.restarts[app];
    }
    WriteProbation(&figures);
    watch.unsavedMs = 0;
}

void NoteAppUp(size_t app)
{
    g_supervisor.probation.seen[app] = 1;
}

int IsOneRestartTooMany(size_t app)
{
    ProbationWatch& watch = g_supervisor.probation;
    /* The first start of a run is no restart: after a switch-off, and after
     * the update closed it, every application is started once. */
    if (!watch.active || !watch.seen[app]) {
        return 0;
    }
    ++watch.restarts[app];
    SaveWatch();
    return watch.restarts[app] >= watch.restartLimit;
}

void RollBackForApp(size_t app, const char* title)
{
    ProbationWatch& watch = g_supervisor.probation;
    watch.active = 0;
    RollBackUpdate(title, watch.restarts[app]);
}

void NoteWatchdogTick(DWORD periodMs)
{
    ProbationWatch& watch = g_supervisor.probation;
    if (!watch.active) {
        return;
    }
    watch.elapsedMs += periodMs;
    watch.unsavedMs += periodMs;
    if (watch.elapsedMs >= watch.windowMs) {
        watch.active = 0;
        EndProbation();
    } else if (watch.unsavedMs >= kSaveEveryMs) {
        SaveWatch();
    }
}
