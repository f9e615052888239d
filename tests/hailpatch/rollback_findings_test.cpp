// What check will say a rollback cannot take back, from a first start as
// the model terminal's run gives it.
#include <gtest/gtest.h>

#include "rollback_findings.h"

namespace hailpatch {
namespace {

Change Made(Change::What what, const std::string& path)
{
    Change change;
    change.what = what;
    change.path = path;
    return change;
}

LineRun Line(int number, std::vector<Change> changes)
{
    LineRun line;
    line.mark.number = number;
    line.changes = std::move(changes);
    return line;
}

TEST(RollbackFindings, NamesWhatTheUndoCopyDoesNotHoldAndNothingElse)
{
    StartRun start;
    start.lines = {
        Line(1, {Made(Change::Removed, "\\ResidentFlash\\Hailnet\\fare-2023.tbl")}),
        Line(2, {Made(Change::Removed, "\\SDMMC\\photo1.jpg"), Made(Change::Removed, "\\SDMMC\\photo2.jpg")}),
        Line(3, {Made(Change::Added, "\\SDMMC\\Backup\\fare.tbl"),
                 Made(Change::Removed, "\\SDMMC\\AirUpdate\\Map\\road.dat"),
                 Made(Change::Added, "\\ResidentFlash\\Hailnet\\Map\\road.dat")}),
        Line(4, {Made(Change::Removed, "\\residentflash\\log\\old.log")}),
        Line(5, {Made(Change::Changed, "\\sdmmc\\PHOTO1.JPG"),
                 Made(Change::Added, "\\SDMMC\\AirUpdate.undo\\00000001.ent")}),
    };
    start.afterList = {Made(Change::Removed, "\\SDMMC\\AirUpdate\\fare-2024.tbl"),
                       Made(Change::Changed, "\\ResidentFlash\\Hailnet\\Hailwire.exe"),
                       Made(Change::Removed, "\\ResidentFlash\\Update\\part1.bin"),
                       Made(Change::Removed, "\\ResidentFlash\\Log\\hailwatch-2024051410.log")};
    std::vector<std::string> said;
    for (const RollbackBlindSpot& spot : FindRollbackBlindSpots(start))
        said.push_back(DescribeBlindSpot(spot));
    EXPECT_EQ((std::vector<std::string>{
                  "line 2 removes \\SDMMC\\photo1.jpg: a rollback cannot bring it back (only the flash "
                  "store is kept in the undo copy)",
                  "line 2 removes \\SDMMC\\photo2.jpg: a rollback cannot bring it back (only the flash "
                  "store is kept in the undo copy)",
                  "line 3 adds \\SDMMC\\Backup\\fare.tbl: a rollback leaves it there (only the flash "
                  "store is kept in the undo copy)",
                  "line 4 removes \\residentflash\\log\\old.log: a rollback cannot bring it back (the log "
                  "is never taken back)",
              }),
              said);
}

TEST(RollbackFindings, AnUpdateOfTheFlashStoreAloneHasNone)
{
    StartRun start;
    start.lines = {Line(1, {Made(Change::Removed, "\\ResidentFlash\\Hailnet\\Map"),
                            Made(Change::Removed, "\\SDMMC\\AirUpdate\\patch_list.txt")})};
    start.afterList = {Made(Change::Added, "\\ResidentFlash\\Hailnet\\fare.tbl")};
    EXPECT_TRUE(FindRollbackBlindSpots(start).empty());
}

} // namespace
} // namespace hailpatch
