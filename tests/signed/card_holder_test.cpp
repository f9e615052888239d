// What someone who holds a keyed terminal's SD card between two starts can
// do, without the private key, played on the terminal's own start-up: each
// attempt must be refused with the terminal's line before anything changes
// (nothing installed, nothing closed), and `sign` must refuse to sign what
// the terminal would refuse. Beside each, the same state untouched must
// still apply, so a refusal here is the attack's and not the state's.
#include "tests/signed/signed_fixture.h"

#include <functional>
#include <tuple>

#include "patch/ListProgress.h"

namespace {

using namespace signedtest;
using hailpatch::DescribeChanges;
using hailpatch::RunSignatureCheck;

// The usual refill of a folder: remove it, make it again, copy the new files in.
const char kList[] =
    "RMDIR(\\ResidentFlash\\Hailnet\\Map)\r\n"
    "MKDIR(\\ResidentFlash\\Hailnet\\Map)\r\n"
    "CP(Map/road.dat)(\\ResidentFlash\\Hailnet)\r\n"
    "CP(Map/poi.dat)(\\ResidentFlash\\Hailnet)\r\n";
const char kUnnumbered[] = "HAILWATCH MANIFEST 1\n";

std::string Refusal(int number, const std::string& path, const std::string& why)
{
    return "<E> VerifyPackage[" + std::to_string(number) + "] " + path + " " + why +
           " 패키지를 적용하지 않습니다.";
}
const char kBadName[] = "기기에서 쓸 수 없는 파일 이름입니다.";
const char kForeignCopy[] = "패키지 밖의 파일을 복사합니다.";
const char kNotNewer[] = "이미 적용한 패키지보다 순번이 높지 않습니다.";
const char kMissing[] = "서명 목록의 파일이 없습니다.";

class CardHolderTest : public SignedTerminal {
public:
    void SetUp() override
    {
        MakeDevice();
        Write(Hailnet() / "Hailnet.exe", "call v1");
        Write(Hailnet() / "fare.tbl", "fares of 2023");
        Write(Hailnet() / "Map" / "road.dat", "roads of 2023");
        Write(Hailnet() / "Map" / "poi.dat", "poi of 2023");
        Write(Package() / "patch_list.txt", kList);
        Write(Package() / "Map" / "road.dat", "roads of 2024");
        Write(Package() / "Map" / "poi.dat", "poi of 2024");
        Write(Package() / "fare.tbl", "fares of 2024");
        Write(Package() / "Hailnet.exe", "call v2");
        HoldKey();
    }

