// Plays a terminal's day on the simulated device and the virtual clock,
// through the real InitInstance and WndProc, and keeps its hourly logs:
//
//   hailog_play_day FOLDER
//
// FOLDER becomes the device (its log in FOLDER/ResidentFlash/Log), and
// FOLDER/played.jsonl lists, one JSON object a line, every event the day
// played, in the form `hailog summary --json` gives it (only the fields that
// the day decides; "failed_count" stands for the length of "failed").
//
// The day: four runs of the supervisor between 06:10 and 21:00. The first
// applies an update whose patch list fails a copy, so the package is kept;
// the power goes during the first run and the third (no end banner), the
// second and fourth end normally. The watched applications are restarted
// after each boot and when a user closes one; the ignition goes off six
// times (one of them with the incident marker, one too short to close the
// navigation); the call application once answers the build option too late.
// Hours without a line leave no file.
#include <nlohmann/json.hpp>

#include <time.h>

#include <filesystem>
#include <fstream>
#include <iostream>

#include "app/Messages.h"
#include "app/Shell.h"
#include "app/SupervisorState.h"
#include "platform/host/host_control.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

const char* const kWatched[] = {"Hailwire", "Hailfare", "Hailnet", "Hailtrack"};
const int kRestartNumbers[] = {409, 417, 425, 434};
const int kDay[] = {2024, 6, 11};

std::string ImagePath(const std::string& name)
{
    if (name == "Roadlens")
        return "\\SDMMC\\Roadlens\\Roadlens.exe";
    return "\\ResidentFlash\\Hailnet\\" + name + ".exe";
}

void MakeFile(const std::string& devicePath, const std::string& bytes = std::string(1, '\0'))
{
    const fs::path native = host::NativePath(devicePath);
    fs::create_directories(native.parent_path());
    std::ofstream(native, std::ios::binary) << bytes;
}

// Seconds of the day's local time (the log knows no zone), and back.
time_t At(int hour, int minute, int second)
{
    struct tm civil = {};
    civil.tm_year = kDay[0] - 1900;
    civil.tm_mon = kDay[1] - 1;
    civil.tm_mday = kDay[2];
    civil.tm_hour = hour;
    civil.tm_min = minute;
    civil.tm_sec = second;
    return timegm(&civil);
}

std::string Text(time_t time)
{
    struct tm civil = {};
    gmtime_r(&time, &civil);
    char text[32];
    strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &civil);
    return text;
}

SYSTEMTIME SystemTimeOf(time_t time)
{
    struct tm civil = {};
    gmtime_r(&time, &civil);
    SYSTEMTIME system = {};
    system.wYear = static_cast<WORD>(civil.tm_year + 1900);
    system.wMonth = static_cast<WORD>(civil.tm_mon + 1);
    system.wDayOfWeek = static_cast<WORD>(civil.tm_wday);
    system.wDay = static_cast<WORD>(civil.tm_mday);
    system.wHour = static_cast<WORD>(civil.tm_hour);
    system.wMinute = static_cast<WORD>(civil.tm_min);
    system.wSecond = static_cast<WORD>(civil.tm_sec);
    return system;
}

struct Sibling {
    bool running = false;
    DWORD copyDataDelayMs = 0;
};

// One supervisor process after another on the same device. Events are
// played half a second past the second they name, so that none falls on a
// watchdog tick (which would leave their order to the backend).
class Day {
public:
    explicit Day(const std::string& root) : root_(root) {}

