// An update taken back, as the summary and the fleet view read it from the
// lines the terminal writes.
#include <gtest/gtest.h>

#include <iconv.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "fleet.h"
#include "summary.h"
#include "summary_output.h"

namespace hailog {
namespace {

namespace fs = std::filesystem;

const Seconds kSix = ToSeconds(2024, 6, 11, 6, 0, 0);
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

class HailogRollback : public ::testing::Test {
protected:
    void Lines(const std::vector<std::string>& lines)
    {
        files_.push_back({"hailwatch-2024061106.log", kSix});
        for (const std::string& line : lines) {
            texts_.push_back(line.substr(0, 5) + " [K] " + line.substr(6));
            lines_.push_back(ParseLine(texts_.back(), kSix));
        }
    }
    std::vector<Event> Rollbacks()
    {
        std::vector<Event> found;
        for (const Event& event : Summarise(files_, lines_).events)
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
    std::ostringstream text;
    WriteText(Summarise(files_, lines_), text);
    EXPECT_NE(text.str().find("Updates rolled back\n  2024-06-11 06:10:20  Hailwire (modem) after 3 restarts: "
                              "rolled back, 2024-06-11 06:10:22\n"),
              std::string::npos)
        << text.str();
    std::ostringstream json;
    WriteJsonLines(Summarise(files_, lines_), json);
    EXPECT_NE(json.str().find("{\"kind\":\"rollback\",\"time\":\"2024-06-11 06:10:20\",\"application\":\"Hailwire\","
                              "\"restarts\":3,\"number\":969,\"rolled_back\":true,\"end\":\"2024-06-11 06:10:22\"}"),
              std::string::npos)
        << json.str();
}

TEST_F(HailogRollback, ARollbackCutByThePowerIsOneWithItsEndInTheNextRun)
{
    Lines({kRolledBack[4], std::string("10:30 ") + kStart,
           "10:30 <I> ResumeRollBack[970] Hailwire 응용프로그램 때문에 시작한 되돌리기를 이어서 합니다.",
           kRolledBack[6].substr(0, 2) + ":31" + kRolledBack[6].substr(5)});
    const std::vector<Event> rollbacks = Rollbacks();
    ASSERT_EQ(rollbacks.size(), 1u);
    EXPECT_EQ(rollbacks[0].number, 969);
    EXPECT_EQ(*rollbacks[0].end, kSix + 10 * 60 + 31);
}

TEST_F(HailogRollback, ARefusedCopyIsNoRollback)
{
    Lines({kRolledBack[4],
           "10:20 <E> CheckUndoCopy[971] \\SDMMC\\AirUpdate.undo\\00000005.dat 되돌리기 사본이 기록과 맞지 않습니다. "
           "업데이트를 되돌리지 않습니다."});
    const std::vector<Event> rollbacks = Rollbacks();
    ASSERT_EQ(rollbacks.size(), 1u);
    EXPECT_EQ(rollbacks[0].number, 971);
}

// The terminal's own bytes: code page 949.
std::string Cp949(const std::string& utf8)
{
    iconv_t convert = iconv_open("CP949", "UTF-8");
    std::string in = utf8;
    std::string out(in.size() * 2 + 4, '\0');
    char* from = in.data();
    char* to = out.data();
    size_t left = in.size(), room = out.size();
    iconv(convert, &from, &left, &to, &room);
    iconv_close(convert);
    out.resize(out.size() - room);
    return out;
}

// The fleet: a terminal that rolled an update back needs a visit, after those
// whose package is kept start after start and before every other.
TEST(HailogFleetRollback, ARolledBackTerminalNeedsAVisitAndSaysWhy)
{
    const fs::path root = fs::temp_directory_path() / ("hailog-rollback-" + std::to_string(getpid()));
    fs::remove_all(root);
    auto write = [&](const std::string& terminal, const std::vector<std::string>& lines) {
        fs::create_directories(root / terminal);
        std::ofstream file(root / terminal / "hailwatch-2024061106.log", std::ios::binary);
        for (const std::string& line : lines)
            file << Cp949(line.substr(0, 5) + " [K] " + line.substr(6)) << "\r\n";
    };
    write("T0001", {"05:00 <I> CheckApp[409] x", "06:00 <I> CheckApp[409] x", "07:00 <I> CheckApp[409] x"});
    write("T0002", kRolledBack);
    write("T0003", {"05:00 <I> V2.2.56"});
    FleetOptions options;
    options.roots = {root.string()};
    std::ostringstream out;
    std::streambuf* saved = std::cout.rdbuf(out.rdbuf());
    Fleet(options);
    options.json = true;
    std::ostringstream json;
    std::cout.rdbuf(json.rdbuf());
    Fleet(options);
    std::cout.rdbuf(saved);
    fs::remove_all(root);
    const std::string text = out.str();
    EXPECT_NE(text.find("Terminals read: 3, 1 needing a visit"), std::string::npos) << text;
    const size_t rolled = text.find("\nT0002 ");
    ASSERT_NE(rolled, std::string::npos) << text;
    EXPECT_LT(rolled, text.find("\nT0001 ")) << text;
    EXPECT_NE(text.find("needs a visit: rolled back (Hailwire, 2024-06-11 06:10:22)", rolled), std::string::npos)
        << text;
    EXPECT_NE(json.str().find("\"terminal\":\"T0002\""), std::string::npos);
    EXPECT_NE(json.str().find("\"needs_visit\":true,\"build_option_failed\":0,\"hours_with_no_file\":0,"
                              "\"warnings\":0,\"rolled_back\":1,\"last_rolled_back_application\":\"Hailwire\","
                              "\"last_rolled_back_time\":\"2024-06-11 06:10:22\"}"),
              std::string::npos)
        << json.str();
}

} // namespace
} // namespace hailog