    // The start refuses with `line` between the folder test and the
    // staging clean-up, posts nothing and changes nothing; with `line`
    // empty, it finds no package at all (no file at the card's top level).
    void ExpectRefused(const std::string& line)
    {
        Tree before = Snapshot();
        StartupOutcome outcome = Start();
        ASSERT_EQ(line.empty() ? 4u : 5u, outcome.log.size()) << outcome.log.back();
        EXPECT_EQ(line.empty() ? "<I> CPatchList::IsFolderFiles[425] 경로[\\SDMMC\\AirUpdate] 결과[No File]"
                               : line,
                  Unstamped(outcome.log[line.empty() ? 0 : 1]));
        EXPECT_TRUE(outcome.messages.empty()) << outcome.messages.front();
        std::vector<std::string> changes = DescribeChanges(before, Snapshot());
        EXPECT_TRUE(changes.empty()) << changes.front();
    }
    // The start applies the package: every file of 2024 is installed.
    void ExpectApplied()
    {
        StartupOutcome outcome = Start();
        for (const std::string& line : outcome.log) EXPECT_EQ(std::string::npos, line.find("<E>")) << line;
        EXPECT_EQ("roads of 2024", Read(Hailnet() / "Map" / "road.dat"));
        EXPECT_EQ("poi of 2024", Read(Hailnet() / "Map" / "poi.dat"));
        EXPECT_EQ("fares of 2024", Read(Hailnet() / "fare.tbl"));
        EXPECT_EQ("call v2", Read(Hailnet() / "Hailnet.exe"));
    }
    void ExpectSignRefused(const std::string& named)
    {
        std::string error;
        EXPECT_FALSE(hailpatch::SignPackage(Package(), Key("fleet.key"), 1, &error));
        EXPECT_NE(std::string::npos, error.find(named)) << error;
    }
    // The progress record a start cut right after line `line` leaves.
    void RecordLinesRun(DWORD line)
    {
        ListProgress progress;
        ASSERT_EQ(0, LoadListProgress("\\SDMMC\\AirUpdate\\patch_list.txt", &progress));
        ASSERT_EQ(1, HoldListProgress(&progress));
        for (DWORD run = 1; run <= line; ++run) NoteLineRun(&progress, run, 0, 1);
        EXPECT_EQ(1, SaveListProgress(&progress));
        ReleaseListProgress(&progress);
    }
};

struct Attack {
    const char* what;
    std::function<void(CardHolderTest*)> change;
    std::string refusal;   // the terminal's line
    std::string signNames; // what sign's refusal names
};

TEST_F(CardHolderTest, NamesTheDeviceCannotTellApartAreRefusedBySignAndTerminal)
{
    const std::string top = "\\SDMMC\\AirUpdate\\";
    const Attack attacks[] = {
        // A backslash inside a name (a PC's file system holds one) stands for
        // what code page 949 makes of U+20A9 on a terminal: the manifest's path.
        {"a name that reads as the manifest's",
         [](CardHolderTest* t) { Write(t->Package() / "Signature\\manifest.txt", "forged"); },
         Refusal(951, top + "Signature\\manifest.txt", kBadName), "Signature\\manifest.txt"},
        {"a character 949 lacks",
         [](CardHolderTest* t) { Write(t->Package() / "Signature\u20A9manifest.txt", "forged"); },
         Refusal(951, top + "Signature?manifest.txt", kBadName), "Signature\u20A9manifest.txt"},
        {"a twin in letter case, same bytes",
         [](CardHolderTest* t) { Write(t->Package() / "FARE.TBL", "fares of 2024"); },
         Refusal(951, top + "fare.tbl", kBadName), "FARE.TBL and fare.tbl"},
        {"an empty twin of a folder",
         [](CardHolderTest* t) { fs::create_directories(t->Package() / "MAP"); },
         Refusal(951, top + "Map", kBadName), "MAP and Map"},
        {"the files split between folder twins",
         [](CardHolderTest* t) {
             fs::create_directories(t->Package() / "MAP");
             fs::rename(t->Package() / "Map" / "poi.dat", t->Package() / "MAP" / "poi.dat");
         },
         Refusal(951, top + "Map", kBadName), "MAP and Map"},
        {"a trailing dot",
         [](CardHolderTest* t) { Write(t->Package() / "fare.tbl.", "fares of 2024"); },
         Refusal(951, top + "fare.tbl.", kBadName), "fare.tbl."},
        {"a trailing space in a folder",
         [](CardHolderTest* t) { Write(t->Package() / "Map " / "road.dat", "roads of 2024"); },
         Refusal(951, top + "Map ", kBadName), "Map "},
        {"a twin of the signature folder",
         [](CardHolderTest* t) {
             fs::copy(t->Package() / "Signature", t->Package() / "signature");
         },
         Refusal(951, top + "signature", kBadName), "Signature and signature"},
    };
    for (const Attack& attack : attacks) {
        SCOPED_TRACE(attack.what);
        SetUp();
        Sign();
        attack.change(this);
        ExpectRefused(attack.refusal);
        ExpectSignRefused(attack.signNames);
    }
    SetUp();
    Sign();
    ExpectApplied();
}

TEST_F(CardHolderTest, ACopyFromOutsideThePackageIsRefusedBeforeAnyChange)
{
    const Attack attacks[] = {
        {"a parent folder", nullptr, Refusal(952, "\\SDMMC\\AirUpdate\\..\\Extra\\x.dll", kForeignCopy),
         "CP(..\\Extra\\x.dll)(\\ResidentFlash\\Hailnet)"},
        {"out through a subfolder", nullptr,
         Refusal(952, "\\SDMMC\\AirUpdate\\Map\\..\\..\\Extra\\x.dll", kForeignCopy),
         "CP(Map/../../Extra/x.dll)(\\ResidentFlash\\Hailnet)"},
        {"a name of dots and a space", nullptr,
         Refusal(952, "\\SDMMC\\AirUpdate\\.. \\Extra\\x.dll", kForeignCopy),
         "CP(.. /Extra/x.dll)(\\ResidentFlash\\Hailnet)"},
        {"the package's own seal", nullptr,
         Refusal(952, "\\SDMMC\\AirUpdate\\signature\\MANIFEST.TXT", kForeignCopy),
         "CP(signature/MANIFEST.TXT)(\\ResidentFlash\\Hailnet)"},
    };
    for (const Attack& attack : attacks) {
        SCOPED_TRACE(attack.what);
        SetUp();
        Write(root_ / "SDMMC" / "Extra" / "x.dll", "the card holder's bytes");
        Write(Package() / "patch_list.txt", std::string(kList) + attack.signNames + "\r\n");
        ExpectSignRefused("patch_list.txt line 5");
        SignAsItStands();
        ExpectRefused(attack.refusal);
    }
    // Inside, however spelled, a copy is the package's.
    SetUp();
    Write(Package() / "patch_list.txt",
          std::string(kList) + "CP(./Map/../fare.tbl)(\\ResidentFlash\\Hailnet)\r\n");
    Sign();
    ExpectApplied();
}

// A package applied to the end leaves no note: nothing of it put back on the
// card counts as begun, so it must be whole. The manifests here carry no
// number, so only the note's end is at work.
TEST_F(CardHolderTest, PartsOfAPackageAppliedBeforeAreRefused)
{
    const std::string refused = Refusal(945, "\\SDMMC\\AirUpdate\\Hailnet.exe", kMissing);
    const std::vector<std::tuple<const char*, std::vector<const char*>, std::string>> replays = {
        {"its list", {"patch_list.txt"}, refused},
        {"one of its files", {"fare.tbl"}, refused},
        // Subfolder files alone are no package to the folder test.
        {"its map files", {"Map/road.dat", "Map/poi.dat"}, ""},
    };
    for (const auto& [what, names, refusal] : replays) {
        SCOPED_TRACE(what);
        SetUp();
        SignAsItStands(kUnnumbered);
        fs::copy(Package(), root_ / "copy", fs::copy_options::recursive);
        ExpectApplied();
        EXPECT_FALSE(fs::exists(Hailnet() / "update.verified"));
        Write(Hailnet() / "fare.tbl", "fares the meter changed");
        for (const char* name : names) Write(Package() / name, Read(root_ / "copy" / name));
        ExpectRefused(refusal);
    }
}

// A start cut at a point of the package, rebuilt as the terminal leaves it:
// the card holder may not take out what a line still to run, or the bulk
// move, needs.
TEST_F(CardHolderTest, AResumedPackageMustHoldWhatItsRemainingLinesNeed)
{
    struct Cut {
        const char* what;
        std::function<void(CardHolderTest*)> leave;
        const char* taken;       // what the card holder takes out
        std::string refusal;
    };
    const Cut cuts[] = {
        {"right after the check", [](CardHolderTest*) {}, "Map/road.dat",
         Refusal(945, "\\SDMMC\\AirUpdate\\Map\\road.dat", kMissing)},
        {"right after the check, the list", [](CardHolderTest*) {}, "patch_list.txt",
         Refusal(945, "\\SDMMC\\AirUpdate\\patch_list.txt", kMissing)},
        {"after the RMDIR", [](CardHolderTest* t) {
             fs::remove_all(t->Hailnet() / "Map");
             t->RecordLinesRun(1);
         },
         "Map/poi.dat", Refusal(945, "\\SDMMC\\AirUpdate\\Map\\poi.dat", kMissing)},
        {"before the bulk move", [](CardHolderTest* t) {
             for (const char* name : {"Map/road.dat", "Map/poi.dat"}) {
                 fs::rename(t->Package() / name, t->Hailnet() / name);
             }
             std::ofstream(t->Hailnet() / "update.verified", std::ios::binary | std::ios::app) << "L";
             fs::remove(t->Package() / "patch_list.txt");
         },
         "Hailnet.exe", Refusal(945, "\\SDMMC\\AirUpdate\\Hailnet.exe", kMissing)},
    };
    for (const Cut& cut : cuts) {
        SCOPED_TRACE(cut.what);
        SetUp();
        Sign();
        std::vector<std::string> log;
        ASSERT_TRUE(RunSignatureCheck(root_, &log));
        cut.leave(this);
        fs::copy(root_, root_.string() + "-untouched", fs::copy_options::recursive);
        fs::remove(Package() / cut.taken);
        ExpectRefused(cut.refusal);
        fs::remove_all(root_);
        fs::rename(root_.string() + "-untouched", root_);
        ExpectApplied();
        EXPECT_FALSE(fs::exists(Hailnet() / "update.verified"));
    }
}

// Once a begun package's list has run to its end, the list is not run
// again: put back on the card after a start whose bulk move was kept (no
// progress record is left then), it would remove the map and find nothing
// to refill it with.
TEST_F(CardHolderTest, AListPutBackOnceItRanToItsEndIsNotRunAgain)
{
    Sign();
    const std::string list = Read(Package() / "patch_list.txt");
    std::vector<std::string> log;
    ASSERT_TRUE(RunSignatureCheck(root_, &log));
    for (const char* name : {"Map/road.dat", "Map/poi.dat"}) {
        fs::rename(Package() / name, Hailnet() / name);
    }
    std::ofstream(Hailnet() / "update.verified", std::ios::binary | std::ios::app) << "L";
    Write(Package() / "patch_list.txt", list);
    StartupOutcome outcome = Start();
    for (const std::string& line : outcome.log) EXPECT_EQ(std::string::npos, line.find("RMDIR")) << line;
    ExpectApplied();
    EXPECT_FALSE(fs::exists(Package() / "patch_list.txt"));
}

TEST_F(CardHolderTest, AnOlderPackageIsRefusedOnceANewerOneIsApplied)
{
    const std::string manifest = "\\SDMMC\\AirUpdate\\Signature\\manifest.txt";
    SetUp();
    Sign("fleet.key", 20);
    ExpectApplied();
    EXPECT_EQ("20\n", Read(Hailnet() / "update.sequence"));
    fs::path applied = root_.string() + "-applied";
    fs::copy(root_, applied, fs::copy_options::recursive);
    const std::vector<std::pair<const char*, std::function<void(CardHolderTest*)>>> olders = {
        {"a lower number", [](CardHolderTest* t) { t->Sign("fleet.key", 19); }},
        {"the same number", [](CardHolderTest* t) { t->Sign("fleet.key", 20); }},
        {"no number", [](CardHolderTest* t) { t->SignAsItStands(kUnnumbered); }},
    };
    for (const auto& older : olders) {
        SCOPED_TRACE(older.first);
        fs::remove_all(root_);
        fs::copy(applied, root_, fs::copy_options::recursive);
        Write(Package() / "patch_list.txt", kList);
        Write(Package() / "Map" / "road.dat", "roads of 2023");
        Write(Package() / "Map" / "poi.dat", "poi of 2023");
        older.second(this);
        ExpectRefused(Refusal(953, manifest, kNotNewer));
    }
    // A number the terminal could not finish writing counts for the package
    // it began only.
    fs::remove_all(root_);
    fs::copy(applied, root_, fs::copy_options::recursive);
    Write(Hailnet() / "update.sequence", "2");
    Write(Package() / "patch_list.txt", kList);
    Write(Package() / "Map" / "road.dat", "roads of 2024");
    Write(Package() / "Map" / "poi.dat", "poi of 2024");
    Write(Package() / "fare.tbl", "fares of 2024");
    Write(Package() / "Hailnet.exe", "call v2");
    Sign("fleet.key", 21);
    ExpectRefused(Refusal(953, "\\ResidentFlash\\Hailnet\\update.sequence", kNotNewer));
    std::vector<std::string> log;
    Write(Hailnet() / "update.sequence", "20\n");
    ASSERT_TRUE(RunSignatureCheck(root_, &log));
    Write(Hailnet() / "update.sequence", "2");
    ExpectApplied();
    EXPECT_EQ("21\n", Read(Hailnet() / "update.sequence"));
}

} // namespace
