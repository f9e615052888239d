// The log store: when buffered text reaches which file, and what the marker
// files switch.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "log/LogBuffer.h"
#include "log/WriteLog.h"
#include "tests/log/DeviceFixture.h"

namespace logtest {
namespace {

class LogStoreTest : public DeviceTest {
protected:
    static void FlushNow() { CLogBuffer::GetInstance()->FlushNow(); }
};

// A message of exactly `lineLength` bytes once stamped (the stamp is 10).
std::string MessageForLine(size_t lineLength)
{
    return std::string(lineLength - 12, 'x') + "\r\n";
}

TEST_F(LogStoreTest, BufferedTextReachesTheFileOnlyWhenFlushed)
{
    SetLogging(Logging::Buffered);
    WriteLog("%s %s[%d] one\r\n", "<I>", "Test", 1);
    WriteLog("%s %s[%d] two\r\n", "<I>", "Test", 2);
    EXPECT_FALSE(FileExists(kLogThisHour));

    FlushNow();
    EXPECT_EQ(ReadFile(kLogThisHour),
              Line("59:58", "<I> Test[1] one\r\n") + Line("59:58", "<I> Test[2] two\r\n"));

    // A flush empties the buffer: the next one appends only what came since.
    WriteLog("three\r\n");
    FlushNow();
    FlushNow();
    EXPECT_EQ(ReadFile(kLogThisHour), Line("59:58", "<I> Test[1] one\r\n") +
                                          Line("59:58", "<I> Test[2] two\r\n") +
                                          Line("59:58", "three\r\n"));
}

TEST_F(LogStoreTest, TheFirstLineOfANewHourSendsTheOldHoursTextToTheOldFile)
{
    SetLogging(Logging::Buffered);
    WriteLog("before\r\n");
    host::Advance(3000); // 14:00:01
    WriteLog("after\r\n");

    EXPECT_EQ(ReadFile(kLogThisHour), Line("59:58", "before\r\n"));
    EXPECT_FALSE(FileExists(kLogNextHour)) << "the new hour's line stays buffered";
    FlushNow();
    EXPECT_EQ(ReadFile(kLogNextHour), Line("00:01", "after\r\n"));
    EXPECT_EQ(ReadFile(kLogThisHour), Line("59:58", "before\r\n"));
}

TEST_F(LogStoreTest, FlushesOnlyWhenTheBufferWouldPass524287Bytes)
{
    SetLogging(Logging::Buffered);
    const std::string full = MessageForLine(1000);
    for (int i = 0; i < 524; ++i)
        WriteLog("%s", full.c_str());
    WriteLog("%s", MessageForLine(287).c_str()); // exactly 524,287 bytes now
    EXPECT_FALSE(FileExists(kLogThisHour));

    WriteLog("%s", MessageForLine(20).c_str());
    EXPECT_EQ(ReadFile(kLogThisHour).size(), 524287u);
    FlushNow();
    EXPECT_EQ(ReadFile(kLogThisHour).size(), 524287u + 20u);

    // One byte more than fits: the buffer goes out before the line is added.
    for (int i = 0; i < 524; ++i)
        WriteLog("%s", full.c_str());
    WriteLog("%s", MessageForLine(288).c_str());
    EXPECT_EQ(ReadFile(kLogThisHour).size(), 524287u + 20u + 524000u);
    FlushNow();
    EXPECT_EQ(ReadFile(kLogThisHour).size(), 524287u + 20u + 524000u + 288u);
}

TEST_F(LogStoreTest, RealTimeModeWritesEveryLineBeforeWriteLogReturns)
{
    SetLogging(Logging::RealTime);
    WriteLog("one\r\n");
    EXPECT_EQ(ReadFile(kLogThisHour), Line("59:58", "one\r\n"));
    host::Advance(1000);
    WriteLog("two\r\n");
    EXPECT_EQ(ReadFile(kLogThisHour), Line("59:58", "one\r\n") + Line("59:59", "two\r\n"));
}

TEST_F(LogStoreTest, WithoutLogMsgNothingIsEverWritten)
{
    for (Logging markers : {Logging::Off, Logging::RealTime}) {
        SetMarkers(markers);
        // LogMsgRT alone selects nothing: it counts only beside LogMsg.
        if (markers == Logging::RealTime)
            RemoveFile("\\ResidentFlash\\Hailnet\\LogMsg");
        CLogBuffer::GetInstance()->LoadSettings();
        WriteLog("dropped\r\n");
        FlushNow();
        host::Advance(3000);
        WriteLog("dropped too\r\n");
        FlushNow();
        EXPECT_FALSE(FileExists(kLogThisHour));
        EXPECT_FALSE(FileExists(kLogNextHour));
    }
}

TEST_F(LogStoreTest, DisablingKeepsTheBufferForItsOldFileUntilLoggingComesBack)
{
    SetLogging(Logging::Buffered);
    WriteLog("kept\r\n");
    SetLogging(Logging::Off);
    WriteLog("dropped while off\r\n");
    FlushNow(); // log-control 1 while off writes nothing, though text is held
    EXPECT_FALSE(FileExists(kLogThisHour));

    host::Advance(3000); // the hour changes while logging is off
    SetLogging(Logging::Buffered);
    FlushNow();
    EXPECT_EQ(ReadFile(kLogThisHour), Line("59:58", "kept\r\n"))
        << "the text goes to the file remembered before";
    EXPECT_FALSE(FileExists(kLogNextHour));
}

TEST_F(LogStoreTest, SwitchingToRealTimeWritesWhatWasBufferedWithTheNextLine)
{
    SetLogging(Logging::Buffered);
    WriteLog("buffered\r\n");
    SetLogging(Logging::RealTime);
    EXPECT_FALSE(FileExists(kLogThisHour)) << "settings alone do not flush";
    WriteLog("at once\r\n");
    EXPECT_EQ(ReadFile(kLogThisHour), Line("59:58", "buffered\r\n") + Line("59:58", "at once\r\n"));
}

TEST_F(LogStoreTest, AFlushThatCannotOpenItsFileLosesOnlyItsOwnText)
{
    SetLogging(Logging::Buffered);
    std::filesystem::remove(host::NativePath("\\ResidentFlash\\Log"));
    WriteLog("lost\r\n");
    FlushNow();
    EXPECT_FALSE(std::filesystem::exists(host::NativePath("\\ResidentFlash\\Log")))
        << "the store never creates its folder";

    std::filesystem::create_directories(host::NativePath("\\ResidentFlash\\Log"));
    FlushNow();
    EXPECT_FALSE(FileExists(kLogThisHour)) << "the lost text does not come back";

    SetLogging(Logging::RealTime);
    host::FailNext("fopen", 1, ERROR_WRITE_FAULT, "hailwatch-");
    WriteLog("lost on a full medium\r\n");
    WriteLog("written\r\n");
    EXPECT_EQ(ReadFile(kLogThisHour), Line("59:58", "written\r\n"));
}

// The store reads the markers when it comes into being; a process of its
// own is needed, since every other test shares one store.
TEST(LogStoreFirstUse, TheFirstLineCreatesTheStoreWithTheMarkersOfThatMoment)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            host::Reset();
            std::string pattern =
                (std::filesystem::temp_directory_path() / "hailwatch-first-XXXXXX").string();
            if (mkdtemp(pattern.data()) == nullptr)
                exit(2);
            host::SetDeviceRoot(pattern);
            host::UseVirtualClock(kStartTick, kStartTime);
            std::filesystem::create_directories(host::NativePath("\\ResidentFlash\\Log"));
            std::filesystem::create_directories(host::NativePath("\\ResidentFlash\\Hailnet"));
            std::ofstream(host::NativePath("\\ResidentFlash\\Hailnet\\LogMsg"));
            std::ofstream(host::NativePath("\\ResidentFlash\\Hailnet\\LogMsgRT"));
            WriteLog("first\r\n");
            std::ifstream in(host::NativePath(kLogThisHour), std::ios::binary);
            std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            std::filesystem::remove_all(pattern);
            exit(bytes == "59:58 [K] first\r\n" ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace logtest
