// The summary's reading of a log: where runs end, which 425 is a restart,
// when an update is kept, how ignition periods end, the hours with no file.
#include <gtest/gtest.h>

#include <deque>
#include <sstream>

#include <algorithm>
#include <random>

#include "Summarised.h"
#include "event_store.h"
#include "summary_output.h"

namespace hailog {
namespace {

const Seconds kNine = ToSeconds(2024, 6, 11, 9, 0, 0);

const char kRule[] = "###############################################################";
const char kStart[] = "<I> ###################### Hailwatch Start ######################";
const char kEnd[] = "<I> ####################### Hailwatch End #######################";

class HailogSummary : public ::testing::Test {
protected:
    // Lines "MM:SS text" of the hour `hour` (9 for 09:00).
    void Hour(int hour, const std::vector<std::string>& lines)
    {
        const Seconds start = kNine + (hour - 9) * 3600;
        files_.push_back({"hailwatch-x.log", start, {}});
        for (const std::string& line : lines)
        {
            texts_.push_back(ToCp949(line.substr(0, 5) + " [K] " + line.substr(6)));
            lines_.push_back(ParseLine(texts_.back(), start));
        }
    }
    void Started(const char* at) { Hour(current_, {std::string(at) + " " + kRule, std::string(at) + " " + kStart}); }

    std::vector<Event> Of(EventKind kind)
    {
        std::vector<Event> found;
        for (const Event& event : Summarise(files_, lines_))
            if (event.kind == kind)
                found.push_back(event);
        return found;
    }

    int current_ = 9;
    std::vector<LogFile> files_;
    std::deque<std::string> texts_; // the lines refer to them
    std::vector<LogLine> lines_;
};

TEST_F(HailogSummary, ARunCutByThePowerEndsAtItsLastLine)
{
    Hour(9, {std::string("00:00 ") + kRule, std::string("00:00 ") + kStart, std::string("00:00 ") + kRule,
             "00:05 <I> V2.2.56", "10:00 <I> CheckApp[434] DTG 응용프로그램이 없습니다. 재시작합니다.",
             // The next boot: its banner's first rule is not the old run's last line.
             std::string("40:00 ") + kRule, std::string("40:00 ") + kStart, std::string("40:00 ") + kRule,
             std::string("50:00 ") + kRule, std::string("50:00 ") + kEnd, std::string("50:00 ") + kRule});
    const std::vector<Event> runs = Of(EventKind::Run);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].ending, Ending::NoEndBanner);
    EXPECT_EQ(*runs[0].end, kNine + 10 * 60);
    EXPECT_EQ(runs[0].version, "2.2.56");
    EXPECT_EQ(runs[1].ending, Ending::EndBanner);
    EXPECT_EQ(*runs[1].end, kNine + 50 * 60);
}

TEST_F(HailogSummary, AnEndBannerWithoutItsStartIsARunSinceTheFirstLineSeen)
{
    // Logging switched on while the supervisor ran.
    Hour(9, {"20:00 <I> CheckApp[409] x", std::string("30:00 ") + kRule, std::string("30:00 ") + kEnd,
             std::string("30:00 ") + kRule, std::string("40:00 ") + kRule, std::string("40:00 ") + kEnd});
    const std::vector<Event> runs = Of(EventKind::Run);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_FALSE(runs[0].startLogged);
    EXPECT_EQ(runs[0].time, kNine + 20 * 60);
    EXPECT_EQ(*runs[0].end, kNine + 30 * 60);
    EXPECT_EQ(runs[1].time, kNine + 40 * 60);
    EXPECT_EQ(runs[1].ending, Ending::EndBanner);
}

