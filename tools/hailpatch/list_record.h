// The list's progress record as the terminal reads it, on the model
// terminal, where it is read at every cut and the list is as long as the
// update: the list's size and CRC-32 are taken once for each content the
// list has, and the record's two slots are read as the terminal reads them.
#ifndef HAILPATCH_LIST_RECORD_H
#define HAILPATCH_LIST_RECORD_H

#include <cstdint>
#include <map>
#include <string>
#include <tuple>

#include "device_tracker.h"
#include "platform/platform.h"

namespace hailpatch {

class ListRecordReader {
public:
    explicit ListRecordReader(DeviceTracker* tracker) : tracker_(tracker) {}

    // The list's size and CRC-32 as MeasurePatchList gives them now for the
    // list at `listPath` (949); false when they cannot be had.
    bool Measure(const std::string& listPath, DWORD* bytes, DWORD* crc);
    // The start-up list's record in force now, in one string ("none" when
    // no record belongs to the list).
    std::string View();

private:
    struct Measured {
        bool taken = false;
        int measured = 0;
        DWORD bytes = 0;
        DWORD crc = 0;
    };
    // Where the measure of the list at `path` (as on disk) is kept; none
    // for a list that is not there.
    Measured* Slot(const std::string& path);

    DeviceTracker* tracker_;
    // A list no change has touched holds its first bytes (the terminal
    // renames nothing, so only a change at its own path puts others
    // there); another by the size and hash the tracker holds for it.
    std::map<std::string, Measured> untouched_;
    std::map<std::tuple<std::string, std::uint64_t, std::uint64_t>, Measured> changed_;
};

} // namespace hailpatch

#endif