    // Boots the terminal (or only the supervisor) at `start`; `running`
    // names the applications already up.
    void Start(time_t start, const std::vector<std::string>& running, DWORD callCopyDataDelayMs = 0)
    {
        host::Reset();
        host::SetDeviceRoot(root_);
        g_supervisor = SupervisorState();
        tick_ += 10000000;
        startTick_ = tick_;
        runStart_ = start;
        host::UseVirtualClock(tick_, SystemTimeOf(start));
        for (const char* name : kWatched) {
            host::ProgramSetup setup;
            if (std::string(name) == "Hailnet")
                setup.copyDataDelayMs = callCopyDataDelayMs;
            Install(name, setup, running);
        }
        host::ProgramSetup navigation;
        navigation.className = L"SDL_ipc";
        navigation.quitOnMessage = UM_NAVI_CLOSE;
        Install("Roadlens", navigation, running);
        if (!InitInstance(nullptr, SW_SHOW) || !(window_ = FindWindowW(L"HAILWATCH", nullptr)))
            Fail("the supervisor did not start");
        zeroTick_ = GetTickCount();
        run_ = {{"kind", "run"}, {"time", Text(start)}, {"version", "2.2.56"}};
    }

    // The first watchdog tick (five seconds after start-up) restarts these.
    void ExpectRestartsAtFirstTick(const std::vector<std::string>& names)
    {
        for (size_t i = 0; i < 4; ++i)
            for (const std::string& name : names)
                if (name == kWatched[i])
                    Restart(kWatched[i], TimeOfTick(zeroTick_ + 5000));
    }

    void ExpectUpdate(json update)
    {
        update["kind"] = "update";
        update["time"] = Text(runStart_);
        played_.push_back(update);
    }

    void ExpectBuildOptionFailedAtFirstTick()
    {
        // The send waits its full 5,000 ms before it gives up.
        played_.push_back({{"kind", "build_option_failed"}, {"time", TimeOfTick(zeroTick_ + 10000)},
                           {"application", "Hailnet"}, {"number", 628}, {"error", 1460}});
    }

    // A user closes a watched application while the ignition is on: the
    // next watchdog tick starts it again.
    void UserCloses(time_t at, const std::string& name, bool ignitionOn)
    {
        RunUntil(at);
        host::EndProgram(ImagePath(name));
        if (!ignitionOn) {
            pendingRestarts_.push_back(name);
            return;
        }
        const DWORD sinceZero = GetTickCount() - zeroTick_;
        Restart(name, TimeOfTick(zeroTick_ + (sinceZero / 5000 + 1) * 5000));
    }

    // Ignition off. More than 25 s later the navigation application is
    // closed if it runs and no incident marker exists. A second ACC OFF
    // while off only restarts that wait: the period goes on.
    void AccOff(time_t at, bool navigationCloses)
    {
        RunUntil(at);
        PostMessageW(window_, g_supervisor.powerMessage, POWER_MODE_ACC_CHANGE, POWER_MODE_ACC_OFF);
        if (openOff_.is_null())
            openOff_ = {{"kind", "ignition_off"}, {"time", Text(at)}};
        if (navigationCloses)
            played_.push_back({{"kind", "navi_close"}, {"time", Text(at + 26)}, {"application", "Roadlens"},
                               {"number", 481}});
    }

    // Ignition on: the watchdog runs at once (restarting what was closed
    // while off); 8 s later the navigation application is started if the
    // supervisor had closed it.
    void AccOn(time_t at, bool navigationStarts)
    {
        RunUntil(at);
        PostMessageW(window_, g_supervisor.powerMessage, POWER_MODE_ACC_CHANGE, 0);
        openOff_["end"] = Text(at);
        openOff_["ended"] = "ACC ON";
        played_.push_back(openOff_);
        openOff_ = json();
        for (size_t i = 0; i < 4; ++i)
            for (const std::string& name : pendingRestarts_)
                if (name == kWatched[i])
                    Restart(name, Text(at));
        pendingRestarts_.clear();
        if (navigationStarts)
            played_.push_back({{"kind", "navi_start"}, {"time", Text(at + 8)}, {"application", "Roadlens"},
                               {"number", 490}});
    }

    void Marker(time_t at, const std::string& devicePath, bool present)
    {
        RunUntil(at);
        if (present)
            MakeFile(devicePath);
        else
            fs::remove(host::NativePath(devicePath));
    }

