// hailog's one parse of a line, the file names and times it trusts, the
// decoding of damaged bytes, and the listing's filters.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "log_stream.h"
#include <gtest/gtest.h>

#include "Summarised.h"
#include "clock.h"
#include "filter.h"
#include "log_files.h"
#include "log_line.h"

namespace hailog {
namespace {

const Seconds kHour = ToSeconds(2024, 6, 11, 9, 0, 0);

TEST(HailogLine, TakesTagFunctionNumberAndText)
{
    const LogLine line = ParseLine("05:07 [K] <I> CPatchList::RM[764] 결과[1] DELETE 파일이름[\\a.dll]", kHour);
    ASSERT_TRUE(line.Parsed());
    EXPECT_EQ(line.Time(), kHour + 5 * 60 + 7);
    EXPECT_EQ(line.tag, "<I>");
    EXPECT_EQ(line.function, "CPatchList::RM");
    EXPECT_EQ(line.ShortFunction(), "RM");
    EXPECT_EQ(line.number, 764);
    EXPECT_EQ(line.text, "결과[1] DELETE 파일이름[\\a.dll]");
}

TEST(HailogLine, KeepsTheFormsThatDepartFromTheConvention)
{
    struct Case {
        const char* line;
        const char* tag;
        const char* function;
        int number;
        const char* text;
    } cases[] = {
        {"00:00 [K] ###############", "", "", -1, "###############"},
        {"00:00 [K] <I> ###### Hailwatch Start ######", "<I>", "", -1, "###### Hailwatch Start ######"},
        {"00:05 [K] <I> V2.2.56", "<I>", "", -1, "V2.2.56"},
        {"10:00 [K] <I> WM_POWER_MODE_CHANGE ACC OFF 1000 1000", "<I>", "", -1,
         "WM_POWER_MODE_CHANGE ACC OFF 1000 1000"},
        {"00:00 [K] CPatchList::RMDIR[774] Folder[\\x]", "", "CPatchList::RMDIR", 774, "Folder[\\x]"},
        {"00:10 [K] <E> ReqBuildOption[628] 빌드 옵션 응답에 실패하였습니다.Error[1460]", "<E>", "ReqBuildOption", 628,
         "빌드 옵션 응답에 실패하였습니다.Error[1460]"},
        // A bracket that does not close a number, or runs into the text, is text.
        {"00:00 [K] <I> Name[12]x", "<I>", "", -1, "Name[12]x"},
        {"00:00 [K] <I> Name[1a] y", "<I>", "", -1, "Name[1a] y"},
        {"00:00 [K] <I> CheckApp[409]", "<I>", "CheckApp", 409, ""},
    };
    for (const Case& c : cases) {
        const LogLine line = ParseLine(c.line, kHour);
        ASSERT_TRUE(line.Parsed()) << c.line;
        EXPECT_EQ(line.tag, c.tag) << c.line;
        EXPECT_EQ(line.function, c.function) << c.line;
        EXPECT_EQ(line.number, c.number) << c.line;
        EXPECT_EQ(line.text, c.text) << c.line;
    }
}

TEST(HailogLine, KeepsWhatIsNotInTheLogsFormAsItIs)
{
    for (const char* text : {"", "05:07", "60:00 [K] <I> x", "05:60 [K] x", "ab:cd [K] x", "05:07 x",
                             "05:07 [X] <I> CheckApp[409] x", "CheckApp[409] x",
                             "05:07 [K] <I> Check[99999999999999999999] x"}) {
        const LogLine line = ParseLine(text, kHour);
        if (std::string(text).find("9999") != std::string::npos) {
            // A number too long to be one is left in the text.
            EXPECT_TRUE(line.Parsed());
            EXPECT_EQ(line.number, -1);
            continue;
        }
        EXPECT_FALSE(line.Parsed()) << text;
        EXPECT_EQ(line.raw, text);
        EXPECT_EQ(line.Time(), kHour);
    }
}

TEST(HailogLine, ShowsTheFullDateAndTime)
{
    EXPECT_EQ(WithFullTime(ParseLine("05:07 [K] <I> CheckApp[409] x", kHour)),
              "2024-06-11 09:05:07 [K] <I> CheckApp[409] x");
    EXPECT_EQ(WithFullTime(ParseLine("garbage", kHour)), "2024-06-11 09:??:?? garbage");
}

TEST(HailogClock, ReadsOnlyRealMinutes)
{
    EXPECT_EQ(ParseMinute("2024-02-29 23:59"), ToSeconds(2024, 2, 29, 23, 59, 0));
    for (const char* bad : {"2023-02-29 10:00", "2024-04-31 10:00", "2024-06-11 24:00", "2024-06-11 10:60",
                            "2024-6-11 10:00", "2024-06-11T10:00", "2024-06-11 10:00 ", "", "+024-06-11 10:00"})
        EXPECT_FALSE(ParseMinute(bad)) << bad;
    EXPECT_EQ(FormatTime(ToSeconds(1999, 12, 31, 23, 59, 59) + 1), "2000-01-01 00:00:00");
    EXPECT_EQ(FormatDuration(3 * 3600 + 5), "3 h 0 min 5 s");
    EXPECT_EQ(FormatDuration(40), "40 s");
}

TEST(HailogFileName, TakesTheHourFromTheName)
{
    EXPECT_EQ(HourOfName("hailwatch-2024061109.log"), kHour);
    for (const char* bad : {"hailwatch-2024061124.log", "hailwatch-2024023010.log", "hailwatch-202406110.log",
                            "hailwatch-2024061109.txt", "Hailwatch-2024061109.log", "hailwatch-20240611a9.log",
                            "hailwatch-2024061109.log.bak"})
        EXPECT_FALSE(HourOfName(bad)) << bad;
}

TEST(HailogCp949, ShowsBadBytesAndControlsAsTheirHex)
{
    Decoded out;
    // C4 DD is "콜"; 0x80 is no lead byte; 0x1B would steer a terminal; a
    // lead byte cut off at the end is not a character either.
    ASSERT_TRUE(DecodeCp949(std::string("\xC4\xDD a\x80 b\x1B[2J\tc\n\xB0", 15), out));
    EXPECT_EQ(out.utf8, "콜 a\\x80 b\\x1B[2J\tc\n\\xB0");
    EXPECT_EQ(out.badBytes, 2u);
}

TEST(HailogFilter, CombinesNumbersFunctionErrorsAndTime)
{
    const LogLine restart = ParseLine("05:07 [K] <I> CheckApp[409] x", kHour);
    const LogLine removal = ParseLine("30:00 [K] <I> CPatchList::RM[764] x", kHour);
    const LogLine refusal = ParseLine("59:59 [K] <E> ReqBuildOption[628] x", kHour);
    const LogLine damaged = ParseLine("garbage", kHour);

    Filter numbers;
    numbers.numbers = {409, 628};
    EXPECT_TRUE(numbers.Accepts(restart));
    EXPECT_FALSE(numbers.Accepts(removal));
    EXPECT_TRUE(numbers.Accepts(refusal));
    EXPECT_FALSE(numbers.Accepts(damaged));

    Filter function;
    function.function = "RM";
    EXPECT_TRUE(function.Accepts(removal));
    function.function = "CPatchList::RM";
    EXPECT_TRUE(function.Accepts(removal));
    function.function = "RMDIR";
    EXPECT_FALSE(function.Accepts(removal));

    Filter errors;
    errors.errorsOnly = true;
    EXPECT_FALSE(errors.Accepts(restart));
    EXPECT_TRUE(errors.Accepts(refusal));

    Filter window;
    window.window.since = kHour + 30 * 60;
    window.window.until = kHour + 59 * 60 + 59; // up to 09:59:59
    EXPECT_FALSE(window.Accepts(restart));
    EXPECT_TRUE(window.Accepts(removal));
    EXPECT_TRUE(window.Accepts(refusal));
    EXPECT_TRUE(window.Accepts(damaged)); // somewhere in its hour
    window.window.since = kHour + 3600;
    window.window.until.reset();
    EXPECT_FALSE(window.Accepts(damaged));

    Filter both = numbers;
    both.errorsOnly = true;
    EXPECT_FALSE(both.Accepts(restart));
    EXPECT_TRUE(both.Accepts(refusal));
}

} // namespace
} // namespace hailog

