#include "line_journal.h"

#include <memory>
#include <system_error>

#include "model_terminal.h"
#include "platform/host/host_control.h"

namespace hailpatch {

namespace {

struct Journal {
    fs::path root;
    int number = 0;
    int cutAfter = 0;     // 0: no cut
    bool cut = false;
    std::vector<JournalMark> marks;
};

// The file calls the host backend can be made to fail; the reads that are
// left change nothing.
const char* const kFileCalls[] = {"DeleteFileW", "CopyFileW", "CreateDirectoryW", "RemoveDirectoryW",
                                  "SetFileAttributesW", "FindFirstFileW", "fopen"};
const int kForever = 1 << 30;
const DWORD kPowerGone = ERROR_WRITE_FAULT;

void CutIfDue(Journal& journal, bool listDone)
{
    if (journal.cutAfter == 0 || journal.cut || (!listDone && journal.number <= journal.cutAfter)) {
        return;
    }
    journal.cut = true;
    for (const char* call : kFileCalls) {
        host::FailNext(call, kForever, kPowerGone);
    }
}

std::unique_ptr<Journal>& Active()
{
    static std::unique_ptr<Journal> journal;
    return journal;
}

std::string DevicePathOf(const fs::path& relative)
{
    std::string path;
    for (const fs::path& part : relative) {
        path += "\\" + part.string();
    }
    return path;
}

JournalMark MarkNow(JournalMark::Kind kind)
{
    Journal& journal = *Active();
    JournalMark mark;
    mark.kind = kind;
    mark.tree = StatDeviceTree(journal.root);
    mark.logLines = host::DebugOutput().size();
    mark.tracedMessages = host::Trace().size();
    mark.sleptMs = host::SleptMilliseconds();
    return mark;
}

} // namespace

StatTree StatDeviceTree(const fs::path& root)
{
    StatTree tree;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        StatEntry entry;
        if (ReadStamp(it->path(), &entry)) {
            tree[DevicePathOf(it->path().lexically_relative(root))] = entry;
        }
    }
    return tree;
}

void CutAfterLine(int number)
{
    if (Active()) {
        Active()->cutAfter = number;
    }
}

void BeginJournal(const fs::path& root)
{
    Active() = std::make_unique<Journal>();
    Active()->root = root;
}

std::vector<JournalMark> EndJournal()
{
    std::vector<JournalMark> marks;
    if (Active()) {
        marks.swap(Active()->marks);
        Active().reset();
    }
    return marks;
}

} // namespace hailpatch

// ---- the wrapped calls of the core -----------------------------------------

using hailpatch::Active;
using hailpatch::JournalMark;

extern "C" {

// ClassifyPatchLine(const char*, char*, int, int, PatchLine*)
void __real__Z17ClassifyPatchLinePKcPciiP9PatchLine(const char* folder, char* line, int isTail,
                                                     int pass, PatchLine* out);
void __wrap__Z17ClassifyPatchLinePKcPciiP9PatchLine(const char* folder, char* line, int isTail,
                                                     int pass, PatchLine* out)
{
    __real__Z17ClassifyPatchLinePKcPciiP9PatchLine(folder, line, isTail, pass, out);
    if (!Active()) {
        return;
    }
    hailpatch::Journal& journal = *Active();
    journal.number += isTail ? 0 : 1;
    hailpatch::CutIfDue(journal, false);
    JournalMark mark = hailpatch::MarkNow(JournalMark::LineRead);
    mark.number = journal.number;
    mark.tail = isTail != 0;
    mark.lineKind = out->kind;
    mark.command = out->command;
    mark.field = out->fieldCount > 0 ? out->fields[0] : "";
    mark.source = out->source;
    if (out->kind == PATCH_LINE_COMMAND) {
        mark.resolvedField = hailpatch::ResolveDevicePath(mark.field);
        if (out->command == PATCH_COMMAND_CP) {
            mark.source = out->source;
            mark.destination = out->destination;
            mark.resolvedSource = hailpatch::ResolveDevicePath(mark.source);
            mark.resolvedDestination = hailpatch::ResolveDevicePath(mark.destination);
        }
    }
    journal.marks.push_back(mark);
}

// The list's run: open, then closed (and the cut due after its last line).
static void MarkListOpened()
{
    if (Active()) {
        Active()->number = 0;
        Active()->marks.push_back(hailpatch::MarkNow(JournalMark::ListOpened));
    }
}

static void MarkListClosed()
{
    if (Active()) {
        hailpatch::CutIfDue(*Active(), true);
        Active()->marks.push_back(hailpatch::MarkNow(JournalMark::ListClosed));
    }
}

// CPatchList::SearchPatchListFiles(const char*, int)
int __real__ZN10CPatchList20SearchPatchListFilesEPKci(const char* folder, int pass);
int __wrap__ZN10CPatchList20SearchPatchListFilesEPKci(const char* folder, int pass)
{
    MarkListOpened();
    int result = __real__ZN10CPatchList20SearchPatchListFilesEPKci(folder, pass);
    MarkListClosed();
    return result;
}

// CPatchList::RunPatchListOnce(const char*), the start-up's first pass.
int __real__ZN10CPatchList16RunPatchListOnceEPKc(const char* folder);
int __wrap__ZN10CPatchList16RunPatchListOnceEPKc(const char* folder)
{
    MarkListOpened();
    int result = __real__ZN10CPatchList16RunPatchListOnceEPKc(folder);
    MarkListClosed();
    return result;
}

} // extern "C"
