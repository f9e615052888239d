// The undo copy where a golden case does not fit: the opt-in file's table,
// a card holder changing the copy before a rollback, a package kept over
// two starts, a new package during a probation, and a terminal that stops
// asking for rollbacks.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>

#include "device_fixture.h"
#include "log/WriteLog.h"
#include "patch/RollbackSettings.h"
#include "patch/StartupUpdate.h"
#include "patch/UndoRestore.h"
#include "platform/host/host_control.h"

namespace {

namespace fs = std::filesystem;

const char kInstall[] = "\\ResidentFlash\\Hailnet\\";
const char kPackage[] = "\\SDMMC\\AirUpdate\\";
const char kCopy[] = "\\SDMMC\\AirUpdate.undo\\";

struct SettingsCase {
    const char* text;
    bool parses;
    DWORD restarts;
    DWORD minutes;
};

// The defaults are 3 restarts within 10 minutes; a file that does not parse
// means both defaults, whatever it got right.
const SettingsCase kSettings[] = {
    {"", true, 3, 10},
    {"\r\n\n", true, 3, 10},
    {"restarts=5", true, 5, 10},
    {"minutes=20\r\n", true, 3, 20},
    {"restarts=1\nminutes=1440\n", true, 1, 1440},
    {"\xEF\xBB\xBFrestarts=4\r\n", true, 4, 10},
    {"restarts=100\r\nrestarts=7\r\n", true, 7, 10},
    {"restarts=0", false, 3, 10},
    {"restarts=101", false, 3, 10},
    {"minutes=1441", false, 3, 10},
    {"minutes=5\r\nrestarts=three", false, 3, 10},
    {"Restarts=4", false, 3, 10},
    {"restarts =4", false, 3, 10},
    {"restarts=4 ", false, 3, 10},
    {"restarts=+4", false, 3, 10},
    {"restarts=00004", false, 3, 10},
    {"# restarts=4", false, 3, 10},
};

TEST(RollbackSettings, EachFileGivesItsSettingsOrBothDefaults)
{
    for (const SettingsCase& c : kSettings) {
        RollbackSettings settings = {0, 0};
        EXPECT_EQ(c.parses, ParseRollbackSettings(c.text, strlen(c.text), &settings) == 1) << c.text;
        EXPECT_EQ(c.restarts, settings.restarts) << c.text;
        EXPECT_EQ(c.minutes, settings.minutes) << c.text;
    }
}

class UndoCopyTest : public DeviceFixture {
public:
    void SetUp() override
    {
        MakeDevice("undo", {"ResidentFlash/Hailnet", "SDMMC"});
        Put(std::string(kInstall) + "update.rollback", "");
        Put(std::string(kInstall) + "Hailwire.exe", "old modem");
        Put(std::string(kInstall) + "fare-2023.tbl", "fares of 2023");
        PutPackage("new modem");
    }

    void PutPackage(const std::string& modem)
    {
        Put(std::string(kPackage) + "Hailwire.exe", modem);
        Put(std::string(kPackage) + "fare-2024.tbl", "fares of 2024");
        Put(std::string(kPackage) + "patch_list.txt", "RM(\\ResidentFlash\\Hailnet\\fare-2023.tbl)\r\n");
    }
    using DeviceFixture::Exists;
    using DeviceFixture::Put;
    using DeviceFixture::Read;

protected:
    // A fresh process; answers the log's bytes as the file would hold them.
    template <typename Work>
    std::string Run(Work work)
    {
        FreshProcess();
        work();
        std::string log;
        for (const std::wstring& line : host::DebugOutput()) {
            for (wchar_t unit : line) {
                log += static_cast<char>(unit & 0xff);
            }
        }
        return log;
    }
    std::string Start() { return Run([] { RunStartupUpdate(); }); }
    std::string RollBack() { return Run([] { RollBackUpdate("Hailwire", 3); }); }

    // The log's line for this UTF-8 text, in code page 949.
    static std::string Line(const std::string& utf8)
    {
        return host::Utf8ToCp949("00:00 [K] " + utf8 + "\r\n");
    }

