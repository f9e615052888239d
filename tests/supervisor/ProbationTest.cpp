// An update that leaves the modem application crashing at start: on a
// terminal holding update.rollback the watchdog takes the update back after
// its third restart and the old files come back; without the file it
// restarts the application every five seconds for ever, as it always did.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "ExpectedText.h"
#include "SupervisorTimeline.h"

namespace timeline {
namespace {

namespace fs = std::filesystem;

const char kInstall[] = "\\ResidentFlash\\Hailnet\\";
const char kPackage[] = "\\SDMMC\\AirUpdate\\";
const char kOldWire[] = "old modem application";
const char kNewWire[] = "new modem application that crashes";

std::string Read(const std::string& devicePath)
{
    std::ifstream in(host::NativePath(devicePath), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write(const std::string& devicePath, const std::string& bytes)
{
    fs::path native = host::NativePath(devicePath);
    fs::create_directories(native.parent_path());
    std::ofstream(native, std::ios::binary) << bytes;
}

bool Exists(const std::string& devicePath)
{
    return fs::exists(host::NativePath(devicePath));
}

class ProbationTimeline : public SupervisorTest {
protected:
    // The four applications running, the modem one from kOldWire; a package
    // that replaces it, removes the old fare table and brings the new one.
    void InstallTerminalAndPackage(const std::string& optIn)
    {
        host::ProgramSetup crashingWhenNew;
        std::string image = std::string(kInstall) + "Hailwire.exe";
        crashingWhenNew.exitsAtStart = [image] { return Read(image) == kNewWire; };
        Install("Hailwire", Presence::Running, crashingWhenNew);
        Install("Hailfare", Presence::Running);
        Install("Hailnet", Presence::Running);
        Install("Hailtrack", Presence::Running);
        Write(image, kOldWire);
        Write(std::string(kInstall) + "fare-2023.tbl", "fares of 2023");
        if (optIn != "none")
            Write(std::string(kInstall) + "update.rollback", optIn);
        Write(std::string(kPackage) + "Hailwire.exe", kNewWire);
        Write(std::string(kPackage) + "fare-2024.tbl", "fares of 2024");
        Write(std::string(kPackage) + "patch_list.txt", "RM(\\ResidentFlash\\Hailnet\\fare-2023.tbl)\r\n");
    }

    void ExpectUpdateInPlace()
    {
        EXPECT_EQ(kNewWire, Read(std::string(kInstall) + "Hailwire.exe"));
        EXPECT_FALSE(Exists(std::string(kInstall) + "fare-2023.tbl"));
        EXPECT_EQ("fares of 2024", Read(std::string(kInstall) + "fare-2024.tbl"));
    }

    void ExpectStateBeforeUpdate()
    {
        EXPECT_EQ(kOldWire, Read(std::string(kInstall) + "Hailwire.exe"));
        EXPECT_EQ("fares of 2023", Read(std::string(kInstall) + "fare-2023.tbl"));
        EXPECT_FALSE(Exists(std::string(kInstall) + "fare-2024.tbl"));
        // The journal is gone: the record in the flash store and the copy on the card.
        EXPECT_FALSE(Exists(std::string(kInstall) + "update.undo-a"));
        EXPECT_FALSE(Exists(std::string(kInstall) + "update.undo-b"));
        EXPECT_FALSE(Exists("\\SDMMC\\AirUpdate.undo"));
    }
};

const char kRollBack[] = "<E> RollBackUpdate[965] Hailwire 응용프로그램이 업데이트 후 3번 재시작되어 업데이트를 되돌립니다.";
const char kRolledBack[] = "<I> RollBackUpdate[969] Hailwire 응용프로그램 때문에 업데이트를 되돌렸습니다. 항목[6]";

std::vector<std::string> CrashRow()
{
    return {Started("Hailwire"), Log(kModemMissing)};
}

TEST_F(ProbationTimeline, ThirdRestartTakesTheUpdateBackAndTheOldApplicationStays)
{
    InstallTerminalAndPackage("");
    Start();
    ExpectUpdateInPlace();
    RunTimeline({
        // The first start after the update is no restart.
        {5000, Nothing(), {Started("Hailwire"), Started("Hailfare"), Started("Hailnet"), kBuildOptionSent,
                           Log(kModemMissing), Log(kMeterMissing), Log(kCallMissing), Log(kVersion)}},
        {10000, Nothing(), CrashRow()},
        {15000, Nothing(), CrashRow()},
        // The third restart: the windows the update closed are closed, the
        // entries go back last first, and the applications start again.
        {20000, Nothing(),
         {Started("Hailwire"), Started("Hailfare"), Started("Hailnet"), Post("Hailnet", WM_DESTROY, 0),
          Post("Hailfare", WM_DESTROY, 0) + " @21000", Log(kRollBack),
          LogAt(21000, "<I> CPatchList::KILL[711] 종료 윈도우이름[Hailnet]"),
          LogAt(21000, "<I> CPatchList::KILL[711] 종료 윈도우이름[Hailwire]"),
          LogAt(22000, "<I> CPatchList::KILL[711] 종료 윈도우이름[Hailfare]"),
          LogAt(22000, "<I> RemoveNewPath[967] 결과[1] 삭제[\\ResidentFlash\\Hailnet\\fare-2024.tbl]"),
          LogAt(22000, "<I> RestoreFile[966] 결과[1] 복원파일[\\ResidentFlash\\Hailnet\\Hailwire.exe]"),
          LogAt(22000, "<I> RestoreFile[966] 결과[1] 복원파일[\\ResidentFlash\\Hailnet\\fare-2023.tbl]"),
          LogAt(22000, kRolledBack), LogAt(22000, kModemMissing), LogAt(22000, kMeterMissing),
          LogAt(22000, kCallMissing)}},
    }, 60000);
    ExpectStateBeforeUpdate();
}

TEST_F(ProbationTimeline, WithoutTheOptInTheCrashLoopGoesOnAndNothingIsKept)
{
    InstallTerminalAndPackage("none");
    Start();
    ExpectUpdateInPlace();
    std::vector<Row> rows = {
        {5000, Nothing(), {Started("Hailwire"), Started("Hailfare"), Started("Hailnet"), kBuildOptionSent,
                           Log(kModemMissing), Log(kMeterMissing), Log(kCallMissing), Log(kVersion)}},
    };
    for (DWORD at = 10000; at <= 60000; at += 5000)
        rows.push_back({at, Nothing(), CrashRow()});
    RunTimeline(rows, 62000);
    ExpectUpdateInPlace();
    EXPECT_FALSE(Exists(std::string(kInstall) + "update.undo-a"));
    EXPECT_FALSE(Exists("\\SDMMC\\AirUpdate.undo"));
}

TEST_F(ProbationTimeline, RestartsCountedBeforeASwitchOffCountAfterIt)
{
    InstallTerminalAndPackage("restarts=3\r\nminutes=10\r\n");
    Start();
    RunTimeline({
        {5000, Nothing(), {Started("Hailwire"), Started("Hailfare"), Started("Hailnet"), kBuildOptionSent,
                           Log(kModemMissing), Log(kMeterMissing), Log(kCallMissing), Log(kVersion)}},
        {10000, Nothing(), CrashRow()},
        {15000, Nothing(), CrashRow()},
    }, 17000);
    // Two restarts are in the flash store when the power goes.
    SwitchOffAndOn();
    RunTimeline({
        {5000, Nothing(), {Started("Hailwire"), Started("Hailfare"), Started("Hailnet"), Started("Hailtrack"),
                           kBuildOptionSent, Log(kModemMissing), Log(kMeterMissing), Log(kCallMissing),
                           Log("<I> CheckApp[434] DTG 응용프로그램이 없습니다. 재시작합니다."), Log(kVersion)}},
        {10000, Nothing(),
         {Started("Hailwire"), Started("Hailfare"), Started("Hailnet"), Post("Hailnet", WM_DESTROY, 0),
          Post("Hailfare", WM_DESTROY, 0) + " @11000", Log(kRollBack),
          LogAt(11000, "<I> CPatchList::KILL[711] 종료 윈도우이름[Hailnet]"),
          LogAt(11000, "<I> CPatchList::KILL[711] 종료 윈도우이름[Hailwire]"),
          LogAt(12000, "<I> CPatchList::KILL[711] 종료 윈도우이름[Hailfare]"),
          LogAt(12000, "<I> RemoveNewPath[967] 결과[1] 삭제[\\ResidentFlash\\Hailnet\\fare-2024.tbl]"),
          LogAt(12000, "<I> RestoreFile[966] 결과[1] 복원파일[\\ResidentFlash\\Hailnet\\Hailwire.exe]"),
          LogAt(12000, "<I> RestoreFile[966] 결과[1] 복원파일[\\ResidentFlash\\Hailnet\\fare-2023.tbl]"),
          LogAt(12000, kRolledBack), LogAt(12000, kModemMissing), LogAt(12000, kMeterMissing),
          LogAt(12000, kCallMissing)}},
    }, 30000);
    ExpectStateBeforeUpdate();
}

TEST_F(ProbationTimeline, AQuietProbationEndsAfterItsMinutesOfIgnitionOn)
{
    InstallTerminalAndPackage("minutes=1\r\n");
    // The new modem application does not crash on this terminal.
    Write(std::string(kPackage) + "Hailwire.exe", "new modem application that works");
    Start();
    const std::vector<std::string> started = {Started("Hailwire"), Started("Hailfare"), Started("Hailnet")};
    const std::vector<std::string> news = {Post("Hailnet", 3042, 2), Post("Hailfare", 3042, 2),
                                           Post("Hailwire", 3042, 2)};
    RunTimeline({
        // A minute with the ignition off is no probation time.
        {1500, AccOff(), AccChangeLog("ACC OFF", 1000)},
        {5000, Nothing(), {Log(kVersion)}},
        {61500, AccOn(), started + news + AccChangeLog("ACC ON", 0) +
                             std::vector<std::string>{Log(kModemMissing), Log(kMeterMissing), Log(kCallMissing)}},
        // The twelfth tick with the ignition on, at 120 s, ends it.
        {119000, Nothing(), {LogAt(120000, "<I> EndProbation[964] 업데이트 후 1분 동안 문제가 없어 되돌리기 사본을 지웁니다.")}},
    }, 200000);
    EXPECT_FALSE(Exists(std::string(kInstall) + "update.undo-a"));
    EXPECT_FALSE(Exists(std::string(kInstall) + "update.undo-b"));
    EXPECT_FALSE(Exists("\\SDMMC\\AirUpdate.undo"));
    EXPECT_EQ("new modem application that works", Read(std::string(kInstall) + "Hailwire.exe"));
}

} // namespace
} // namespace timeline
