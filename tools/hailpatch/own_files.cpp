#include "own_files.h"

namespace hailpatch {

namespace {

const char* const kBookkeeping[] = {"\\residentflash\\log\\", "\\residentflash\\hailnet\\update.resume-",
                                    "\\sdmmc\\airupdate.resume-", "\\residentflash\\hailnet\\update.undo-",
                                    "\\sdmmc\\airupdate.undo\\"};

struct OwnFile {
    const char* path;    // folded
    const char* role;
};

const OwnFile kOwnFiles[] = {
    {"\\residentflash\\hailnet\\logmsg", "the marker that switches logging on"},
    {"\\residentflash\\hailnet\\logmsgrt", "the marker of real-time logging"},
    {"\\residentflash\\hailnet\\retailmsg", "the marker of the debugger echo"},
    {"\\residentflash\\hailnet\\update.pub", "the fleet's key"},
    {"\\residentflash\\hailnet\\update.verified", "the supervisor's note of the package it verified"},
    {"\\residentflash\\hailnet\\update.sequence", "the number of the newest signed package applied"},
    {"\\residentflash\\hailnet\\update.resume-a", "the list's progress record"},
    {"\\residentflash\\hailnet\\update.resume-b", "the list's progress record"},
    {"\\residentflash\\hailnet\\update.undo-a", "the record of the update's undo copy"},
    {"\\residentflash\\hailnet\\update.undo-b", "the record of the update's undo copy"},
    {"\\residentflash\\hailnet\\update.rollback", "the terminal's request for rollbacks"},
    {"\\residentflash\\log", "the supervisor's log folder"},
};

std::string Fold(std::string text)
{
    for (char& c : text) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return text;
}

} // namespace

bool IsBookkeeping(const std::string& devicePath)
{
    std::string folded = Fold(devicePath);
    for (const char* prefix : kBookkeeping) {
        if (folded.rfind(prefix, 0) == 0) {
            return true;
        }
    }
    return false;
}

std::string OwnFileRole(const std::string& devicePath)
{
    std::string folded = Fold(devicePath);
    for (const OwnFile& own : kOwnFiles) {
        if (folded == own.path) {
            return own.role;
        }
    }
    return folded.rfind("\\residentflash\\log\\", 0) == 0 ? "the supervisor's log" : "";
}

} // namespace hailpatch
