// An update taken back, as the summary, the page and the fleet view read it
// from the lines the terminal writes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "Summarised.h"
#include "fleet.h"
#include "summary_output.h"

namespace hailog {
namespace {

namespace fs = std::filesystem;

const Seconds kSix = ToSeconds(2024, 6, 11, 6, 0, 0);
const char kRule[] = "###############################################################";
const char kStart[] = "<I> ###################### Hailwatch Start ######################";

// A rollback as the supervisor writes it (UTF-8 here), minute 10.
const std::vector<std::string> kRolledBack = {
    "10:00 <I> BeginProbation[963] 업데이트를 마쳤습니다. 10분 안에 한 응용프로그램이 3번 재시작되면 업데이트를 되돌립니다.",
    "10:05 <I> CheckApp[409] 모뎀 응용프로그램이 없습니다. 재시작합니다.",
    "10:10 <I> CheckApp[409] 모뎀 응용프로그램이 없습니다. 재시작합니다.",
    "10:15 <I> CheckApp[409] 모뎀 응용프로그램이 없습니다. 재시작합니다.",
    "10:20 <E> RollBackUpdate[965] Hailwire 응용프로그램이 업데이트 후 3번 재시작되어 업데이트를 되돌립니다.",
    "10:22 <I> RestoreFile[966] 결과[1] 복원파일[\\ResidentFlash\\Hailnet\\Hailwire.exe]",
    "10:22 <I> RollBackUpdate[969] Hailwire 응용프로그램 때문에 업데이트를 되돌렸습니다. 항목[7]",
};
const char kResumed[] = "<I> ResumeRollBack[970] Hailwire 응용프로그램 때문에 시작한 되돌리기를 이어서 합니다.";
const char kRefused[] = "<E> CheckUndoCopy[971] \\SDMMC\\AirUpdate.undo\\00000005.dat 되돌리기 사본이 기록과 "
                        "맞지 않습니다. 업데이트를 되돌리지 않습니다.";
const char kUnfinished[] = "<E> RollBackUpdate[972] 되돌리지 못한 항목이 있어 다음 시작 때 다시 되돌립니다. 실패[1]";

std::string At(const char* time, const std::string& text) { return std::string(time) + " " + text; }

class HailogRollback : public ::testing::Test {
protected:
    void Lines(const std::vector<std::string>& lines)
    {
        files_.push_back({"hailwatch-2024061106.log", kSix, {}});
        for (const std::string& line : lines) {
            texts_.push_back(ToCp949(line.substr(0, 5) + " [K] " + line.substr(6)));
            lines_.push_back(ParseLine(texts_.back(), kSix));
        }
    }
    std::vector<Event> Rollbacks()
    {
        std::vector<Event> found;
        for (const Event& event : Summarise(files_, lines_))
            if (event.kind == EventKind::Rollback)
                found.push_back(event);
        return found;
    }

