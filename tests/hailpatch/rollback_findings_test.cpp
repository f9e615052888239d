// What check will say a rollback cannot take back, from a first start as
// the model terminal's run gives it.
#include <gtest/gtest.h>

#include "rollback_findings.h"

namespace hailpatch {
namespace {

enum What { Added, Removed, Changed };

PathChange Made(What what, const std::string& path)
{
    PathChange change;
    change.path = path;
    change.before.exists = what != Added;
    change.after.exists = what != Removed;
    change.after.size = what == Changed ? 1 : 0;
    return change;
}

StepChanges Line(int number, std::vector<PathChange> changes)
{
    return {number, std::move(changes)};
}

TEST(RollbackFindings, NamesWhatTheUndoCopyDoesNotHoldAndNothingElse)
{
    std::vector<StepChanges> start = {
        Line(1, {Made(Removed, "\\ResidentFlash\\Hailnet\\fare-2023.tbl")}),
        Line(2, {Made(Removed, "\\SDMMC\\photo1.jpg"), Made(Removed, "\\SDMMC\\photo2.jpg")}),
        Line(3, {Made(Added, "\\SDMMC\\Backup\\fare.tbl"),
                 Made(Removed, "\\SDMMC\\AirUpdate\\Map\\road.dat"),
                 Made(Added, "\\ResidentFlash\\Hailnet\\Map\\road.dat")}),
        Line(4, {Made(Removed, "\\residentflash\\log\\old.log")}),
        Line(5, {Made(Changed, "\\sdmmc\\PHOTO1.JPG"),
                 Made(Added, "\\SDMMC\\AirUpdate.undo\\00000001.ent")}),
        Line(0, {Made(Removed, "\\SDMMC\\AirUpdate\\fare-2024.tbl"),
                       Made(Changed, "\\ResidentFlash\\Hailnet\\Hailwire.exe"),
                       Made(Removed, "\\ResidentFlash\\Update\\part1.bin"),
                 Made(Removed, "\\ResidentFlash\\Log\\hailwatch-2024051410.log")}),
    };
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
    std::vector<StepChanges> start = {Line(1, {Made(Removed, "\\ResidentFlash\\Hailnet\\Map"),
                                               Made(Removed, "\\SDMMC\\AirUpdate\\patch_list.txt")}),
                                      Line(0, {Made(Added, "\\ResidentFlash\\Hailnet\\fare.tbl")})};
    EXPECT_TRUE(FindRollbackBlindSpots(start).empty());
}

} // namespace
} // namespace hailpatch