namespace hailog {
namespace {

// iconv's own reading of the bytes, as hailog read them before the table:
// a byte iconv refuses is one \xNN and the next byte is read afresh.
std::string ThroughIconv(const std::string& bytes, size_t& bad)
{
    iconv_t codec = iconv_open("UTF-8", "CP949");
    std::string out;
    char buffer[4096];
    char* in = const_cast<char*>(bytes.data());
    size_t left = bytes.size();
    while (left > 0) {
        char* at = buffer;
        size_t room = sizeof(buffer);
        const size_t done = iconv(codec, &in, &left, &at, &room);
        out.append(buffer, static_cast<size_t>(at - buffer));
        if (done == static_cast<size_t>(-1) && errno != E2BIG) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(*in));
            out += hex;
            ++bad;
            ++in;
            --left;
        }
    }
    iconv_close(codec);
    std::string shown;
    for (char c : out)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
            shown += hex;
        } else {
            shown += c;
        }
    return shown;
}

// Text of every character 949 has (each pair iconv takes alone), mixed with
// ASCII and in random order: the table and iconv's own stream agree.
TEST(HailogCp949, TheTableReadsTextAsIconvDoes)
{
    std::vector<std::string> characters;
    iconv_t codec = iconv_open("UTF-8", "CP949");
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail = 0x41; trail < 256; ++trail) {
            char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)}, out[8];
            char *in = pair, *at = out;
            size_t left = 2, room = sizeof(out);
            if (iconv(codec, &in, &left, &at, &room) != static_cast<size_t>(-1))
                characters.emplace_back(pair, 2);
        }
    iconv_close(codec);
    ASSERT_GT(characters.size(), 8000u); // the Hangul syllables alone are 8,822
    std::mt19937 random(949);
    std::shuffle(characters.begin(), characters.end(), random);
    std::string bytes;
    for (const std::string& character : characters)
        bytes += character + (random() % 4 == 0 ? std::string(1, static_cast<char>(0x20 + random() % 95)) : "");
    size_t bad = 0;
    const std::string expected = ThroughIconv(bytes, bad);
    Decoded decoded;
    ASSERT_TRUE(DecodeCp949(bytes, decoded));
    EXPECT_EQ(decoded.badBytes, 0u);
    EXPECT_EQ(bad, 0u);
    EXPECT_TRUE(decoded.utf8 == expected) << "first difference at byte "
                                          << std::mismatch(decoded.utf8.begin(), decoded.utf8.end(),
                                                           expected.begin(), expected.end()).first -
                                                 decoded.utf8.begin();
}

