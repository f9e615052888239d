// WriteLog: the exact bytes of a line, the file it goes to, long and odd
// messages, and the debugger echo.
#include <string>
#include <vector>

#include "log/WriteLog.h"
#include "tests/log/DeviceFixture.h"

namespace logtest {
namespace {

class WriteLogTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        SetLogging(Logging::RealTime);
    }
};

std::string Cp949(const std::string& utf8) { return host::Utf8ToCp949(utf8); }

TEST_F(WriteLogTest, StampsMinuteAndSecondAndKeepsKoreanBytes)
{
    WriteLog("%s %s[%d] %s\r\n", "<I>", "CPatchList::RM", 137,
             Cp949("경로[\\ResidentFlash\\Update] 결과[성공]").c_str());
    EXPECT_EQ(ReadFile(kLogThisHour),
              Line("59:58", "<I> CPatchList::RM[137] 경로[\\ResidentFlash\\Update] 결과[성공]\r\n"));
}

TEST_F(WriteLogTest, NamesTheFileAndStampsWithZeroPadding)
{
    const SYSTEMTIME early = {2025, 1, 4, 2, 3, 4, 5, 0};
    host::UseVirtualClock(kStartTick, early);
    WriteLog("x\r\n");
    EXPECT_EQ(ReadFile("\\ResidentFlash\\Log\\hailwatch-2025010203.log"), "04:05 [K] x\r\n");
}

// The name is made again only when the hour changes; an hour that comes
// back on another day, month or year is another file all the same.
TEST_F(WriteLogTest, EachHourOfEachDayHasItsOwnFile)
{
    // Year, month, day of the week, day, hour, minute, second, millisecond.
    const SYSTEMTIME clocks[] = {
        {2025, 1, 0, 2, 3, 4, 5, 0}, {2025, 1, 0, 2, 3, 5, 6, 0}, // same hour, later
        {2025, 1, 0, 3, 3, 4, 7, 0},                              // next day
        {2025, 2, 0, 3, 3, 4, 8, 0},                              // next month
        {2026, 2, 0, 3, 3, 4, 9, 0},                              // next year
        {2026, 2, 0, 3, 4, 4, 10, 0},                             // next hour
    };
    for (const SYSTEMTIME& clock : clocks) {
        host::UseVirtualClock(kStartTick, clock);
        WriteLog("%d\r\n", clock.wSecond);
    }
    EXPECT_EQ(ReadFile("\\ResidentFlash\\Log\\hailwatch-2025010203.log"),
              "04:05 [K] 5\r\n05:06 [K] 6\r\n");
    EXPECT_EQ(ReadFile("\\ResidentFlash\\Log\\hailwatch-2025010303.log"), "04:07 [K] 7\r\n");
    EXPECT_EQ(ReadFile("\\ResidentFlash\\Log\\hailwatch-2025020303.log"), "04:08 [K] 8\r\n");
    EXPECT_EQ(ReadFile("\\ResidentFlash\\Log\\hailwatch-2026020303.log"), "04:09 [K] 9\r\n");
    EXPECT_EQ(ReadFile("\\ResidentFlash\\Log\\hailwatch-2026020304.log"), "04:10 [K] 10\r\n");
}

TEST_F(WriteLogTest, PercentSignsInsideAnArgumentReachTheFileUnchanged)
{
    const std::string name = "\\SDMMC\\AirUpdate\\100%_%s%d%n%%.txt";
    WriteLog("%s %s[%d] [%s]\r\n", "<I>", "CPatchList::CP", 7, name.c_str());
    WriteLog("%s\r\n", Cp949("%s 진행률 50%").c_str());
    EXPECT_EQ(ReadFile(kLogThisHour), Line("59:58", "<I> CPatchList::CP[7] [" + name + "]\r\n") +
                                          Line("59:58", "%s 진행률 50%\r\n"));
}