TEST_F(HailogSummary, TellsTheCallRestartFromTheFolderTestByTheFunction)
{
    Hour(9, {"00:00 <I> CPatchList::IsFolderFiles[425] 경로[\\SDMMC\\AirUpdate] 결과[No File]",
             "00:05 <I> CheckApp[425] 콜 응용프로그램이 없습니다. 재시작합니다.",
             "00:06 <I> CheckApp[999] something else"});
    const std::vector<Event> restarts = Of(EventKind::Restart);
    ASSERT_EQ(restarts.size(), 1u);
    EXPECT_EQ(restarts[0].application, "Hailnet");
    EXPECT_EQ(restarts[0].time, kNine + 5);
    ASSERT_EQ(Of(EventKind::Update).size(), 1u);
    EXPECT_EQ(Of(EventKind::Update)[0].update.package, "none");
}

TEST_F(HailogSummary, KeepsThePackageWhenACopyOfTheListOrOfTheMoveFailed)
{
    Started("00:00");
    Hour(9, {"00:00 <I> CPatchList::IsFolderFiles[425] 경로[\\SDMMC\\AirUpdate] 결과[File]",
             "00:03 <I> CPatchList::CP[858] 결과[0] Src파일[\\SDMMC\\AirUpdate\\b.dll] Dst파일[\\x\\b.dll] DELETE 실행여부[1]",
             "00:03 <I> CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\Update] 경로의 파일수[0] RemoveDirectory 결과[0]"});
    Started("10:00");
    Hour(9, {"10:00 <I> CPatchList::IsFolderFiles[425] 경로[\\SDMMC\\AirUpdate] 결과[File]",
             "10:00 <I> CPatchList::SearchPatchListFiles[585] \\SDMMC\\AirUpdate\\patch_list.txt 패치파일이 없습니다.",
             "10:00 <I> CPatchList::RM[739] \\SDMMC\\AirUpdate\\patch_list.txt 지울 대상 파일이 없습니다.",
             "10:03 <I> CPatchList::KILL[711] 종료 윈도우이름[Hailnet]",
             "10:06 <I> CPatchList::CP[858] 결과[0] Src파일[\\SDMMC\\AirUpdate\\a.exe] Dst파일[\\x\\a.exe] DELETE 실행여부[1]",
             "10:06 <I> CPatchList::CP[858] 결과[1] Src파일[\\SDMMC\\AirUpdate\\b.exe] Dst파일[\\x\\b.exe] DELETE 실행여부[1]"});
    Started("20:00");
    Hour(9, {"20:00 <I> CPatchList::IsFolderFiles[425] 경로[\\SDMMC\\AirUpdate] 결과[File]",
             "20:00 <I> CPatchList::RM[764] 결과[1] DELETE 파일이름[\\SDMMC\\AirUpdate\\PATCH_LIST.TXT]",
             "20:00 <I> CPatchList::IsFolderFiles[425] 경로[\\SDMMC\\AirUpdate] 결과[No File]"});
    Started("30:00");
    Hour(9, {"30:00 <I> CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\Update] 경로의 파일수[0] RemoveDirectory 결과[0]"});

    const std::vector<Event> updates = Of(EventKind::Update);
    ASSERT_EQ(updates.size(), 4u);
    EXPECT_TRUE(updates[0].update.patchList);
    EXPECT_EQ(updates[0].update.failed.size(), 1u);
    EXPECT_TRUE(updates[0].update.kept); // the list was not deleted

    EXPECT_FALSE(updates[1].update.patchList);
    EXPECT_EQ(updates[1].update.moved, 1);
    EXPECT_EQ(updates[1].update.closed, std::vector<std::string>{"Hailnet"});
    EXPECT_TRUE(updates[1].update.kept); // a file of the package was not moved

    EXPECT_EQ(updates[2].update.package, "found");
    EXPECT_FALSE(updates[2].update.kept);
    EXPECT_TRUE(updates[2].update.failed.empty());
    EXPECT_EQ(updates[3].update.package, "left alone");
}

