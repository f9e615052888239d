// The change journal puts the device back to any earlier point, and the power
// switch stops every file call: a random run of file calls, with the tree
// looked at after each, undone one change at a time.
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "DeviceRootFixture.h"

namespace {

namespace fs = std::filesystem;

class JournalTest : public DeviceRootTest {
protected:
    void SetUp() override
    {
        DeviceRootTest::SetUp();
        stash_ = root_ + "-stash";
        fs::create_directories(stash_);
        host::KeepJournal(stash_);
    }
    void TearDown() override
    {
        host::DropJournal();
        fs::remove_all(stash_);
        DeviceRootTest::TearDown();
    }

    // Every path under the root with what the device answers for it.
    std::map<std::string, std::string> Look() const
    {
        std::map<std::string, std::string> tree;
        for (const auto& entry : fs::recursive_directory_iterator(root_)) {
            std::string device = "\\" + fs::relative(entry.path(), root_).generic_string();
            for (char& c : device) c = c == '/' ? '\\' : c;
            DWORD attributes = GetFileAttributesW(host::Widen(device).c_str());
            tree[device] = std::to_string(attributes) + (entry.is_directory() ? "" : " " + Contents(device.substr(1)));
        }
        return tree;
    }
    std::string Contents(std::string relative) const
    {
        for (char& c : relative) c = c == '\\' ? '/' : c;
        return DeviceRootTest::Contents(relative);
    }

    std::string stash_;
};

const wchar_t* const kFiles[] = {L"\\a.txt", L"\\b.txt", L"\\Map\\c.dat", L"\\Map\\Sub\\d.dat"};
const wchar_t* const kFolders[] = {L"\\Map", L"\\Map\\Sub", L"\\Empty"};

void Write(const wchar_t* path, const char* mode, const std::string& bytes)
{
    FILE* file = HostFopen(host::Utf8ToCp949(host::Narrow(path)).c_str(), mode);
    if (file != nullptr) {
        fwrite(bytes.data(), 1, bytes.size(), file);
        fclose(file);
    }
}

// One of the calls the update makes, chosen at random; its result does not
// matter, only that the device can be put back after it.
void RandomCall(std::mt19937& random)
{
    auto pick = [&random](auto& table) { return table[random() % (sizeof(table) / sizeof(table[0]))]; };
    switch (random() % 7) {
    case 0: CopyFileW(pick(kFiles), pick(kFiles), FALSE); break;
    case 1: DeleteFileW(pick(kFiles)); break;
    case 2: CreateDirectoryW(pick(kFolders), NULL); break;
    case 3: RemoveDirectoryW(pick(kFolders)); break;
    case 4: SetFileAttributesW(pick(kFiles), random() % 2 ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_HIDDEN); break;
    case 5: Write(pick(kFiles), "wb", std::string(random() % 40, 'w')); break;
    default: Write(pick(kFiles), "ab", std::string(random() % 9 + 1, 'a')); break;
    }
}

TEST_F(JournalTest, UndoingEachChangeGivesBackTheTreeBeforeIt)
{
    std::mt19937 random(20261208);
    for (int round = 0; round < 20; ++round) {
        MakeFolder("Map");
        MakeFile("a.txt", "first");
        MakeFile("Map/c.dat", "map data");
        std::vector<std::map<std::string, std::string>> looks = {Look()};
        std::vector<size_t> lengths = {host::JournalLength()};
        for (int call = 0; call < 40; ++call) {
            RandomCall(random);
            looks.push_back(Look());
            lengths.push_back(host::JournalLength());
        }
        for (size_t i = looks.size(); i-- > 0;) {
            host::UndoJournal(lengths[i]);
            ASSERT_EQ(looks[i], Look()) << "round " << round << ", back to before call " << i;
        }
        ASSERT_EQ(0u, host::JournalLength());
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    EXPECT_TRUE(fs::is_empty(stash_)) << "the stash keeps files no change needs";
}

TEST_F(JournalTest, EntriesNameThePathAsOnDiskAndWhatStoodThere)
{
    MakeFolder("Map");
    MakeFile("Map/Road.dat", "old road");
    ASSERT_TRUE(DeleteFileW(L"\\map\\ROAD.DAT"));
    ASSERT_EQ(1u, host::JournalLength());
    const host::JournalEntry& entry = host::JournalAt(0);
    EXPECT_EQ("\\Map\\Road.dat", entry.devicePath);
    EXPECT_TRUE(entry.before.exists);
    EXPECT_EQ(8u, entry.before.size);
    EXPECT_EQ(host::StateOf("\\Map\\Road.dat"), host::PathState());
    host::UndoJournal(0);
    EXPECT_EQ(entry.before, host::StateOf("\\map\\road.dat"));
}

TEST_F(JournalTest, ATornFileIsCutAndPutBack)
{
    MakeFile("a.txt", "0123456789");
    ASSERT_TRUE(host::TearFile("\\a.txt", 5));
    EXPECT_EQ("01234", Contents("a.txt"));
    host::UndoJournal(0);
    EXPECT_EQ("0123456789", Contents("a.txt"));
}

TEST_F(JournalTest, AfterThePowerIsCutEveryFileCallFailsAndChangesNothing)
{
    MakeFile("a.txt", "kept");
    MakeFile("list.txt", "RM(a)\r\nRM(b)\r\n");
    FILE* open = HostFopen("\\list.txt", "r");
    ASSERT_NE(nullptr, open);
    char line[16];
    ASSERT_NE(nullptr, HostFgets(line, sizeof line, open));
    host::CutPower();
    // A stream open before the cut reads nothing more either.
    EXPECT_EQ(nullptr, HostFgets(line, sizeof line, open));
    EXPECT_EQ(0u, HostFread(line, 1, sizeof line, open));
    EXPECT_NE(0, HostFerror(open));
    PoisonLastError();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"\\a.txt"));
    EXPECT_EQ(21u, GetLastError());
    PoisonLastError();
    EXPECT_FALSE(DeleteFileW(L"\\a.txt"));
    EXPECT_EQ(21u, GetLastError());
    EXPECT_FALSE(CreateDirectoryW(L"\\Map", NULL));
    EXPECT_EQ(nullptr, HostFopen("\\b.txt", "wb"));
    EXPECT_EQ(0u, host::JournalLength());
    EXPECT_EQ("kept", Contents("a.txt"));
    HostFclose(open);
    host::Reset();
    EXPECT_TRUE(host::PowerIsOn());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"\\a.txt"));
}

} // namespace
