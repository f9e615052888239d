// The list's progress record over several starts where a golden case does
// not fit: more failed copies than the record names one by one, a new
// package placed over a half-applied one, and folders standing where the
// record belongs.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <utility>

#include "device_fixture.h"
#include "patch/ListProgress.h"
#include "patch/StartupUpdate.h"
#include "platform/host/host_control.h"

namespace {

namespace fs = std::filesystem;

const char kPackage[] = "\\SDMMC\\AirUpdate\\";
const char kInstall[] = "\\ResidentFlash\\Hailnet\\";
const char kRecordA[] = "\\ResidentFlash\\Hailnet\\update.resume-a";
const char kRecordB[] = "\\ResidentFlash\\Hailnet\\update.resume-b";

class ListProgressTest : public DeviceFixture {
protected:
    void SetUp() override { MakeDevice("progress", {"ResidentFlash/Hailnet", "SDMMC/AirUpdate"}); }

    // One start of a fresh process; answers its log.
    std::string Start()
    {
        FreshProcess();
        RunStartupUpdate();
        std::string log;
        for (const std::wstring& line : host::DebugOutput()) {
            log += host::Narrow(line);
        }
        return log;
    }
};

std::string TableName(int i)
{
    return "t" + std::to_string(100 + i) + ".tbl";
}

// CRC-32 (IEEE) a bit at a time, as its definition gives it.
unsigned long BitwiseCrc32(const std::string& bytes)
{
    unsigned long crc = 0xFFFFFFFFul;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ ((crc & 1) != 0 ? 0xEDB88320ul : 0ul);
        }
    }
    return crc ^ 0xFFFFFFFFul;
}

// A record names its list by the list's size and CRC-32: the standard check
// value, then lists of many lengths, across the reader's blocks, against the
// bit-at-a-time definition. A record written by an earlier build must still
// name the same list.
TEST_F(ListProgressTest, TheRecordNamesItsListByItsSizeAndCrc32)
{
    const std::string list = std::string(kPackage) + "patch_list.txt";
    auto measure = [&](const std::string& bytes) {
        Put(list, bytes);
        ListProgress progress;
        EXPECT_EQ(0, LoadListProgress(list.c_str(), &progress));
        return std::make_pair(static_cast<unsigned long>(progress.listBytes),
                              static_cast<unsigned long>(progress.listCrc));
    };
    EXPECT_EQ(std::make_pair(9ul, 0xCBF43926ul), measure("123456789"));
    std::mt19937 random(26);
    for (std::size_t length : {0u, 1u, 3u, 4u, 5u, 7u, 511u, 512u, 513u, 1029u, 4099u}) {
        std::string bytes(length, '\0');
        for (char& byte : bytes) {
            byte = static_cast<char>(random());
        }
        EXPECT_EQ(std::make_pair(static_cast<unsigned long>(length), BitwiseCrc32(bytes)), measure(bytes))
            << length << " bytes";
    }
}

// Seventy copies into a folder that is not there yet, after a refill of the
// map folder: the record cannot name them all, so the next start retries
// every copy up to the last failure, and still never the RMDIR.
TEST_F(ListProgressTest, MoreFailedCopiesThanTheRecordNamesAreRetriedWithoutTheLinesBefore)
{
    Put(std::string(kInstall) + "Map\\road.dat", "old road");
    std::string list = "RMDIR(\\ResidentFlash\\Hailnet\\Map)\r\n"
                       "MKDIR(\\ResidentFlash\\Hailnet\\Map)\r\n"
                       "CP(Map/road.dat)(\\ResidentFlash\\Hailnet)\r\n";
    Put(std::string(kPackage) + "Map\\road.dat", "new road");
    for (int i = 0; i < 70; ++i) {
        list += "CP(" + TableName(i) + ")(\\ResidentFlash\\Hailnet\\Tables)\r\n";
        Put(kPackage + TableName(i), "table " + std::to_string(i));
    }
    Put(std::string(kPackage) + "patch_list.txt", list);

    Start();
    EXPECT_EQ("new road", Read(std::string(kInstall) + "Map\\road.dat"));
    EXPECT_TRUE(Exists(std::string(kPackage) + "patch_list.txt"));
    EXPECT_TRUE(Exists(kRecordA) || Exists(kRecordB));

    fs::create_directories(host::NativePath(std::string(kInstall) + "Tables"));
    std::string second = Start();
    EXPECT_EQ(std::string::npos, second.find("RMDIR[774]")) << second;
    EXPECT_NE(std::string::npos, second.find("[590]")) << second;
    EXPECT_EQ("new road", Read(std::string(kInstall) + "Map\\road.dat"));
    for (int i = 0; i < 70; ++i) {
        EXPECT_EQ("table " + std::to_string(i), Read(std::string(kInstall) + "Tables\\" + TableName(i)));
    }
    EXPECT_FALSE(Exists(std::string(kPackage) + "patch_list.txt"));
    EXPECT_FALSE(Exists(kRecordA) || Exists(kRecordB));
}