    // WM_DESTROY from another program: the end banner, then the process exits.
    void Stop(time_t at)
    {
        RunUntil(at);
        PostMessageW(window_, WM_DESTROY, 0, 0);
        if (!host::RunMessageLoopUntil(GetTickCount() + 1000))
            Fail("the supervisor did not quit on WM_DESTROY");
        run_["end"] = Text(at);
        run_["ended"] = "end banner";
        played_.push_back(run_);
    }

    // The power goes: no end banner; the run's last line is its last event.
    void PowerCut(time_t at, time_t lastLine)
    {
        RunUntil(at);
        run_["end"] = Text(lastLine);
        run_["ended"] = "no end banner";
        played_.push_back(run_);
    }

    // An ignition-off period still open when the next run starts ends there.
    void CloseOpenIgnitionAt(time_t start)
    {
        if (openOff_.is_null())
            return;
        openOff_["end"] = Text(start);
        openOff_["ended"] = "next start";
        played_.push_back(openOff_);
        openOff_ = json();
    }

    void ExpectNoFile(time_t from, int hours)
    {
        played_.push_back(
            {{"kind", "no_file"}, {"time", Text(from)}, {"end", Text(from + hours * 3600 - 1)}, {"hours", hours}});
    }

    void Write(const std::string& file) const
    {
        std::ofstream out(file);
        for (const json& event : played_)
            out << event.dump() << "\n";
    }

    static void Fail(const std::string& what)
    {
        std::cerr << "hailog_play_day: " << what << "\n";
        std::exit(1);
    }

private:
    void Install(const std::string& name, host::ProgramSetup setup, const std::vector<std::string>& running)
    {
        MakeFile(ImagePath(name));
        setup.title = host::Widen(name);
        host::RegisterProgram(ImagePath(name), setup);
        if (std::find(running.begin(), running.end(), name) != running.end())
            host::StartProgram(ImagePath(name));
    }

    void RunUntil(time_t at)
    {
        if (at < runStart_)
            Fail("events out of order at " + Text(at));
        const DWORD target = startTick_ + static_cast<DWORD>(at - runStart_) * 1000 + 500;
        if (host::RunMessageLoopUntil(target))
            Fail("the supervisor quit before " + Text(at));
    }

    std::string TimeOfTick(DWORD tick) const { return Text(runStart_ + (tick - startTick_) / 1000); }

    void Restart(const std::string& name, const std::string& time)
    {
        for (size_t i = 0; i < 4; ++i)
            if (name == kWatched[i])
                played_.push_back({{"kind", "restart"}, {"time", time}, {"application", name},
                                   {"number", kRestartNumbers[i]}});
    }

    std::string root_;
    DWORD tick_ = 0;
    DWORD startTick_ = 0;
    DWORD zeroTick_ = 0;
    time_t runStart_ = 0;
    HWND window_ = nullptr;
    json run_;
    json openOff_;
    std::vector<std::string> pendingRestarts_;
    std::vector<json> played_;
};

const char kIncident[] = "\\ResidentFlash\\Hailnet\\Incident";
const std::vector<std::string> kNone;
const std::vector<std::string> kAll = {"Hailwire", "Hailfare", "Hailnet", "Hailtrack", "Roadlens"};
const std::vector<std::string> kWatchedOnes = {"Hailwire", "Hailfare", "Hailnet", "Hailtrack"};

