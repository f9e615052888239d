// The record check reads at every cut follows the list's bytes: a list the
// terminal rewrites, tears or deletes is measured again, and the list put
// back by an undo is the one the record belongs to once more.
#include <gtest/gtest.h>

#include "device_tracker.h"
#include "device_tree.h"
#include "list_record.h"
#include "patch/ListProgress.h"
#include "platform/host/host_control.h"

namespace hailpatch {
namespace {

const char kList[] = "\\SDMMC\\AirUpdate\\patch_list.txt";
const char kListBytes[] = "RM(\\ResidentFlash\\Hailnet\\a.dll)\r\nRM(b.dll)\r\n";

class ListRecordTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host::Reset();
        ASSERT_TRUE(host::MakeFolders(device_.Root() + "/SDMMC/AirUpdate"));
        ASSERT_TRUE(host::MakeFolders(device_.Root() + "/ResidentFlash/Hailnet"));
        ASSERT_TRUE(host::WriteWholeFile(device_.Root() + "/SDMMC/AirUpdate/patch_list.txt", kListBytes));
        host::SetDeviceRoot(device_.Root());
        host::KeepJournal(stash_.Root());
    }
    void TearDown() override { host::DropJournal(); }

    // The record the terminal keeps once the list's first line has run.
    void RecordFirstLineRun()
    {
        ListProgress progress;
        ASSERT_EQ(0, LoadListProgress(kList, &progress));
        ASSERT_TRUE(HoldListProgress(&progress));
        ASSERT_TRUE(NoteLineRun(&progress, 1, 0, 1));
        ASSERT_TRUE(SaveListProgress(&progress));
        ReleaseListProgress(&progress);
    }
    // Rewrites the list as a file call of the terminal's would.
    void WriteList(const char* bytes)
    {
        FILE* list = fopen(kList, "wb");
        ASSERT_NE(nullptr, list);
        fputs(bytes, list);
        fclose(list);
    }

    MemoryFolder device_;
    MemoryFolder stash_;
    DeviceTracker tracker_;
};

TEST_F(ListRecordTest, TheRecordFollowsTheListsBytesThroughChangesAndUndo)
{
    RecordFirstLineRun();
    ListRecordReader records(&tracker_);
    const std::string resumed = "next 2 below 0 retry";
    EXPECT_EQ(resumed, records.View());
    tracker_.CatchUp();
    const std::size_t start = tracker_.Length();

    WriteList("RM(\\ResidentFlash\\Hailnet\\c.dll)\r\nRM(b.dll)\r\n");
    EXPECT_EQ("none", records.View());
    tracker_.UndoTo(start);
    EXPECT_EQ(resumed, records.View());
    // Written again with its own bytes, it is still the record's list.
    WriteList(kListBytes);
    EXPECT_EQ(resumed, records.View());
    tracker_.UndoTo(start);

    ASSERT_TRUE(host::TearFile(kList, 10));
    EXPECT_EQ("none", records.View());
    tracker_.UndoTo(start);
    ASSERT_TRUE(DeleteFileW(L"\\SDMMC\\AirUpdate\\patch_list.txt"));
    EXPECT_EQ("none", records.View());
    tracker_.UndoTo(start);
    EXPECT_EQ(resumed, records.View());

    DWORD bytes = 0;
    DWORD crc = 0;
    ASSERT_TRUE(records.Measure(kList, &bytes, &crc));
    EXPECT_EQ(45u, bytes);
}

} // namespace
} // namespace hailpatch
