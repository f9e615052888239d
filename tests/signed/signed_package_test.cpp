// A terminal holding update.pub against packages signed by hailpatch and
// then tampered with: each refusal leaves the package and the terminal as
// they were, posts nothing, and writes one "<E>" line between the folder
// test and the staging clean-up. A good package, whole or half applied by an
// earlier start, ends exactly as the same package on a terminal without key.
#include "tests/signed/signed_fixture.h"

#include <functional>

namespace {

using namespace signedtest;
using hailpatch::DescribeChanges;
using hailpatch::RunSignatureCheck;

const char kList[] =
    "MKDIR(\\ResidentFlash\\Hailnet\\Map)\r\n"
    "CP(Map/road.dat)(\\ResidentFlash\\Hailnet)\r\n"
    "RM(\\ResidentFlash\\Hailnet\\old.tbl)\r\n";

class SignedPackageTest : public SignedTerminal {
public:
    void SetUp() override
    {
        MakeDevice();
        Write(Hailnet() / "old.tbl", "old fares");
        Write(Hailnet() / "Hailnet.exe", "call v1");
        Write(Package() / "patch_list.txt", kList);
        Write(Package() / "Map" / "road.dat", "roads of 2024");
        Write(Package() / "fare.tbl", "fares of 2024");
        Write(Package() / "Hailnet.exe", "call v2");
    }
};

struct Tampering {
    const char* what;
    std::function<void(SignedPackageTest*, const fs::path& package)> change;
    const char* line;  // the refusal, as the log holds it
};

TEST_F(SignedPackageTest, EachRefusalLeavesEverythingAsItWasAndSaysWhy)
{
    const Tampering cases[] = {
        {"unsigned", [](SignedPackageTest*, const fs::path& p) { fs::remove_all(p / "Signature"); },
         "<E> VerifyPackage[941] \\SDMMC\\AirUpdate\\Signature\\manifest.txt 서명 목록이 없습니다. "
         "패키지를 적용하지 않습니다."},
        {"no signature", [](SignedPackageTest*, const fs::path& p) { fs::remove(p / "Signature" / "manifest.sig"); },
         "<E> VerifyPackage[943] \\SDMMC\\AirUpdate\\Signature\\manifest.sig 서명이 맞지 않습니다. "
         "패키지를 적용하지 않습니다."},
        {"a bit of the signature", [](SignedPackageTest*, const fs::path& p) {
             std::string s = Read(p / "Signature" / "manifest.sig");
             s[100] ^= 0x10;
             Write(p / "Signature" / "manifest.sig", s);
         },
         "<E> VerifyPackage[943] \\SDMMC\\AirUpdate\\Signature\\manifest.sig 서명이 맞지 않습니다. "
         "패키지를 적용하지 않습니다."},
        {"signed by another key", [](SignedPackageTest* t, const fs::path&) { t->Sign("other.key"); },
         "<E> VerifyPackage[943] \\SDMMC\\AirUpdate\\Signature\\manifest.sig 서명이 맞지 않습니다. "
         "패키지를 적용하지 않습니다."},
        {"a hash in the manifest", [](SignedPackageTest*, const fs::path& p) {
             std::string m = Read(p / "Signature" / "manifest.txt");
             m[30] = m[30] == '0' ? '1' : '0';
             Write(p / "Signature" / "manifest.txt", m);
         },
         "<E> VerifyPackage[943] \\SDMMC\\AirUpdate\\Signature\\manifest.sig 서명이 맞지 않습니다. "
         "패키지를 적용하지 않습니다."},
        {"a file added at the top", [](SignedPackageTest*, const fs::path& p) { Write(p / "evil.dll", "x"); },
         "<E> VerifyPackage[944] \\SDMMC\\AirUpdate\\evil.dll 서명 목록에 없는 파일입니다. "
         "패키지를 적용하지 않습니다."},
        {"a file added in a subfolder", [](SignedPackageTest*, const fs::path& p) { Write(p / "Map" / "x.dat", "x"); },
         "<E> VerifyPackage[944] \\SDMMC\\AirUpdate\\Map\\x.dat 서명 목록에 없는 파일입니다. "
         "패키지를 적용하지 않습니다."},
        {"a file taken out", [](SignedPackageTest*, const fs::path& p) { fs::remove(p / "fare.tbl"); },
         "<E> VerifyPackage[945] \\SDMMC\\AirUpdate\\fare.tbl 서명 목록의 파일이 없습니다. "
         "패키지를 적용하지 않습니다."},
        {"the list taken out", [](SignedPackageTest*, const fs::path& p) { fs::remove(p / "patch_list.txt"); },
         "<E> VerifyPackage[945] \\SDMMC\\AirUpdate\\patch_list.txt 서명 목록의 파일이 없습니다. "
         "패키지를 적용하지 않습니다."},
        {"a byte added", [](SignedPackageTest*, const fs::path& p) { Write(p / "fare.tbl", "fares of 2024!"); },
         "<E> VerifyPackage[946] \\SDMMC\\AirUpdate\\fare.tbl 파일 크기가 서명 목록과 다릅니다. "
         "패키지를 적용하지 않습니다."},
        {"the list rewritten, same size", [](SignedPackageTest*, const fs::path& p) {
             std::string l = kList;
             l.replace(l.find("old.tbl"), 7, "Hai.exe");
             Write(p / "patch_list.txt", l);
         },
         "<E> VerifyPackage[947] \\SDMMC\\AirUpdate\\patch_list.txt 파일 내용이 서명 목록과 다릅니다. "
         "패키지를 적용하지 않습니다."},
        {"folders nested nine deep", [](SignedPackageTest*, const fs::path& p) { Write(p / "1/2/3/4/5/6/7/8/9/x", "x"); },
         "<E> VerifyPackage[949] \\SDMMC\\AirUpdate\\1\\2\\3\\4\\5\\6\\7\\8\\9 파일을 읽을 수 없습니다. "
         "패키지를 적용하지 않습니다."},
        {"the key cut short", [](SignedPackageTest* t, const fs::path&) {
             Write(t->Hailnet() / "update.pub", Read(t->Hailnet() / "update.pub").substr(0, 100));
         },
         "<E> VerifyPackage[948] \\ResidentFlash\\Hailnet\\update.pub 공개키로 서명을 확인할 수 없습니다. "
         "패키지를 적용하지 않습니다."},
    };
    for (const Tampering& tampering : cases) {
        SCOPED_TRACE(tampering.what);
        SetUp();
        Sign();
        HoldKey();
        tampering.change(this, Package());
        Tree before = Snapshot();
        StartupOutcome outcome = Start();
        ASSERT_EQ(5u, outcome.log.size());
        EXPECT_NE(std::string::npos, outcome.log[0].find("IsFolderFiles[425]"));
        EXPECT_EQ(tampering.line, Unstamped(outcome.log[1]));
        for (int i = 2; i < 5; ++i) EXPECT_NE(std::string::npos, outcome.log[i].find("DeleteFolder[487]"));
        EXPECT_TRUE(outcome.messages.empty()) << outcome.messages.front();
        EXPECT_TRUE(DescribeChanges(before, Snapshot()).empty()) << DescribeChanges(before, Snapshot()).front();
    }
}

TEST_F(SignedPackageTest, ASignedManifestTheTerminalCannotReadIsRefused)
{
    Sign();
    HoldKey();
    std::string signature;
    std::string error;
    const std::string manifest = "HAILWATCH MANIFEST 1\nnot a line of a manifest\n";
    ASSERT_TRUE(hailpatch::SignBytes(Key("fleet.key"), manifest, &signature, &error)) << error;
    Write(Package() / "Signature" / "manifest.txt", manifest);
    Write(Package() / "Signature" / "manifest.sig", signature);
    StartupOutcome outcome = Start();
    ASSERT_EQ(5u, outcome.log.size());
    EXPECT_EQ("<E> VerifyPackage[942] \\SDMMC\\AirUpdate\\Signature\\manifest.txt 서명 목록의 형식이 "
              "잘못되었습니다. 패키지를 적용하지 않습니다.",
              Unstamped(outcome.log[1]));
}

TEST_F(SignedPackageTest, AGoodPackageAppliesAsOnATerminalWithoutKey)
{
    Sign();
    StartupOutcome unkeyed = Start();
    Tree unkeyedTree = Snapshot();
    SetUp();
    Sign();
    HoldKey();
    StartupOutcome keyed = Start();
    ASSERT_EQ(unkeyed.log.size(), keyed.log.size());
    for (size_t i = 0; i < keyed.log.size(); ++i) EXPECT_EQ(Unstamped(unkeyed.log[i]), Unstamped(keyed.log[i]));
    EXPECT_EQ(unkeyed.messages.size(), keyed.messages.size());
    Tree keyedTree = Snapshot();
    keyedTree.erase("ResidentFlash/Hailnet/update.pub");
    // The package is done: its note is gone, its number stays.
    EXPECT_EQ("1\n", Read(Hailnet() / "update.sequence"));
    keyedTree.erase("ResidentFlash/Hailnet/update.sequence");
    EXPECT_TRUE(DescribeChanges(unkeyedTree, keyedTree).empty()) << DescribeChanges(unkeyedTree, keyedTree).front();
    EXPECT_EQ("fares of 2024", Read(Hailnet() / "fare.tbl"));
    EXPECT_TRUE(fs::exists(Package() / "Signature" / "manifest.txt"));
    EXPECT_FALSE(fs::exists(Hailnet() / "manifest.txt"));
    EXPECT_FALSE(fs::exists(Hailnet() / "manifest.sig"));
}

// The states a cut start leaves, rebuilt by hand: the terminal verified the
// package and noted it, then what the start moved is gone from the package
// and lies installed (with no progress record written: the cut came before
// it), and, once the list ran to its end, the note says so before the list
// is deleted.
TEST_F(SignedPackageTest, AHalfAppliedPackageVerifiesAndFinishes)
{
    const std::vector<std::pair<const char*, std::function<void(SignedPackageTest*)>>> cuts = {
        {"cut after the list's CP", [](SignedPackageTest* t) {
             fs::create_directories(t->Hailnet() / "Map");
             fs::rename(t->Package() / "Map" / "road.dat", t->Hailnet() / "Map" / "road.dat");
         }},
        {"cut in the bulk move", [](SignedPackageTest* t) {
             fs::create_directories(t->Hailnet() / "Map");
             fs::rename(t->Package() / "Map" / "road.dat", t->Hailnet() / "Map" / "road.dat");
             fs::remove(t->Hailnet() / "old.tbl");
             std::ofstream(t->Hailnet() / "update.verified", std::ios::binary | std::ios::app) << "L";
             fs::remove(t->Package() / "patch_list.txt");
             fs::rename(t->Package() / "Hailnet.exe", t->Hailnet() / "Hailnet.exe");
         }},
    };
    Sign();
    Start();
    Tree whole = Snapshot();
    std::vector<std::string> log;
    for (const auto& cut : cuts) {
        SCOPED_TRACE(cut.first);
        SetUp();
        Sign();
        HoldKey();
        ASSERT_TRUE(RunSignatureCheck(root_, &log));
        cut.second(this);
        StartupOutcome outcome = Start();
        for (const std::string& line : outcome.log) EXPECT_EQ(std::string::npos, line.find("<E>")) << line;
        Tree resumed = Snapshot();
        resumed.erase("ResidentFlash/Hailnet/update.pub");
        resumed.erase("ResidentFlash/Hailnet/update.sequence");
        EXPECT_TRUE(DescribeChanges(whole, resumed).empty()) << DescribeChanges(whole, resumed).front();
    }
    // ... but a package this terminal has not begun must be whole: the note
    // of another manifest does not count.
    SetUp();
    Sign();
    HoldKey();
    cuts[1].second(this);
    Write(Hailnet() / "update.verified", std::string(64, '0') + "\nL");
    StartupOutcome outcome = Start();
    ASSERT_EQ(5u, outcome.log.size());
    EXPECT_EQ("<E> VerifyPackage[945] \\SDMMC\\AirUpdate\\Hailnet.exe 서명 목록의 파일이 없습니다. "
              "패키지를 적용하지 않습니다.",
              Unstamped(outcome.log[1]));
}

TEST_F(SignedPackageTest, KeygenWritesAPublicKeyBlobAndNeverOverwrites)
{
    std::string blob = Read(Key("fleet.pub"));
    ASSERT_EQ(20u + 256u, blob.size());
    EXPECT_EQ(std::string("\x06\x02\x00\x00\x00\x24\x00\x00RSA1\x00\x08\x00\x00\x01\x00\x01\x00", 20),
              blob.substr(0, 20));
    EXPECT_EQ(fs::perms::none, fs::status(Key("fleet.key")).permissions() &
                                   (fs::perms::group_all | fs::perms::others_all));
    std::string error;
    EXPECT_FALSE(hailpatch::GenerateKeyPair(*keys_ / "fleet", &error));
    EXPECT_EQ(blob, Read(Key("fleet.pub")));
    // The private key goes into no package.
    Sign();
    const std::string privateKey = Read(Key("fleet.key"));
    for (const auto& entry : fs::recursive_directory_iterator(Package())) {
        if (entry.is_regular_file()) {
            EXPECT_EQ(std::string::npos, privateKey.find(Read(entry.path()).substr(0, 64)));
        }
    }
}

} // namespace
