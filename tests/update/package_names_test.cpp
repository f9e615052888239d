// Names as a keyed terminal reads a signed package: which names its file
// calls take as they stand, which names of one folder they take for one,
// and where a CP source lands by the device's path rules.
#include <gtest/gtest.h>

#include <string>

#include "patch/PackageManifest.h"
#include "patch/PackagePath.h"
#include "patch/SiblingNames.h"

namespace {

TEST(PackageNames, OnlyNamesTheDeviceKeepsAsTheyStandAreGood)
{
    for (const char* good : {"road.dat", "a", "\xC7\xD1\xB1\xDB.dat", "\x81\x41", "x y.z", ".hidden"}) {
        EXPECT_EQ(1, IsGoodManifestName(good)) << good;
    }
    for (const char* bad : {"", ".", "..", "fare.tbl.", "fare.tbl ", "Signature\\manifest.txt",
                            "a?b", "a*b", "a:b", "a|b", "a/b", "\x7F", "tab\there", "\xC7",
                            "\xC7\x20", "\xC7\xD1\xB1"}) {
        EXPECT_EQ(0, IsGoodManifestName(bad)) << bad;
    }
}

TEST(PackageNames, SiblingsDifferingInAsciiCaseAreOneName)
{
    CSiblingNames names;
    EXPECT_EQ(1, names.Add("Map"));
    EXPECT_EQ(1, names.Add("fare.tbl"));
    EXPECT_EQ(0, names.Add("MAP"));
    EXPECT_EQ(0, names.Add("FARE.TBL"));
    // A 949 trail byte in the letters' range is part of its character, not
    // a letter: 0x81 0x41 and 0x81 0x61 are two characters.
    EXPECT_EQ(1, names.Add("\x81\x41"));
    EXPECT_EQ(1, names.Add("\x81\x61"));
    EXPECT_EQ(0, names.Add("\x81\x61"));
    // Past the first room the names go on being told apart.
    for (int i = 0; i < 100; ++i) EXPECT_EQ(1, names.Add(("f" + std::to_string(i)).c_str()));
    EXPECT_EQ(0, names.Add("F99"));
}

struct Placed {
    const char* path;
    PathPlace place;
    const char* relative;
};

TEST(PackagePath, ASourceLandsWhereTheDevicePathRulesPutIt)
{
    const char* const package = "\\SDMMC\\AirUpdate";
    const Placed cases[] = {
        {"\\SDMMC\\AirUpdate\\Map\\road.dat", PLACE_INSIDE, "Map\\road.dat"},
        {"\\sdmmc\\AIRUPDATE\\fare.tbl", PLACE_INSIDE, "fare.tbl"},
        {"SDMMC/AirUpdate/./Map//road.dat", PLACE_INSIDE, "Map\\road.dat"},
        {"\\SDMMC\\AirUpdate\\Map\\..\\fare.tbl", PLACE_INSIDE, "fare.tbl"},
        {"\\SDMMC\\AirUpdate\\Map.\\road.dat. .", PLACE_INSIDE, "Map\\road.dat"},
        {"\\SDMMC\\AirUpdate\\Map..\\road.dat", PLACE_INSIDE, "Map..\\road.dat"},
        {"\\SDMMC\\AirUpdate", PLACE_INSIDE, ""},
        {"\\SDMMC\\AirUpdate\\..\\Extra\\x.dll", PLACE_OUTSIDE, ""},
        {"\\SDMMC\\AirUpdate\\Map\\..\\..\\Extra\\x.dll", PLACE_OUTSIDE, ""},
        {"\\SDMMC\\AirUpdate\\..\\..\\..\\SDMMC\\AirUpdate\\x.dll", PLACE_INSIDE, "x.dll"},
        {"\\SDMMC\\AirUpdate2\\x.dll", PLACE_OUTSIDE, ""},
        {"\\SDMMC\\AirUpdate.\\x.dll", PLACE_INSIDE, "x.dll"},
        {"\\\\SDMMC\\AirUpdate\\x.dll", PLACE_OUTSIDE, ""},
        {"\\SDMMC\\AirUpdate\\...\\x.dll", PLACE_UNCLEAR, ""},
        {"\\SDMMC\\AirUpdate\\.. \\x.dll", PLACE_UNCLEAR, ""},
        {"\\SDMMC\\AirUpdate\\ \\x.dll", PLACE_UNCLEAR, ""},
    };
    for (const Placed& c : cases) {
        char relative[PATCH_PATH_SIZE];
        EXPECT_EQ(c.place, PlaceInFolder(c.path, package, relative, sizeof(relative))) << c.path;
        EXPECT_STREQ(c.relative, relative) << c.path;
    }
    char small[4];
    EXPECT_EQ(PLACE_UNCLEAR, PlaceInFolder("\\SDMMC\\AirUpdate\\road.dat", package, small, sizeof(small)));
}

} // namespace