class Kept : public LineSink {
public:
    void FileBegins(const LogFile& file) override { text += "== " + file.path.filename().string() + "\n"; }
    void Take(const LogLine& line) override
    {
        text += Utf8Of(line.raw) + "|" + std::to_string(line.Parsed() ? line.Time() : -1) + "\n";
    }
    std::string text;
};

// Damage a file can hold: bytes that are no 949 (0x80, 0xFF, a lead byte
// whose second byte is none, one before a CR LF or an LF), a CR in a line,
// a control.
const char* const kDamage[] = {"\x80", "\xFF", "\xB0\x30", "\xB0\r\n", "\xB0", "a\rb", "\x1B[2J"};

// The CR of a CR LF, or at the very end (a CR LF cut after its CR), is no
// part of a line; any other is damage, shown.
std::string WithoutLineEndCRs(const std::string& bytes)
{
    std::string plain;
    for (size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] != '\r' || (i + 1 < bytes.size() && bytes[i + 1] != '\n'))
            plain += bytes[i];
    return plain;
}

// Files of several blocks, with lines of every length across the block
// edges and damage here and there, read on one thread and on four: the same
// lines in the same order, with the same times, as one whole decoding of
// each file gives, and the same warnings.
TEST(HailogBlocks, ReadingInBlocksOnSeveralThreadsGivesTheLinesOfOneRead)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "hailog-blocks-test";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::mt19937 random(16);
    std::vector<LogFile> files;
    std::string expected;
    std::vector<std::string> warnings;
    for (int hour = 0; hour < 4; ++hour) {
        std::string bytes;
        while (bytes.size() < static_cast<size_t>(hour) * 1100000 + 10) {
            const size_t length = random() % 7 == 0 ? random() % 3000 : random() % 90;
            bytes += "05:07 [K] <I> CheckApp[409] \xC4\xDD" + std::string(length, 'x') +
                     (random() % 50 == 0 ? kDamage[random() % 7] : "") + (random() % 5 ? "\r\n" : "\n");
        }
        if (hour == 3)
            bytes += "59:59 [K] cut";
        LogFile file{folder / ("hailwatch-20240611" + std::to_string(10 + hour) + ".log"),
                     kHour + 3600 * (hour + 1), {}};
        std::ofstream(file.path, std::ios::binary) << bytes;
        files.push_back(file);
        expected += "== " + file.path.filename().string() + "\n";
        Decoded decoded;
        ASSERT_TRUE(DecodeCp949(WithoutLineEndCRs(bytes), decoded));
        std::istringstream lines(decoded.utf8);
        size_t unparsed = 0;
        for (std::string line; std::getline(lines, line);) {
            const LogLine parsed = ParseLine(line, file.hour);
            expected += line + "|" + std::to_string(parsed.Parsed() ? parsed.Time() : -1) + "\n";
            unparsed += parsed.Parsed() ? 0 : 1;
        }
        if (hour == 3)
            warnings.push_back("hailog: " + file.path.filename().string() +
                               ": the last line has no line end (cut while it was written); shown as it is");
        if (decoded.badBytes > 0)
            warnings.push_back("hailog: " + file.path.filename().string() + ": " + std::to_string(decoded.badBytes) +
                               " byte(s) not valid in code page 949, shown as \\xNN");
        if (unparsed > 0)
            warnings.push_back("hailog: " + file.path.filename().string() + ": " + std::to_string(unparsed) +
                               " line(s) not in the log's form, shown as they are");
    }
    ASSERT_GE(warnings.size(), 6u) << "damage in most files";
    for (unsigned jobs : {1u, 4u}) {
        Problems problems("");
        Kept kept;
        ReadInOrder(files, ReadSettings{jobs, nullptr}, problems, kept);
        EXPECT_TRUE(kept.text == expected) << jobs << " threads: " << kept.text.size() << " bytes, expected "
                                           << expected.size();
        EXPECT_EQ(problems.Held(), warnings) << jobs << " threads";
    }
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace hailog
