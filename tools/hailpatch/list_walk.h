// Walking the patch list line by line with the terminal's own line rules,
// and what each line means for the package: the folders it makes, the
// files it moves, the time it blocks.
#ifndef HAILPATCH_LIST_WALK_H
#define HAILPATCH_LIST_WALK_H

#include <map>
#include <set>
#include <string>

#include "package_check.h"
#include "package_files.h"
#include "patch/PatchLine.h"

namespace hailpatch {

// What the walk over the list knows so far: every line is classified as
// the terminal classifies it, listed, and its findings added to the report.
class ListWalk {
public:
    ListWalk(const PackageContents& contents, CheckReport* report);

    // One piece of a line as ReadPatchLine gave it; `afterSkippedStart`
    // tells a tail whose line began as a comment (and so says nothing).
    void Line(int number, bool tail, bool afterSkippedStart, const std::string& raw);
    // Whether a CP line of the list moves this file.
    bool IsMoved(const PackageFile& file) const;

private:
    void Warn(int number, const std::string& text);
    void Add(Severity severity, int number, const std::string& text);
    std::string Command(int number, const std::string& raw, const PatchLine& parsed);
    std::string Nothing(int number, const std::string& raw, const PatchLine& parsed, bool quiet);
    void CheckKeywordPrefix(int number, const std::string& raw, const PatchLine& parsed);
    std::string MakeFolder(int number, const std::string& path);
    std::string RemoveFolder(int number, const std::string& path);
    std::string Copy(int number, const PatchLine& parsed);
    std::string Pause(int number, const char* field);

    CheckReport* report_;
    std::set<std::string> folders_;                      // folded canonical paths
    std::map<std::string, const PackageFile*> files_;    // folded relative names
    std::map<std::string, int> moved_;                   // folded name -> line
};

} // namespace hailpatch

#endif