void PlayTheDay(Day& day)
{
    // Boot at 06:10 with a package whose patch list copies into a folder
    // that does not exist yet: that copy fails, the list and the rest of the
    // package stay for the next start, nothing is closed.
    MakeFile("\\SDMMC\\AirUpdate\\patch_list.txt",
             "MKDIR(\\ResidentFlash\\Hailnet\\Map)\r\n"
             "CP(Map/road.dat)(\\ResidentFlash\\Hailnet)\r\n"
             "CP(fare.tbl)(\\ResidentFlash\\Hailnet\\Tables)\r\n");
    MakeFile("\\SDMMC\\AirUpdate\\Map\\road.dat", "road");
    MakeFile("\\SDMMC\\AirUpdate\\fare.tbl", "fare");
    MakeFile("\\SDMMC\\AirUpdate\\Hailnet.exe", "new call application");
    day.Start(At(6, 10, 0), {"Roadlens"});
    day.ExpectUpdate({{"package", "found"}, {"patch_list", true}, {"kept", true}, {"moved", 1},
                      {"failed_count", 1}, {"closed", json::array()}});
    day.ExpectRestartsAtFirstTick(kWatchedOnes);
    day.UserCloses(At(6, 40, 0), "Hailfare", true);
    day.AccOff(At(7, 15, 0), true);
    day.UserCloses(At(7, 30, 0), "Hailnet", false);
    day.AccOff(At(7, 44, 0), false); // again while off: the navigation is already closed
    day.AccOn(At(7, 45, 0), true);
    day.AccOff(At(9, 5, 30), false); // too short to close the navigation
    day.AccOn(At(9, 5, 40), false);
    day.PowerCut(At(11, 20, 0), At(9, 5, 40));
    day.ExpectNoFile(At(8, 0, 0), 1);
    day.ExpectNoFile(At(10, 0, 0), 1);

    // Boot at 11:30, the missing folder made meanwhile: the list runs again
    // (the copy it made before finds no source, which counts as done), is
    // deleted, and the rest of the package is moved after the call, modem
    // and meter applications are closed. The call application answers the
    // build option too late.
    MakeFile("\\ResidentFlash\\Hailnet\\Tables\\old.tbl", "old");
    day.Start(At(11, 30, 0), kNone, 6000);
    day.ExpectUpdate({{"package", "found"}, {"patch_list", true}, {"kept", false}, {"moved", 2},
                      {"failed_count", 0}, {"closed", {"Hailnet", "Hailwire", "Hailfare"}}});
    day.ExpectRestartsAtFirstTick(kWatchedOnes);
    day.ExpectBuildOptionFailedAtFirstTick();
    day.UserCloses(At(12, 0, 3), "Hailtrack", true);
    day.Marker(At(13, 0, 0), kIncident, true);
    day.AccOff(At(13, 10, 0), false); // the incident marker keeps the navigation running
    day.AccOn(At(13, 50, 0), false);
    day.Marker(At(13, 55, 0), kIncident, false);
    day.Stop(At(14, 0, 0));

    // Only the supervisor starts again; the applications run on. The
    // package folder holds no file now.
    day.Start(At(14, 2, 0), kAll);
    day.ExpectUpdate({{"package", "none"}});
    day.AccOff(At(15, 30, 0), true);
    day.PowerCut(At(16, 0, 0), At(15, 30, 26));
    day.ExpectNoFile(At(16, 0, 0), 2);

    // Boot at 18:00 with a package that carries the supervisor itself: it
    // is left alone.
    MakeFile("\\SDMMC\\AirUpdate\\Hailwatch.exe", "new supervisor");
    MakeFile("\\SDMMC\\AirUpdate\\patch_list.txt", "RM(\\ResidentFlash\\Hailnet\\Hailnet.exe)\r\n");
    day.CloseOpenIgnitionAt(At(18, 0, 0));
    day.Start(At(18, 0, 0), {"Roadlens"});
    day.ExpectUpdate({{"package", "left alone"}});
    day.ExpectRestartsAtFirstTick(kWatchedOnes);
    day.AccOff(At(19, 0, 0), true);
    day.AccOn(At(19, 20, 0), true);
    day.ExpectNoFile(At(20, 0, 0), 1);
    day.Stop(At(21, 0, 0));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: hailog_play_day FOLDER\n";
        return 2;
    }
    const fs::path folder = fs::absolute(argv[1]);
    fs::remove_all(folder);
    fs::create_directories(folder / "ResidentFlash" / "Log");
    fs::create_directories(folder / "SDMMC");
    Day day(folder.string());
    host::SetDeviceRoot(folder.string());
    MakeFile("\\ResidentFlash\\Hailnet\\LogMsg");
    MakeFile("\\ResidentFlash\\Hailnet\\LogMsgRT");
    PlayTheDay(day);
    day.Write((folder / "played.jsonl").string());
    return 0;
}
