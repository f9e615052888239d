// What each line of the patch list did while the terminal's own interpreter
// ran it. The core is not told: the interpreter's calls to ClassifyPatchLine
// and the start-up's call to SearchPatchListFiles are wrapped at link time
// (GNU ld's --wrap, see CMakeLists.txt), and at each of them the device tree
// is looked at, so that the changes between two marks belong to one line.
#ifndef HAILPATCH_LINE_JOURNAL_H
#define HAILPATCH_LINE_JOURNAL_H

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "patch/PatchLine.h"
#include "pc_files.h"

namespace hailpatch {

namespace fs = std::filesystem;

// Enough of a file's status to see that it changed, cheap enough to take at
// every line of a real terminal's tree.
using StatEntry = PcStamp;
// Device paths ("\ResidentFlash\Hailnet\a.dll") as the host names them.
using StatTree = std::map<std::string, StatEntry>;

StatTree StatDeviceTree(const fs::path& root);

struct JournalMark {
    enum Kind { ListOpened, LineRead, ListClosed };
    Kind kind = LineRead;
    int number = 0;                 // the line as an editor numbers it
    bool tail = false;
    PatchLineKind lineKind = PATCH_LINE_TOO_SHORT;
    PatchCommand command = PATCH_COMMAND_NONE;
    std::string field;              // field 0, 949
    std::string source;             // CP: the two paths of the move, 949
    std::string destination;
    // The same paths as the device resolved them when the line ran (UTF-8).
    std::string resolvedField;
    std::string resolvedSource;
    std::string resolvedDestination;
    StatTree tree;                  // the device just before the line runs
    size_t logLines = 0;            // debugger echo lines so far
    std::size_t tracedMessages = 0; // messages to programs so far
    unsigned long long sleptMs = 0; // pauses so far
};

// Marks are taken only between Begin and End; one journal at a time.
void BeginJournal(const fs::path& root);
std::vector<JournalMark> EndJournal();

// With a journal begun: the power goes when line `number` has run (before
// the next line, or before the list is deleted when it was the last): from
// then on every file call of that start fails without touching the device.
void CutAfterLine(int number);

} // namespace hailpatch

#endif
