// The terminal's own start-up, watched from outside. The core is not told:
// a few of its calls are wrapped at link time (GNU ld's --wrap, see
// engine.cmake) and reported to the one observer set, so that a tool sees
// where the start stands (the package test, the signature check, each line
// of the list, each copy) while the core runs unchanged.
#ifndef HAILPATCH_CORE_HOOKS_H
#define HAILPATCH_CORE_HOOKS_H

#include "patch/ListProgress.h"
#include "patch/PatchLine.h"

namespace hailpatch {

class StartObserver {
public:
    virtual ~StartObserver() = default;
    // The folder test of the package (`verbose` 1 at the package step).
    virtual void FolderTested(const char* /*folder*/, int /*answer*/) {}
    // The signature check of the package (on a terminal without the key it
    // reads nothing and applies); `applies` 0 when refused.
    virtual void PackageVerifying() {}
    virtual void PackageVerified(int /*applies*/) {}
    // The list about to run; `once` for the start-up's first pass, which
    // keeps a progress record.
    virtual void ListOpened(bool /*once*/) {}
    // The list's progress record read, as LoadListProgress answered (the
    // list's own reading of it, and any other).
    virtual void RecordLoaded(int /*loaded*/, const ListProgress& /*progress*/) {}
    // The list's size and CRC-32 (as MeasurePatchList gives them), when the
    // observer knows them already: the record is then read for them without
    // the list being read whole again. False to let the core measure it.
    virtual bool ListMeasured(const char* /*listPath*/, DWORD* /*bytes*/, DWORD* /*crc*/) { return false; }
    // Each piece of a line as the interpreter classified it. An observer
    // may turn the line into one the interpreter skips (for a start whose
    // outcome is already known).
    virtual void LineRead(int /*number*/, bool /*tail*/, PatchLine* /*parsed*/) {}
    virtual void ListClosed(int /*result*/) {}
    // A copy of the list or of the bulk move, before and after it runs.
    virtual void CopyStarting(const char* /*source*/, const char* /*destination*/) {}
    virtual void CopyDone(int /*result*/) {}
    // The files of one folder copied or moved to another (the bulk move),
    // all of them.
    virtual void FolderCopied() {}
    // A folder's files deleted and the folder removed: a RMDIR line's, or
    // a staging folder's after the update.
    virtual void FolderDeleting(const char* /*folder*/) {}
};

// The observer of the starts run from now on; nullptr for none.
void ObserveStarts(StartObserver* observer);

} // namespace hailpatch

#endif