// A half-applied package replaced by a new one: the old record names lines
// the new list also has, but belongs to other bytes, so the new list runs
// from its first line.
TEST_F(ListProgressTest, ANewListOverAHalfAppliedOneStartsFromItsFirstLine)
{
    Put(std::string(kInstall) + "old.dll", "old");
    Put(std::string(kPackage) + "a.dll", "a");
    Put(std::string(kPackage) + "patch_list.txt",
        "SLEEP(10)\r\nCP(a.dll)(\\ResidentFlash\\NoSuchFolder)\r\n");
    Start();
    ASSERT_TRUE(Exists(kRecordA) || Exists(kRecordB));

    fs::remove_all(host::NativePath("\\SDMMC\\AirUpdate"));
    Put(std::string(kPackage) + "b.dll", "b");
    Put(std::string(kPackage) + "patch_list.txt",
        "RM(\\ResidentFlash\\Hailnet\\old.dll)\r\nCP(b.dll)(\\ResidentFlash\\Hailnet)\r\n");
    std::string log = Start();
    EXPECT_EQ(std::string::npos, log.find("[590]")) << log;
    EXPECT_FALSE(Exists(std::string(kInstall) + "old.dll"));
    EXPECT_EQ("b", Read(std::string(kInstall) + "b.dll"));
    EXPECT_FALSE(Exists(kRecordA) || Exists(kRecordB));
}

// A folder where the record belongs: an empty one is the terminal's to
// clear; one that holds anything keeps the list from running at all (a list
// run without its record could run a line again after a cut), and the
// package stays whole for the next start. Records earlier versions left on
// the card go once the list is done.
TEST_F(ListProgressTest, AFolderAtTheRecordsPathNeverLetsTheListRunWithoutIt)
{
    Put(std::string(kInstall) + "Map\\road.dat", "old road");
    Put(std::string(kPackage) + "Map\\road.dat", "new road");
    Put(std::string(kPackage) + "patch_list.txt", "RMDIR(\\ResidentFlash\\Hailnet\\Map)\r\n"
                                                  "MKDIR(\\ResidentFlash\\Hailnet\\Map)\r\n"
                                                  "CP(Map/road.dat)(\\ResidentFlash\\Hailnet)\r\n");
    fs::create_directories(host::NativePath(kRecordA));
    Put(std::string(kRecordB) + "\\held.txt", "someone's");
    Put("\\SDMMC\\AirUpdate.resume-a", "an earlier version's record");

    std::string refused = Start();
    EXPECT_NE(std::string::npos, refused.find("[591]")) << refused;
    EXPECT_EQ(std::string::npos, refused.find("RMDIR[774]")) << refused;
    EXPECT_EQ("old road", Read(std::string(kInstall) + "Map\\road.dat"));
    EXPECT_EQ("new road", Read(std::string(kPackage) + "Map\\road.dat"));
    EXPECT_TRUE(Exists(std::string(kPackage) + "patch_list.txt"));

    fs::remove_all(host::NativePath(kRecordB));
    fs::create_directories(host::NativePath(kRecordB));
    std::string applied = Start();
    EXPECT_EQ(std::string::npos, applied.find("[591]")) << applied;
    EXPECT_EQ("new road", Read(std::string(kInstall) + "Map\\road.dat"));
    EXPECT_FALSE(Exists(kRecordA) || Exists(kRecordB));
    EXPECT_FALSE(Exists("\\SDMMC\\AirUpdate.resume-a"));
}

} // namespace