    std::vector<LogFile> files_;
    std::deque<std::string> texts_;
    std::vector<LogLine> lines_;
};

TEST_F(HailogRollback, TheSummaryNamesTheApplicationItsRestartsAndTheTime)
{
    Lines(kRolledBack);
    const std::vector<Event> rollbacks = Rollbacks();
    ASSERT_EQ(rollbacks.size(), 1u);
    EXPECT_EQ(rollbacks[0].application, "Hailwire");
    EXPECT_EQ(rollbacks[0].count, 3);
    EXPECT_EQ(rollbacks[0].number, 969);
    EXPECT_EQ(rollbacks[0].time, kSix + 10 * 60 + 20);
    EXPECT_EQ(rollbacks[0].lines.size(), 3u); // 965, 966, 969: the page's hover text
    const std::string text = TextOf(files_, lines_);
    EXPECT_NE(text.find("Start-up updates\n  none\n\nUpdates rolled back\n  2024-06-11 06:10:20  Hailwire (modem) "
                        "after 3 restarts: rolled back, 2024-06-11 06:10:22\n\nBuild option refused"),
              std::string::npos)
        << text;
    EXPECT_NE(JsonLinesOf(Summarise(files_, lines_, false))
                  .find("{\"kind\":\"rollback\",\"time\":\"2024-06-11 06:10:20\",\"application\":\"Hailwire\","
                        "\"restarts\":3,\"number\":969,\"rolled_back\":true,\"end\":\"2024-06-11 06:10:22\"}\n"),
              std::string::npos);
}

TEST_F(HailogRollback, NoSectionWhereNoneWasRolledBack)
{
    Lines({kRolledBack[0], kRolledBack[1]});
    EXPECT_TRUE(Rollbacks().empty());
    EXPECT_EQ(TextOf(files_, lines_).find("rolled back"), std::string::npos);
}

TEST_F(HailogRollback, ARollbackCutByThePowerIsOneWithItsEndInTheNextRun)
{
    Lines({kRolledBack[4], At("10:30", kRule), At("10:30", kStart), At("10:30", kRule), At("10:30", kResumed),
           "10:31" + kRolledBack[6].substr(5)});
    const std::vector<Event> rollbacks = Rollbacks();
    ASSERT_EQ(rollbacks.size(), 1u);
    EXPECT_EQ(rollbacks[0].number, 969);
    EXPECT_EQ(rollbacks[0].count, 3);
    EXPECT_EQ(*rollbacks[0].end, kSix + 10 * 60 + 31);
}

TEST_F(HailogRollback, TellsHowARollbackStoppedShortOrWasRefused)
{
    // Refused at once; begun and left unfinished, the next start taking it
    // up; and one whose lines end before its end.
    Lines({kRolledBack[4], At("10:20", kRefused), kRolledBack[4].substr(0, 2) + ":40" + kRolledBack[4].substr(5),
           At("10:41", kUnfinished), At("10:50", kResumed)});
    const std::vector<Event> rollbacks = Rollbacks();
    ASSERT_EQ(rollbacks.size(), 3u);
    EXPECT_EQ(rollbacks[0].number, 971);
    EXPECT_EQ(rollbacks[1].number, 972);
    EXPECT_EQ(rollbacks[2].number, 970);
    EXPECT_EQ(rollbacks[2].application, "Hailwire");
    EXPECT_FALSE(rollbacks[2].end);
    const std::string text = TextOf(files_, lines_);
    EXPECT_NE(text.find("after 3 restarts: refused: the undo copy did not match its record (971)\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("after 3 restarts: not finished, the next start takes it up (972), 2024-06-11 06:10:41\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("06:10:50  Hailwire (modem): begun, no end in the logs read\n"), std::string::npos) << text;
}

// A fleet of folders, each one terminal's hour of 06:00 as the supervisor
// wrote it.
class HailogFleetRollback : public ::testing::Test {
protected:
    void SetUp() override { fs::remove_all(root_); }
    void TearDown() override { fs::remove_all(root_); }

    void Write(const std::string& terminal, const std::vector<std::string>& lines)
    {
        fs::create_directories(root_ / terminal);
        std::ofstream file(root_ / terminal / "hailwatch-2024061106.log", std::ios::binary);
        for (const std::string& line : lines)
            file << ToCp949(line.substr(0, 5) + " [K] " + line.substr(6)) << "\r\n";
    }
    std::string Fleet(bool json)
    {
        FleetOptions options;
        options.roots = {root_.string()};
        options.json = json;
        std::ostringstream out;
        std::streambuf* saved = std::cout.rdbuf(out.rdbuf());
        hailog::Fleet(options);
        std::cout.rdbuf(saved);
        return out.str();
    }

    const fs::path root_ = fs::temp_directory_path() / ("hailog-rollback-" + std::to_string(getpid()));
};

std::vector<std::string> Update(const char* time, bool kept)
{
    std::vector<std::string> lines = {At(time, kRule), At(time, kStart), At(time, kRule),
                                      At(time, "<I> CPatchList::IsFolderFiles[425] 경로[\\SDMMC\\AirUpdate] 결과[File]"),
                                      At(time, std::string("<I> CPatchList::CP[858] 결과[") + (kept ? "0" : "1") +
                                                   "] Src파일[\\SDMMC\\AirUpdate\\a.exe] Dst파일[\\x\\a.exe] "
                                                   "DELETE 실행여부[1]")};
    if (!kept)
        lines.push_back(At(time, "<I> CPatchList::RM[764] 결과[1] DELETE 파일이름[\\SDMMC\\AirUpdate\\patch_list.txt]"));
    return lines;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A terminal that rolled an update back needs a visit, after those whose
// package is kept start after start and before every other, until a later
// update applies cleanly: the update it took back does not count, though
// its run ends after the rollback.
TEST_F(HailogFleetRollback, NeedsAVisitUntilALaterUpdateAppliesCleanly)
{
    Write("T0001", {"05:00 <I> CheckApp[409] x", "06:00 <I> CheckApp[409] x", "07:00 <I> CheckApp[409] x"});
    Write("T0002", Update("09:00", false) + kRolledBack);
    Write("T0003", Update("08:00", true) + Update("09:00", true) + Update("09:30", true) + kRolledBack);
    Write("T0004", Update("09:00", false) + kRolledBack + Update("30:00", false));
    Write("T0005", {"05:00 <I> V2.2.56"});
    const std::string text = Fleet(false);
    EXPECT_NE(text.find("Terminals read: 5, 2 needing a visit"), std::string::npos) << text;
    const size_t kept = text.find("\nT0003 "), rolled = text.find("\nT0002 "), recovered = text.find("\nT0004 ");
    ASSERT_NE(rolled, std::string::npos) << text;
    EXPECT_LT(kept, rolled) << text;
    EXPECT_LT(rolled, text.find("\nT0001 ")) << text;
    EXPECT_NE(text.find("needs a visit: update rolled back for Hailwire (last 2024-06-11 06:10:22)\n", rolled),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("needs a visit: package kept at the last 3 starts (last 2024-06-11 06:09:30); update rolled "
                        "back for Hailwire (last 2024-06-11 06:10:22)\n",
                        kept),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("  recovered: update rolled back for Hailwire, then a package applied (2024-06-11 06:30:00)\n",
                        recovered),
              std::string::npos)
        << text;
    const std::string json = Fleet(true);
    EXPECT_NE(json.find("\"clock_lost\":0,\"rolled_back\":1,\"reasons\":[{\"reason\":\"rolled_back\",\"last_seen\":"
                        "\"2024-06-11 06:10:22\",\"count\":1,\"application\":\"Hailwire\",\"text\":\"update rolled "
                        "back for Hailwire (last 2024-06-11 06:10:22)\"}]"),
              std::string::npos)
        << json;
}

} // namespace
} // namespace hailog