    void ExpectUpdated()
    {
        EXPECT_EQ("new modem", Read(std::string(kInstall) + "Hailwire.exe"));
        EXPECT_FALSE(Exists(std::string(kInstall) + "fare-2023.tbl"));
        EXPECT_EQ("fares of 2024", Read(std::string(kInstall) + "fare-2024.tbl"));
    }
    void ExpectAsBefore()
    {
        EXPECT_EQ("old modem", Read(std::string(kInstall) + "Hailwire.exe"));
        EXPECT_EQ("fares of 2023", Read(std::string(kInstall) + "fare-2023.tbl"));
        EXPECT_FALSE(Exists(std::string(kInstall) + "fare-2024.tbl"));
    }
    void ExpectNoJournal()
    {
        EXPECT_FALSE(Exists(std::string(kInstall) + "update.undo-a"));
        EXPECT_FALSE(Exists(std::string(kInstall) + "update.undo-b"));
        EXPECT_FALSE(Exists("\\SDMMC\\AirUpdate.undo"));
    }
};

// The update's entries: 1 the old fare table (RM), 2-4 the closed windows,
// 5 the old modem application, 6 the new fare table that was not there.
struct Tampering {
    const char* what;
    std::function<void(UndoCopyTest*)> change;
    const char* named;  // the file the refusal names
};

TEST_F(UndoCopyTest, ACardHolderCanStopARollbackButNotChangeWhatItPutsBack)
{
    const Tampering cases[] = {
        {"old bytes changed, same size",
         [](UndoCopyTest* t) { t->Put(std::string(kCopy) + "00000005.dat", "evil modem"); }, "00000005.dat"},
        {"old bytes cut short",
         [](UndoCopyTest* t) { t->Put(std::string(kCopy) + "00000001.dat", "fares"); }, "00000001.dat"},
        {"an entry's path changed",
         [](UndoCopyTest* t) {
             std::string entry = t->Read(std::string(kCopy) + "00000005.ent");
             size_t at = entry.find('w', 60);
             entry[at] = 'x';
             t->Put(std::string(kCopy) + "00000005.ent", entry);
         },
         "AirUpdate.undo"},
        {"an entry removed",
         [](UndoCopyTest*) { fs::remove(host::NativePath(std::string(kCopy) + "00000006.ent")); },
         "00000006.ent"},
        {"the whole copy gone", [](UndoCopyTest*) { fs::remove_all(host::NativePath("\\SDMMC\\AirUpdate.undo")); },
         "00000001.ent"},
    };
    for (const Tampering& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        Start();
        ExpectUpdated();
        c.change(this);
        std::string log = RollBack();
        EXPECT_NE(std::string::npos,
                  log.find(host::Utf8ToCp949("<E> CheckUndoCopy[971] \\SDMMC\\AirUpdate.undo")))
            << host::Cp949ToUtf8(log);
        EXPECT_NE(std::string::npos, log.find(c.named)) << host::Cp949ToUtf8(log);
        EXPECT_EQ(std::string::npos, log.find("RestoreFile")) << host::Cp949ToUtf8(log);
        ExpectUpdated();
        ExpectNoJournal();
    }
}

TEST_F(UndoCopyTest, AnEntryAddedBeyondTheRecordIsNeverPutBack)
{
    Start();
    // A seventh entry, copied from the sixth and renumbered, would remove
    // the old modem application if anyone read it.
    std::string entry = Read(std::string(kCopy) + "00000006.ent");
    entry[8] = 7;
    size_t at = entry.find('f', 60);
    const char* target = "H\0a\0i\0l\0w\0i\0r\0e\0.\0e\0x\0e\0";
    entry.replace(at, 26, std::string(target, 24) + std::string(2, '\0'));
    Put(std::string(kCopy) + "00000007.ent", entry);
    RollBack();
    ExpectAsBefore();
    ExpectNoJournal();
}

TEST_F(UndoCopyTest, TheRollbackClearsTheNoteOfAVerifiedPackage)
{
    Start();
    Put(std::string(kInstall) + "update.verified", std::string(64, 'a') + "\n");
    std::string log = RollBack();
    EXPECT_NE(std::string::npos,
              log.find(Line("<I> RollBackUpdate[969] Hailwire 응용프로그램 때문에 업데이트를 되돌렸습니다. 항목[6]")))
        << host::Cp949ToUtf8(log);
    ExpectAsBefore();
    EXPECT_FALSE(Exists(std::string(kInstall) + "update.verified"));
    ExpectNoJournal();
}

TEST_F(UndoCopyTest, AKeptPackageKeepsOneUndoCopyOverItsStarts)
{
    // The first start fails the list's one copy and keeps the package.
    Put(std::string(kPackage) + "patch_list.txt",
        "RM(\\ResidentFlash\\Hailnet\\fare-2023.tbl)\r\nCP(night.tbl)(\\ResidentFlash\\Hailnet\\Tables)\r\n");
    Put(std::string(kPackage) + "night.tbl", "night fares");
    Start();
    EXPECT_FALSE(Exists(std::string(kInstall) + "fare-2023.tbl"));
    EXPECT_EQ("old modem", Read(std::string(kInstall) + "Hailwire.exe"));
    fs::create_directories(host::NativePath(std::string(kInstall) + "Tables"));
    Start();
    EXPECT_EQ("night fares", Read(std::string(kInstall) + "Tables\\night.tbl"));
    ExpectUpdated();
    RollBack();
    ExpectAsBefore();
    // The folder was made by hand between the starts, not by the update.
    EXPECT_TRUE(Exists(std::string(kInstall) + "Tables"));
    EXPECT_FALSE(Exists(std::string(kInstall) + "Tables\\night.tbl"));
    ExpectNoJournal();
}

TEST_F(UndoCopyTest, ANewPackageEndsTheProbationAndIsUndoneAlone)
{
    Start();
    PutPackage("newer modem");
    Put(std::string(kPackage) + "patch_list.txt", "RM(\\ResidentFlash\\Hailnet\\fare-2024.tbl)\r\n");
    std::string log = Start();
    EXPECT_NE(std::string::npos,
              log.find(Line("<I> EndProbationForNewPackage[974] 새 패키지가 있어 이전 업데이트의 되돌리기 사본을 지웁니다.")))
        << host::Cp949ToUtf8(log);
    EXPECT_EQ("newer modem", Read(std::string(kInstall) + "Hailwire.exe"));
    RollBack();
    // Back to the first update's result, not to before it.
    ExpectUpdated();
    ExpectNoJournal();
}

TEST_F(UndoCopyTest, ATerminalThatStopsAskingDropsTheCopyAndKeepsTheUpdate)
{
    Start();
    fs::remove(host::NativePath(std::string(kInstall) + "update.rollback"));
    std::string log = Start();
    EXPECT_EQ(Line("<I> SettleUndoJournal[975] \\ResidentFlash\\Hailnet\\update.rollback 파일이 없어 되돌리기 사본을 "
                   "지웁니다."),
              log.substr(0, log.find("\r\n") + 2));
    ExpectUpdated();
    ExpectNoJournal();
}

} // namespace