TEST_F(WriteLogTest, ATooLongMessageIsCutToOneLineEndingInCrLf)
{
    WriteLog("%s\r\n", std::string(2000, 'a').c_str());
    WriteLog("next\r\n");
    const std::string expected =
        "59:58 [K] " + std::string(1011, 'a') + "\r\n" + "59:58 [K] next\r\n";
    EXPECT_EQ(ReadFile(kLogThisHour), expected);
    EXPECT_EQ(ReadFile(kLogThisHour).find('\n'), 1022u) << "the cut line is 1,023 bytes";
}

// A line holds 1,023 bytes: the 10 of the stamp and a message of up to
// 1,013; one byte more and the line is cut, still ending in CR LF.
TEST_F(WriteLogTest, AMessageThatJustFitsStaysWholeAndOneByteMoreIsCut)
{
    WriteLog("%s\r\n", std::string(1011, 'b').c_str());
    WriteLog("%s\r\n", std::string(1012, 'c').c_str());
    EXPECT_EQ(ReadFile(kLogThisHour), "59:58 [K] " + std::string(1011, 'b') + "\r\n" +
                                          "59:58 [K] " + std::string(1011, 'c') + "\r\n");
}

TEST_F(WriteLogTest, TheCutNeverSplitsADoubleByteCharacter)
{
    // 1,010 bytes of ASCII, then Korean: the stamp and these leave the first
    // syllable's two bytes across the last place before "\r\n".
    std::string message = std::string(1010, 'a');
    for (int i = 0; i < 20; ++i)
        message += Cp949("가");
    WriteLog("%s", message.c_str());
    const std::string bytes = ReadFile(kLogThisHour);
    EXPECT_EQ(bytes, "59:58 [K] " + std::string(1010, 'a') + "\r\n");

    std::string even = std::string(1009, 'a');
    for (int i = 0; i < 20; ++i)
        even += Cp949("가");
    WriteLog("%s", even.c_str());
    EXPECT_EQ(ReadFile(kLogThisHour).substr(bytes.size()),
              "59:58 [K] " + std::string(1009, 'a') + Cp949("가") + "\r\n");
}

TEST_F(WriteLogTest, AHugeArgumentOverflowsNothing)
{
    const std::string huge(300000, 'z');
    WriteLog("%s %s[%d] %s %s\r\n", "<I>", "Test", 1, huge.c_str(), huge.c_str());
    const std::string bytes = ReadFile(kLogThisHour);
    ASSERT_EQ(bytes.size(), 1023u);
    EXPECT_EQ(bytes.substr(0, 24), "59:58 [K] <I> Test[1] zz");
    EXPECT_EQ(bytes.substr(1021), "\r\n");
}

// What OutputDebugStringW receives for a line: each byte its own unit,
// sign-extended, as the device does it (no code-page conversion).
std::wstring SignExtended(const std::string& bytes)
{
    std::wstring units;
    for (unsigned char byte : bytes)
        units += static_cast<wchar_t>(byte < 0x80 ? byte : 0xFF00 | byte);
    return units;
}

TEST_F(WriteLogTest, TheEchoWidensEachByteWithSignExtension)
{
    host::CaptureDebugOutput(true);
    SetLogEcho(1);
    WriteLog("%s %s\r\n", "<I>", Cp949("시작").c_str());
    SetLogging(Logging::Off);
    WriteLog("off\r\n"); // echoed even though it is not stored
    SetLogEcho(0);
    WriteLog("quiet\r\n");

    const std::vector<std::wstring>& echoed = host::DebugOutput();
    ASSERT_EQ(echoed.size(), 2u);
    EXPECT_EQ(echoed[0], SignExtended(Line("59:58", "<I> 시작\r\n")));
    EXPECT_EQ(echoed[0][14], static_cast<wchar_t>(0xFFBD)) << "0xBD of 시 becomes 0xFFBD";
    EXPECT_EQ(echoed[1], L"59:58 [K] off\r\n");
}

} // namespace
} // namespace logtest
