// The line rules of the patch list as the interpreter and the package tools
// share them: what each line is, and what a long physical line becomes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "patch/PatchLine.h"

namespace {

struct Classified {
    PatchLineKind kind;
    PatchCommand command;
    std::string field0;
    std::string source;
    std::string destination;
};

Classified Classify(std::string text, int pass = 0, int isTail = 0)
{
    std::vector<char> line(PATCH_LINE_SIZE, 0);
    text.copy(line.data(), PATCH_LINE_SIZE - 1);
    PatchLine parsed;
    ClassifyPatchLine("\\SDMMC\\AirUpdate", line.data(), isTail, pass, &parsed);
    return {parsed.kind, parsed.command, parsed.fields[0], parsed.source, parsed.destination};
}

TEST(PatchLine, SkipsWhatIsNoCommandForTheRuleThatDecides)
{
    EXPECT_EQ(PATCH_LINE_TOO_SHORT, Classify("\n").kind);
    EXPECT_EQ(PATCH_LINE_TOO_SHORT, Classify("").kind);
    EXPECT_EQ(PATCH_LINE_COMMENT, Classify(" KILL(Hailnet)\n").kind);
    EXPECT_EQ(PATCH_LINE_COMMENT, Classify("//KILL(Hailnet)\n").kind);
    EXPECT_EQ(PATCH_LINE_COMMENT, Classify("#RM(x)\n").kind);
    EXPECT_EQ(PATCH_LINE_NO_KEYWORD, Classify("\tKILL(Hailnet)\n").kind);
    EXPECT_EQ(PATCH_LINE_NO_KEYWORD, Classify("kill(Hailnet)\n").kind);
    EXPECT_EQ(PATCH_LINE_NO_FIELD, Classify("KILL(Hailnet\n").kind);
    EXPECT_EQ(PATCH_LINE_EMPTY_FIRST_FIELD, Classify("KILL()\n").kind);
    EXPECT_EQ(PATCH_LINE_FIELD_TOO_LONG, Classify("RM(" + std::string(256, 'a') + ")\n").kind);
    EXPECT_EQ(PATCH_LINE_COMMAND, Classify("RM(" + std::string(255, 'a') + ")\n").kind);
    EXPECT_EQ(PATCH_LINE_TAIL, Classify("RM(x)\n", 0, 1).kind);
}

TEST(PatchLine, DecidesByTheFirstKeywordOfThePass)
{
    Classified rmdir = Classify("RMDIR(x)\n");
    EXPECT_EQ(PATCH_LINE_COMMAND, rmdir.kind);
    EXPECT_EQ(PATCH_COMMAND_RMDIR, rmdir.command);
    EXPECT_EQ(PATCH_COMMAND_RM, Classify("RMX(y)\n").command);
    EXPECT_EQ(PATCH_COMMAND_KILL, Classify("KILLALL(Hailnet)\n").command);
    EXPECT_EQ(" Hailnet ", Classify("KILL( Hailnet )\n").field0);
    // Each pass sees the other's commands as belonging elsewhere.
    Classified run = Classify("RUN(\\a.exe)\n");
    EXPECT_EQ(PATCH_LINE_OTHER_PASS, run.kind);
    EXPECT_EQ(PATCH_COMMAND_RUN, run.command);
    EXPECT_EQ(PATCH_LINE_OTHER_PASS, Classify("SLEEP(5)\n", 1).kind);
    EXPECT_EQ(PATCH_COMMAND_WAITREBOOT, Classify("WAITREBOOT(5)\n", 1).command);
    EXPECT_EQ("a(b)c", Classify("RUN(a(b)c)\n", 1).field0);
}

TEST(PatchLine, ResolvesACopyOrSaysWhyNot)
{
    Classified copy = Classify("CP(Map/road.dat)(/ResidentFlash/Hailnet)\r\n");
    EXPECT_EQ(PATCH_LINE_COMMAND, copy.kind);
    EXPECT_EQ("\\SDMMC\\AirUpdate\\Map\\road.dat", copy.source);
    EXPECT_EQ("\\ResidentFlash\\Hailnet\\Map\\road.dat", copy.destination);
    EXPECT_EQ(PATCH_LINE_CP_NO_DESTINATION, Classify("CP(a.dll)\n").kind);
    EXPECT_EQ(PATCH_LINE_CP_NO_DESTINATION, Classify("CP(a.dll)()\n").kind);
    // Each field fits, the joined path does not: the line is not run.
    std::string name(200, 'n');
    std::string folder = "\\" + std::string(100, 'f');
    EXPECT_EQ(PATCH_LINE_PATH_TOO_LONG, Classify("CP(" + name + ")(" + folder + ")\n").kind);
}

// The pieces ReadPatchLine hands out for a file's bytes, each marked with
// whether it continues a line already begun.
std::vector<std::pair<size_t, int>> Pieces(const std::string& bytes)
{
    std::FILE* file = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    std::vector<std::pair<size_t, int>> pieces;
    std::vector<char> line(PATCH_LINE_SIZE);
    int inLongLine = 0;
    int isTail = 0;
    while (ReadPatchLine(file, line.data(), &inLongLine, &isTail)) {
        pieces.push_back({std::string(line.data()).size(), isTail});
    }
    std::fclose(file);
    return pieces;
}

TEST(PatchLine, MarksEveryPieceAfterTheFirstOfALongLine)
{
    using P = std::vector<std::pair<size_t, int>>;
    EXPECT_EQ((P{{1023, 0}, {1, 0}}), Pieces(std::string(1022, 'a') + "\n" + "b"));
    EXPECT_EQ((P{{1023, 0}, {1, 1}, {2, 0}}), Pieces(std::string(1023, 'a') + "\nb\n"));
    EXPECT_EQ((P{{1023, 0}, {1023, 1}, {5, 1}, {2, 0}}),
              Pieces(std::string(2050, 'a') + "\nb\n"));
    // A NUL byte inside a piece does not hide where the line ended.
    EXPECT_EQ((P{{2, 0}, {3, 0}}), Pieces(std::string("ab\0cd\nef\n", 9)));
}

} // namespace
