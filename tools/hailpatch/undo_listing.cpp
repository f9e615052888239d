#include "undo_listing.h"

#include <cstdio>
#include <system_error>

#include "patch/UndoEntry.h"
#include "patch/UndoRecord.h"
#include "patch/UndoRestore.h"
#include "platform/host/host_control.h"

namespace hailpatch {

namespace {

std::string Hex(DWORD value)
{
    char text[16];
    std::snprintf(text, sizeof(text), "0x%02lx", static_cast<unsigned long>(value));
    return text;
}

std::string Stage(const UndoRecord& record)
{
    switch (record.stage) {
    case UNDO_STAGE_UPDATING: return "updating: the package is not done yet, the copy grows at the next start";
    case UNDO_STAGE_PROBATION:
        return "probation: taken back if one application is restarted " + std::to_string(record.restartLimit) +
               " times within " + std::to_string(record.windowMs / 60000) + " minutes of the watchdog's time";
    case UNDO_STAGE_ROLLING_BACK: return "rolling back: the next start finishes it";
    default: return "ended";
    }
}

std::string DescribeEntry(const UndoEntry& entry)
{
    std::string text = host::Narrow(entry.text);
    switch (entry.kind) {
    case UNDO_KIND_FILE:
        return "saved   " + text + " (" + std::to_string(entry.size) + " bytes, attributes " +
               Hex(entry.attributes) + ")";
    case UNDO_KIND_FOLDER: return "folder  " + text + " (attributes " + Hex(entry.attributes) + ")";
    case UNDO_KIND_ABSENT: return "new     " + text;
    default: return "closed  " + text;
    }
}

} // namespace

bool AsksForRollbacks(const fs::path& root)
{
    std::error_code ec;
    return fs::exists(root / "ResidentFlash" / "Hailnet" / "update.rollback", ec);
}

std::vector<std::string> DescribeUndoCopy(const fs::path& root)
{
    host::Reset();
    host::SetDeviceRoot(fs::absolute(root).string());
    host::CaptureDebugOutput(true);
    UndoRecord record;
    if (!LoadUndoRecord(&record) || record.stage == UNDO_STAGE_NONE) {
        return {"(none: the update changed nothing in the flash store, or was taken back)"};
    }
    std::vector<std::string> lines = {Stage(record) + "; " + std::to_string(record.entries) +
                                      " entries in " + kUndoCopyFolder};
    if (!CheckUndoCopy(record)) {
        lines.push_back("the copy on the card does not match its record: a rollback would refuse it");
    }
    BYTE bytes[UNDO_ENTRY_BYTES];
    UndoEntry entry;
    for (DWORD index = 1; index <= record.entries; ++index) {
        size_t length = 0;
        if (ReadUndoEntryBytes(index, bytes, &length) && DecodeUndoEntry(bytes, length, index, &entry)) {
            lines.push_back(DescribeEntry(entry));
        }
    }
    return lines;
}

} // namespace hailpatch
