// One start of the terminal's update on a device folder, through the host
// backend: the start-up update (or the patch list alone), its log, the
// messages posted to the running programs and the time it blocked.
#ifndef HAILPATCH_STARTUP_RUN_H
#define HAILPATCH_STARTUP_RUN_H

#include <filesystem>
#include <string>
#include <vector>

namespace hailpatch {

namespace fs = std::filesystem;

struct StartupSetup {
    std::string root;    // the device root, a native folder (device_tree.h: NativeFolder)
    bool realClock = false;
    bool listOnly = false;
    int pass = 0;
    std::vector<std::string> closing;
    std::vector<std::string> staying;
    // The supervisor's own window (class HAILWATCH, title Hailwatch), which
    // ends on WM_DESTROY as the supervisor does.
    bool supervisor = true;
};

struct StartupOutcome {
    std::vector<std::string> log;       // decoded to UTF-8, without line ends
    std::vector<std::string> messages;  // "+ms WM_DESTROY posted to [title]"
    std::vector<std::string> started;   // images of programs started
    bool supervisorClosed = false;      // WM_DESTROY reached the supervisor's window
    unsigned long long blockedMs = 0;
    int listResult = 1;                 // with listOnly
};

StartupOutcome RunStartup(const StartupSetup& setup);

// The watchdog after the update, on a device folder, with the watched
// application `crashing` ending at every start while its executable holds
// the bytes it holds now (the new version): the probation's ticks until the
// rollback, or until the probation ends; without a probation, two minutes
// of the crash loop.
struct CrashOutcome {
    std::vector<std::string> log;
    std::vector<std::string> messages;
    std::vector<std::string> started;
    unsigned long long watchedMs = 0;   // watchdog time played
    bool probation = false;             // the terminal held one
};

CrashOutcome RunCrashLoop(const fs::path& root, const std::string& crashing);

// The terminal's check of a signed package alone, on a device folder whose
// \ResidentFlash\Hailnet\update.pub is the key: true when the start-up
// would apply the package; `log` gets the check's refusal line.
bool RunSignatureCheck(const fs::path& root, std::vector<std::string>* log);

} // namespace hailpatch

#endif
