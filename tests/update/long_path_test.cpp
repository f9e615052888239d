// Folder operations on a folder whose path leaves no room in the 1024-unit
// buffers for some of its files: those files are skipped, the others handled.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "patch/PatchList.h"
#include "platform/host/host_control.h"

namespace {

namespace fs = std::filesystem;

class LongPathTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host::Reset();
        host::UseVirtualClock(0, SYSTEMTIME{2024, 5, 2, 14, 10, 0, 0, 0});
        root_ = fs::temp_directory_path() / ("hailwatch-longpath-" + std::to_string(getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_);
        host::SetDeviceRoot(root_.string());
        // 1,010 units: room for a short name, none for a long one.
        folder_ = MakeFolderOfLength(1010);
        MakeFile(folder_ + "\\a");
        MakeFile(folder_ + "\\" + kLongName);
    }
    void TearDown() override { fs::remove_all(root_); }

    // A device folder of exactly `units` units (all ASCII), made on disk.
    std::string MakeFolderOfLength(size_t units)
    {
        std::string folder = "\\ResidentFlash";
        while (folder.size() + 201 + 20 < units) {
            folder += "\\" + std::string(200, 'd');
        }
        folder += "\\" + std::string(units - folder.size() - 1, 'e');
        EXPECT_EQ(units, folder.size());
        fs::create_directories(host::NativePath(folder));
        return folder;
    }
    void MakeFile(const std::string& devicePath)
    {
        std::ofstream(host::NativePath(devicePath)) << "x";
    }
    bool Exists(const std::string& devicePath)
    {
        return fs::exists(host::NativePath(devicePath));
    }

    const std::string kLongName = "a-name-that-does-not-fit.dat";
    fs::path root_;
    std::string folder_;
};

TEST_F(LongPathTest, DeleteFolderSkipsTheFileThatDoesNotFit)
{
    EXPECT_EQ(1, CPatchList::DeleteFolder(folder_.c_str()));
    EXPECT_FALSE(Exists(folder_ + "\\a"));
    EXPECT_TRUE(Exists(folder_ + "\\" + kLongName));
    EXPECT_TRUE(Exists(folder_));
}

TEST_F(LongPathTest, CopyFilesFolder2FolderSkipsTheFileThatDoesNotFit)
{
    EXPECT_EQ(1, CPatchList::CopyFilesFolder2Folder(folder_.c_str(), "\\ResidentFlash\\Hailnet",
                                                    1, "*.*"));
    EXPECT_TRUE(Exists("\\ResidentFlash\\Hailnet\\a"));
    EXPECT_FALSE(Exists(folder_ + "\\a"));
    EXPECT_TRUE(Exists(folder_ + "\\" + kLongName));
    EXPECT_FALSE(Exists("\\ResidentFlash\\Hailnet\\" + kLongName));
}

// folder + "\*.*" must fit 1,023 units and the terminator.
TEST_F(LongPathTest, ASearchThatDoesNotFitFindsNothing)
{
    const std::string fits = MakeFolderOfLength(1019);
    const std::string tooLong = MakeFolderOfLength(1020);
    MakeFile(fits + "\\f");
    MakeFile(tooLong + "\\f");
    EXPECT_EQ(1, CPatchList::IsFolderFiles(fits.c_str(), 0));
    EXPECT_EQ(0, CPatchList::IsFolderFiles(tooLong.c_str(), 0));
    EXPECT_EQ(0, CPatchList::DeleteFolder(tooLong.c_str()));
    EXPECT_TRUE(Exists(tooLong + "\\f"));
}

} // namespace
