// Walking the patch list line by line with the terminal's own line rules:
// what each line is, and what a run cannot show (keywords read as prefixes,
// lines the terminal ignores). What a line does is the run's to say.
#ifndef HAILPATCH_LIST_WALK_H
#define HAILPATCH_LIST_WALK_H

#include <string>
#include <vector>

#include "check_report.h"
#include "patch/PatchLine.h"

namespace hailpatch {

// Every line is classified as the terminal classifies it, listed, and its
// findings added to the report.
class ListWalk {
public:
    explicit ListWalk(CheckReport* report);

    // One piece of a line as ReadPatchLine gave it; `afterSkippedStart`
    // tells a tail whose line began as a comment (and so says nothing).
    void Line(int number, bool tail, bool afterSkippedStart, const std::string& raw);
    // The window titles of the KILL lines, UTF-8.
    const std::vector<std::string>& KillTitles() const { return titles_; }

private:
    void Warn(int number, const std::string& text);
    std::string Command(int number, const std::string& raw, const PatchLine& parsed);
    std::string Nothing(int number, const std::string& raw, const PatchLine& parsed, bool quiet);
    void CheckKeywordPrefix(int number, const std::string& raw, const PatchLine& parsed);

    CheckReport* report_;
    std::vector<std::string> titles_;
};

} // namespace hailpatch

#endif
