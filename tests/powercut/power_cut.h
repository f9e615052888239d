// A power cut for the host backend: every file call of the platform made
// while a start runs is counted, and right after the chosen one the power is
// gone: from then on every file call fails without touching the disk, so
// what the rest of that start does is lost, as it would be on the terminal.
//
// The cut sits between the core and the backend at link time (the file
// calls are wrapped with the linker's --wrap, see CMakeLists.txt), so the
// backend itself knows nothing of it.
#ifndef HAILWATCH_TESTS_POWER_CUT_H
#define HAILWATCH_TESTS_POWER_CUT_H

#include <string>
#include <vector>

namespace powercut {

// What a copy cut in the middle leaves at its destination.
enum class Tear {
    kNone,  // the call completed before the cut
    kHalf,  // half of the source's bytes were written
    kEmpty, // the destination was created, nothing written
};

struct FileCall {
    std::string operation;   // "CopyFileW", "fopen", ...
    std::string path;        // the first path, UTF-8
    std::string destination; // CopyFileW only
    bool succeeded = false;
};

const long kNoCut = -1;

// Counts the file calls from now on; after the `cutAfter`th the power is
// cut (kNoCut: never). With a tear other than kNone that call must be a
// CopyFileW, which then leaves its destination torn and fails, or (kHalf)
// an fwrite, of which half the bytes reach the file.
void Arm(long cutAfter, Tear tear);
// Stops counting; the file calls reach the backend again.
void Disarm();
// The calls that reached the backend since Arm, the cut one last.
const std::vector<FileCall>& Calls();

const char* TearName(Tear tear);

} // namespace powercut

#endif