// Each operation of the list as it is logged with either result: only a
// folder not made (806), a program not run (724) and a file not removed
// (764) with the result 0 are lines that failed; a folder that existed
// (788) or a file that was not there (739) is no failure.
TEST_F(HailogSummary, CountsTheListsOperationsThatFailedByTheirResult)
{
    const std::vector<std::string> failed = {
        "<I> CPatchList::MKDIR[806] 결과[0] 생성폴더이름[\\ResidentFlash\\Hailnet\\Maps]",
        "<I> CPatchList::RUN[724] 결과[0] EXE 파일이름[\\ResidentFlash\\Hailnet\\setup.exe]",
        "<I> CPatchList::RM[764] 결과[0] DELETE 파일이름[\\ResidentFlash\\Hailnet\\old.dll]"};
    const std::vector<std::string> done = {
        "<I> CPatchList::MKDIR[806] 결과[1] 생성폴더이름[\\ResidentFlash\\Hailnet\\Voice]",
        "<I> CPatchList::MKDIR[788] 결과[1] \\ResidentFlash\\Hailnet 폴더가 이미 있습니다.",
        "<I> CPatchList::RUN[724] 결과[1] EXE 파일이름[\\ResidentFlash\\Hailnet\\fix.exe]",
        "<I> CPatchList::RM[764] 결과[1] DELETE 파일이름[\\ResidentFlash\\Hailnet\\a.dll]",
        "<I> CPatchList::RM[739] \\ResidentFlash\\Hailnet\\b.dll 지울 대상 파일이 없습니다."};
    Started("00:00");
    std::vector<std::string> lines = {"00:00 <I> CPatchList::IsFolderFiles[425] 경로[\\SDMMC\\AirUpdate] 결과[File]"};
    for (size_t i = 0; i < done.size(); ++i) {
        lines.push_back("00:01 " + done[i]);
        if (i < failed.size())
            lines.push_back("00:01 " + failed[i]);
    }
    lines.push_back("00:02 <I> CPatchList::RM[764] 결과[1] DELETE 파일이름[\\SDMMC\\AirUpdate\\patch_list.txt]");
    Hour(9, lines);

    const std::vector<Event> updates = Of(EventKind::Update);
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0].update.failed, failed);
    EXPECT_FALSE(updates[0].update.kept);
}

TEST_F(HailogSummary, EndsIgnitionOffAtAccOnTheNextStartOrTheLogsEnd)
{
    Started("00:00");
    Hour(9, {"01:00 <I> WM_POWER_MODE_CHANGE ACC OFF 1000 1000", "01:30 <I> WM_POWER_MODE_CHANGE ACC OFF 1000 1000",
             "02:00 <I> WM_POWER_MODE_CHANGE ACC ON 1000 0", "03:00 <I> WM_POWER_MODE_CHANGE ACC ON 1000 0",
             "04:00 <I> WM_POWER_MODE_CHANGE ACC OFF 1000 1000"});
    Started("10:00");
    Hour(9, {"11:00 <I> WM_POWER_MODE_CHANGE ACC OFF 1000 1000", "12:00 <I> CheckApp[409] x"});
    const std::vector<Event> periods = Of(EventKind::IgnitionOff);
    ASSERT_EQ(periods.size(), 3u);
    EXPECT_EQ(periods[0].time, kNine + 60);
    EXPECT_EQ(*periods[0].end, kNine + 120);
    EXPECT_EQ(periods[0].ending, Ending::AccOn);
    EXPECT_EQ(*periods[1].end, kNine + 600);
    EXPECT_EQ(periods[1].ending, Ending::NextStart);
    EXPECT_EQ(*periods[2].end, kNine + 720);
    EXPECT_EQ(periods[2].ending, Ending::LogEnds);
}

