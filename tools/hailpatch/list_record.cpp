#include "list_record.h"

#include <set>

#include "model_terminal.h"
#include "patch/ListProgress.h"

namespace hailpatch {

namespace {

const char kListPath[] = "\\SDMMC\\AirUpdate\\patch_list.txt";

} // namespace

ListRecordReader::Measured* ListRecordReader::Slot(const std::string& path)
{
    bool touched = false;
    host::PathState now = path.empty() ? host::PathState() : tracker_->Now(path, &touched);
    if (path.empty() || (touched && !now.exists)) {
        return nullptr;
    }
    return touched ? &changed_[std::make_tuple(path, now.size, now.hash)] : &untouched_[path];
}

bool ListRecordReader::Measure(const std::string& listPath, DWORD* bytes, DWORD* crc)
{
    tracker_->CatchUp();
    Measured fresh;
    Measured* known = Slot(ResolveDevicePath(listPath));
    Measured& measure = known != nullptr ? *known : fresh;
    if (!measure.taken) {
        measure.taken = true;
        measure.measured = MeasurePatchList(listPath.c_str(), &measure.bytes, &measure.crc);
    }
    *bytes = measure.bytes;
    *crc = measure.crc;
    return measure.measured != 0;
}

std::string ListRecordReader::View()
{
    DWORD bytes = 0;
    DWORD crc = 0;
    ListProgress progress;
    if (!Measure(kListPath, &bytes, &crc) || LoadMeasuredListProgress(bytes, crc, &progress) != 1) {
        return "none";
    }
    std::set<DWORD> retry(progress.retry, progress.retry + progress.retryCount);
    std::string view = "next " + std::to_string(progress.nextLine) + " below " +
                       std::to_string(progress.retryCopiesBelow) + " retry";
    for (DWORD line : retry) {
        view += " " + std::to_string(line);
    }
    return view;
}

} // namespace hailpatch
