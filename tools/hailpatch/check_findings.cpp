#include "check_findings.h"

#include <set>

#include "model_terminal.h"
#include "package_files.h"
#include "package_outcome.h"
#include "patch/PathText.h"
#include "platform/host/host_control.h"

namespace hailpatch {

namespace {

const unsigned long long kLongSleepMs = 60000;       // one SLEEP worth a look
const unsigned long long kTooLongSleepMs = 300000;   // SLEEPs that block every start
const unsigned long long kPostPauseMs = 1000;        // after each WM_DESTROY post

std::string LineLabel(int number)
{
    return "line " + std::to_string(number);
}

// Two device paths name one file as the terminal's own CP tells them apart.
bool SamePath(const std::string& a, const std::string& b)
{
    return !a.empty() && !b.empty() && IsSamePath(host::Widen(a).c_str(), host::Widen(b).c_str()) != 0;
}

bool IsUnder(const std::string& path, const std::string& folder)
{
    std::string prefix = FoldCase(folder == "\\" ? folder : folder + "\\");
    return FoldCase(path).compare(0, prefix.size(), prefix) == 0;
}

std::string Parent(const std::string& path)
{
    size_t last = path.rfind('\\');
    return last == 0 || last == std::string::npos ? "\\" : path.substr(0, last);
}

bool LogHas(const LineRun& line, const std::string& text)
{
    for (const std::string& entry : line.log) {
        if (entry.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

std::string JoinNames(const std::vector<std::string>& names)
{
    std::string joined;
    for (const std::string& name : names) {
        joined += (joined.empty() ? "" : ", ") + name;
    }
    return joined;
}

class RunJudge {
public:
    RunJudge(const CheckRun& run, CheckReport* report) : run_(run), report_(report) {}
    void Judge();

private:
    void Add(Severity severity, const std::string& text) { report_->findings.push_back({severity, text}); }
    void JudgeLine(const LineRun& line);
    void JudgeProtectedFolders(const LineRun& line);
    void JudgePackageDeletions(const LineRun& line);
    void JudgeLog(const LineRun& line);
    void AttachEffects(const LineRun& line);
    void JudgeFirstStart();
    void JudgeLastStart();
    void CountTime();
    std::string WhoRemoved(const std::string& path) const;
    std::string HowLost(const std::string& path) const;

    const CheckRun& run_;
    CheckReport* report_;
    std::set<std::string> deleted_;          // package files a line deleted
    unsigned long long sleepMs_ = 0;
};

// The folders whose loss no package may cause: the root, every root folder
// of the terminal, and the install folder.
std::vector<std::string> ProtectedFolders(const StatTree& tree)
{
    std::vector<std::string> folders = {"\\"};
    for (const auto& [path, entry] : tree) {
        if (entry.folder && (path.find('\\', 1) == std::string::npos || SamePath(path, kInstallFolder))) {
            folders.push_back(path);
        }
    }
    return folders;
}

std::vector<std::string> FilesIn(const StatTree& tree, const std::string& folder)
{
    std::vector<std::string> files;
    for (const auto& [path, entry] : tree) {
        if (!entry.folder && !IsOwnFile(path) && SamePath(Parent(path), folder)) {
            files.push_back(path);
        }
    }
    return files;
}

void RunJudge::JudgeProtectedFolders(const LineRun& line)
{
    for (const std::string& folder : ProtectedFolders(line.before)) {
        std::vector<std::string> filesBefore = FilesIn(line.before, folder);
        bool removed = folder != "\\" && line.after.count(folder) == 0;
        // Emptied by a RMDIR that lands on it, under whatever spelling; a
        // single RM is judged by what it deletes.
        bool emptied = line.mark.command == PATCH_COMMAND_RMDIR && SamePath(line.mark.resolvedField, folder) &&
                       !filesBefore.empty() && FilesIn(line.after, folder).empty();
        if (!removed && !emptied) {
            continue;
        }
        std::vector<std::string> names;
        for (const Change& change : line.changes) {
            if (change.what == Change::Removed && !change.folder && IsUnder(change.path, folder)) {
                names.push_back(change.path);
            }
        }
        std::string role = SamePath(folder, kInstallFolder) ? "the install folder" : "the root folder";
        Add(Severity::Destroys, LineLabel(line.mark.number) + ": " + (removed ? "removes " : "empties ") +
            role + " " + folder + (names.empty() ? "" : "; deleted: " + JoinNames(names)));
    }
}

void RunJudge::JudgePackageDeletions(const LineRun& line)
{
    const JournalMark& mark = line.mark;
    bool moved = false;
    if (mark.command == PATCH_COMMAND_CP) {
        for (const Change& change : line.changes) {
            moved = moved || (change.what != Change::Removed && SamePath(change.path, mark.resolvedDestination));
        }
    }
    std::vector<std::string> names;
    for (const Change& change : line.changes) {
        bool list = SamePath(change.path, std::string(kUpdateFolder) + "\\patch_list.txt");
        if (change.what != Change::Removed || change.folder || !IsUnder(change.path, kUpdateFolder) || list ||
            (moved && SamePath(change.path, mark.resolvedSource))) {
            continue;
        }
        names.push_back(change.path);
        deleted_.insert(FoldCase(change.path));
    }
    if (!names.empty()) {
        Add(Severity::Destroys, LineLabel(mark.number) + ": deletes the package's own files before they "
            "are installed: " + JoinNames(names));
    }
}

void RunJudge::JudgeLog(const LineRun& line)
{
    const JournalMark& mark = line.mark;
    std::string label = LineLabel(mark.number) + ": ";
    switch (mark.command) {
    case PATCH_COMMAND_MKDIR:
        if (LogHas(line, "[806] 결과[0]")) {
            Add(Severity::Warning, label + "MKDIR " + mark.resolvedField + " fails (3 s): its parent "
                "folder is not on this terminal");
        }
        break;
    case PATCH_COMMAND_RM:
        if (LogHas(line, "[746]")) {
            Add(Severity::Warning, label + "RM of the folder " + mark.resolvedField + " does nothing");
        }
        break;
    case PATCH_COMMAND_CP:
        if (LogHas(line, "[826]")) {
            Add(Severity::Warning, label + "the package holds no " + mark.resolvedSource +
                ": this CP does nothing");
        } else if (LogHas(line, "[834]")) {
            Add(Severity::Warning, label + "source and destination are the same file " +
                mark.resolvedSource + ": nothing is copied; the file goes with the bulk move");
        } else if (LogHas(line, "[858] 결과[0]")) {
            Add(Severity::RunsAgain, label + "the copy to " + mark.resolvedDestination + " fails (3 s)" +
                (line.after.count(Parent(mark.resolvedDestination)) == 0 ? ": no folder " +
                 Parent(mark.resolvedDestination) + " on this terminal" : "") +
                "; the list is kept and the package runs again at every start");
        }
        break;
    case PATCH_COMMAND_SLEEP:
        sleepMs_ += line.sleptMs;
        if (line.sleptMs > kLongSleepMs) {
            Add(Severity::Warning, label + "SLEEP of " + FormatSeconds(line.sleptMs) +
                " blocks the start-up for more than a minute");
        }
        break;
    default:
        break;
    }
}

// The listed line learns where its paths landed and what changed.
void RunJudge::AttachEffects(const LineRun& line)
{
    for (ListedLine& listed : report_->lines) {
        if (listed.number != line.mark.number || listed.tail != line.mark.tail) {
            continue;
        }
        const JournalMark& mark = line.mark;
        if (mark.command == PATCH_COMMAND_CP) {
            listed.effects.push_back("resolves to " + mark.resolvedSource + " -> " + mark.resolvedDestination);
        } else if (mark.command != PATCH_COMMAND_KILL && mark.command != PATCH_COMMAND_SLEEP) {
            listed.effects.push_back("resolves to " + (mark.resolvedField.empty() ? "nothing (a network "
                                     "path)" : mark.resolvedField));
        }
        for (const Change& change : line.changes) {
            listed.effects.push_back(DescribeChange(change));
        }
        return;
    }
}

void RunJudge::JudgeLine(const LineRun& line)
{
    if (line.mark.lineKind != PATCH_LINE_COMMAND) {
        return;
    }
    AttachEffects(line);
    JudgeProtectedFolders(line);
    JudgePackageDeletions(line);
    JudgeLog(line);
}

std::string RunJudge::WhoRemoved(const std::string& path) const
{
    for (const LineRun& line : run_.starts[0].lines) {
        for (const Change& change : line.changes) {
            if (change.what == Change::Removed && SamePath(change.path, path)) {
                return LineLabel(line.mark.number);
            }
        }
    }
    return "the start-up";
}

// A file installed by the first start and removed by the next, or removed
// from the package before it was installed.
std::string RunJudge::HowLost(const std::string& path) const
{
    const StartRun& first = run_.starts.front();
    std::string relative = path.substr(1);
    for (char& c : relative) {
        c = c == '\\' ? '/' : c;
    }
    auto packaged = first.before.find(relative);
    for (const auto& [installed, entry] : first.after) {
        if (packaged == first.before.end() || entry.folder || entry.hash != packaged->second.hash ||
            installed.rfind(kPackageTreeFolder, 0) == 0) {
            continue;
        }
        std::string device = TreeToDevicePath(installed);
        for (const LineRun& line : run_.starts.back().lines) {
            for (const Change& change : line.changes) {
                if (change.what == Change::Removed && SamePath(change.path, device)) {
                    return "installed as " + device + " by the first start, removed by " +
                           LineLabel(line.mark.number) + " of the next";
                }
            }
        }
        return "installed as " + device + " by the first start, removed by the next";
    }
    return "removed by " + WhoRemoved(path);
}

// After the first start: the list and files that stay in the package.
void RunJudge::JudgeFirstStart()
{
    const StartRun& first = run_.starts[0];
    // A package left alone never runs: that is its whole verdict.
    if (report_->leftAlone) {
        return;
    }
    for (const Change& change : first.afterList) {
        if (change.what == Change::Removed && !change.folder && SamePath(Parent(change.path), kUpdateFolder) &&
            FoldCase(change.path).find("patch_list.txt") == std::string::npos) {
            report_->bulkMoves.push_back(change.path.substr(std::string(kUpdateFolder).size() + 1));
        }
    }
    bool failedCopy = false;
    for (const Finding& finding : report_->findings) {
        failedCopy = failedCopy || finding.severity == Severity::RunsAgain;
    }
    std::string top = std::string(kPackageTreeFolder) + "/";
    for (const auto& [path, entry] : first.after) {
        if (entry.folder || path.compare(0, top.size(), top) != 0 || path.find('/', top.size()) != std::string::npos) {
            continue;
        }
        std::string name = path.substr(top.size());
        std::string device = TreeToDevicePath(path);
        if (FoldCase(name) == "patch_list.txt") {
            if (!failedCopy) {
                Add(Severity::RunsAgain, "patch_list.txt: still in the package after the start; the "
                    "package runs again at every start");
            }
            continue;
        }
        // While the list is kept there is no bulk move: that is said once.
        if (failedCopy) {
            continue;
        }
        std::string installed = std::string(kInstallFolder) + "\\" + name;
        auto there = first.after.find(std::string("ResidentFlash/Hailnet/") + name);
        std::string why = there != first.after.end() && there->second.folder ?
            "collides with the folder " + installed + ": its move fails" : "its move failed";
        Add(Severity::RunsAgain, device + ": still in the package after the start (" + why +
            "): Hailnet, Hailwire and Hailfare are closed and the move tried again at every start");
    }
}

// After the last start: watched applications and the package's files.
void RunJudge::JudgeLastStart()
{
    const Tree& before = run_.starts.front().before;
    const Tree& after = run_.starts.back().after;
    for (const char* image : kWatchedImages) {
        std::string path = std::string("ResidentFlash/Hailnet/") + image;
        if (before.count(path) != 0 && after.count(path) == 0) {
            std::string device = TreeToDevicePath(path);
            Add(Severity::Destroys, device + ": deleted by " + WhoRemoved(device) +
                " and not replaced: the watchdog can no longer start it");
        }
    }
    for (const std::string& lost : LostPackageFiles(before, after)) {
        if (deleted_.count(FoldCase(lost)) == 0) {
            Add(Severity::Destroys, lost + ": lost: neither installed nor still in the package after "
                "the next start (" + HowLost(lost) + ")");
        }
    }
    for (const std::string& left : UnmovedSubfolderFiles(before, after)) {
        Add(Severity::Warning, left + ": in a subfolder that nothing moves: never installed");
    }
}

void RunJudge::CountTime()
{
    const StartRun& first = run_.starts[0];
    unsigned long long posts = 0;
    for (const std::string& message : first.messages) {
        posts += message.find("WM_DESTROY") != std::string::npos ? 1 : 0;
    }
    report_->killMs = posts * kPostPauseMs;
    report_->sleepMs = sleepMs_;
    unsigned long long known = report_->killMs + report_->sleepMs;
    report_->failureMs = first.blockedMs > known ? first.blockedMs - known : 0;
    if (sleepMs_ > kTooLongSleepMs) {
        Add(Severity::Blocks, "SLEEP lines block every start for " + FormatSeconds(sleepMs_) +
            ", more than 5 minutes: the list is deleted only after them, so a terminal switched off "
            "sooner runs them again at every start");
    }
}

void RunJudge::Judge()
{
    const StartRun& first = run_.starts[0];
    for (const LineRun& line : first.lines) {
        JudgeLine(line);
    }
    CountTime();
    JudgeFirstStart();
    JudgeLastStart();
}

} // namespace

std::vector<int> LinesToCut(const CheckRun& run)
{
    std::vector<int> lines;
    for (const LineRun& line : run.starts.front().lines) {
        if (!line.changes.empty() && (lines.empty() || lines.back() != line.mark.number)) {
            lines.push_back(line.mark.number);
        }
    }
    return lines;
}

void JudgeCuts(const std::vector<CutLoss>& losses, CheckReport* report)
{
    // A file the run already called deleted or lost is not named twice.
    auto said = [report](const std::string& path) {
        for (const Finding& finding : report->findings) {
            if (finding.severity == Severity::Destroys && finding.text.find(path) != std::string::npos) {
                return true;
            }
        }
        return false;
    };
    for (const CutLoss& loss : losses) {
        for (const std::string& path : loss.lost) {
            if (!said(path)) {
                report->findings.push_back({Severity::Destroys, path + ": lost when the power fails "
                    "right after " + LineLabel(loss.line) + " and the next starts take the list up again"});
            }
        }
    }
}

void JudgeRun(const CheckRun& run, CheckReport* report)
{
    if (run.starts.empty()) {
        return;
    }
    RunJudge judge(run, report);
    judge.Judge();
    if (run.starts.size() > 1) {
        const StartRun& next = run.starts[1];
        for (const std::string& line : DescribeChanges(next.before, next.after)) {
            if (line.find("\\ResidentFlash\\Log\\hailwatch-") == std::string::npos &&
                line.find("\\ResidentFlash\\Hailnet\\update.resume-") == std::string::npos) {
                report->nextStart.push_back(line);
            }
        }
    }
}

} // namespace hailpatch