TEST_F(HailogSummary, CountsEventsBeforeAnyStartBannerAndListsHoursWithNoFile)
{
    Hour(6, {"59:00 <I> RunNaviApp[481] 키전원Off로 인하여 Roadlens를 종료합니다."});
    Hour(9, {"00:10 <E> ReqBuildOption[628] 빌드 옵션 응답에 실패하였습니다.Error[1460]", "not a line"});
    EXPECT_EQ(Of(EventKind::NaviClose).size(), 1u);
    ASSERT_EQ(Of(EventKind::BuildOptionFailed).size(), 1u);
    EXPECT_EQ(Of(EventKind::BuildOptionFailed)[0].error, 1460);
    const std::vector<Event> gaps = Of(EventKind::NoFile);
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_EQ(gaps[0].time, kNine - 2 * 3600);
    EXPECT_EQ(*gaps[0].end, kNine - 1);
    EXPECT_EQ(gaps[0].count, 2);
    const std::vector<Event> unparsed = Of(EventKind::Unparsed);
    ASSERT_EQ(unparsed.size(), 1u);
    EXPECT_EQ(unparsed[0].file, "hailwatch-2024061109.log");
    EXPECT_TRUE(Of(EventKind::Run).empty());
}

TEST_F(HailogSummary, WritesOneJsonObjectALineThatNoScriptTagCanBreak)
{
    Started("00:00");
    Hour(9, {"00:00 <I> CPatchList::IsFolderFiles[425] 경로[\\SDMMC\\AirUpdate] 결과[File]",
             "00:03 <I> CPatchList::CP[858] 결과[0] Src파일[</script>] Dst파일[x] DELETE 실행여부[1]"});
    std::istringstream in(JsonLinesOf(Summarise(files_, lines_)));
    std::string line;
    std::vector<nlohmann::ordered_json> events;
    while (std::getline(in, line))
        events.push_back(nlohmann::ordered_json::parse(line));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0]["kind"], "run");
    EXPECT_EQ(events[0]["ended"], "log ends");
    EXPECT_EQ(events[1]["kind"], "update");
    EXPECT_EQ(events[1]["kept"], true);
    const std::string page = DumpJson(EventToJson(Summarise(files_, lines_)[1], true));
    EXPECT_EQ(page.find("</script>"), std::string::npos);
    EXPECT_EQ(nlohmann::ordered_json::parse(page)["failed"][0].get<std::string>().find("</script>") != std::string::npos,
              true);
}

} // namespace
} // namespace hailog

namespace hailog {
namespace {

std::string Describe(const Event& event)
{
    return FormatTime(event.time) + " " + std::to_string(event.number) + " " + event.application +
           (event.end ? FormatTime(*event.end) : "") + event.update.package +
           (event.update.failed.empty() ? "" : event.update.failed[0]) + (event.lines.empty() ? "" : event.lines[0]);
}

// Events past the memory budget go through temporary files: whatever the
// budget, they come back in time order, ties in the order they were begun,
// every field as it went in.
TEST(HailogEventStore, GivesBackTheOrderOfOneSortWhateverItHolds)
{
    std::mt19937 random(128);
    std::vector<std::pair<std::uint64_t, Event>> events;
    for (std::uint64_t order = 0; order < 3000; ++order) {
        Event event;
        event.kind = random() % 3 ? EventKind::Restart : EventKind::Update;
        event.time = kNine + static_cast<Seconds>(random() % 500);
        event.application = event.kind == EventKind::Restart ? "Hailnet" : "";
        event.number = static_cast<int>(order);
        if (event.kind == EventKind::Update) {
            event.update.package = "found";
            event.update.failed = {"CP " + std::to_string(order)};
            event.lines = {"line " + std::to_string(order)};
            event.end = event.time + 5;
        }
        events.emplace_back(order, event);
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const auto& a, const auto& b) { return a.second.time < b.second.time; });
    for (size_t budget : {size_t(1) << 30, size_t(4096)}) {
        EventStore store(budget);
        // Handed over in the order they were begun, as the reader does.
        std::vector<std::pair<std::uint64_t, Event>> begun = events;
        std::sort(begun.begin(), begun.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto& [order, event] : begun)
            store.Add(Event(event), order);
        std::vector<std::string> seen, wanted;
        store.Visit([&](const Event& event) { seen.push_back(Describe(event)); });
        for (const auto& item : events)
            wanted.push_back(Describe(item.second));
        EXPECT_EQ(seen, wanted) << "budget " << budget;
    }
}

} // namespace
} // namespace hailog
