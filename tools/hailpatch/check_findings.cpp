#include "check_findings.h"

#include <set>

#include "device_tracker.h"
#include "own_files.h"
#include "package_files.h"
#include "rollback_findings.h"
#include "model_terminal.h"
#include "patch/PathText.h"
#include "platform/host/host_control.h"

namespace hailpatch {

namespace {

const unsigned long long kLongSleepMs = 60000;       // one SLEEP worth a look
const unsigned long long kTooLongSleepMs = 300000;   // SLEEPs that block the start-up too long
const unsigned long long kPostPauseMs = 1000;        // after each WM_DESTROY post
// The terminal's MAX_PATH in UTF-16 units, the terminating zero included.
const size_t kMaxPathUnits = 260;

// What the operations of the terminal say in its log.
const char kMkdirFailed[] = "[806] 결과[0]";
const char kRemovedFolder[] = "[746]";
const char kRemoveFailed[] = "[764] 결과[0]";
const char kNoSource[] = "[826]";
const char kSamePath[] = "[834]";
const char kCopyFailed[] = "[858] 결과[0]";
const char kOwnWindow[] = "[713]";

std::string Fold(std::string text)
{
    for (char& c : text) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return text;
}

bool SamePath(const std::string& a, const std::string& b)
{
    return !a.empty() && !b.empty() && IsSamePath(host::Widen(a).c_str(), host::Widen(b).c_str()) != 0;
}

std::string Parent(const std::string& path)
{
    size_t last = path.rfind('\\');
    return last == 0 || last == std::string::npos ? "\\" : path.substr(0, last);
}

std::string LineLabel(int number)
{
    return "line " + std::to_string(number);
}

std::string StepLabel(const Step& step)
{
    switch (step.kind) {
    case Step::Line: return LineLabel(step.number);
    case Step::Copy: return "the bulk move";
    case Step::Staging: return "the staging step";
    case Step::ListClosed: return "the deletion of the list";
    case Step::BulkDone: return "the end of the update";
    default: return "the start-up";
    }
}

std::string JoinNames(const std::vector<std::string>& names)
{
    std::string joined;
    for (const std::string& name : names) {
        joined += (joined.empty() ? "" : ", ") + name;
    }
    return joined;
}

bool Has(const std::vector<std::string>& log, const std::string& text)
{
    for (const std::string& entry : log) {
        if (entry.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// The name a line gives, as it resolved on the terminal or, where it names
// nothing there, as the line spells it.
std::string Named(const std::string& resolved, const std::string& raw949)
{
    return resolved.empty() ? host::Cp949ToUtf8(raw949) : resolved;
}

// "+1000 ms WM_DESTROY posted to [Hailnet]": the title.
std::string PostedTitle(const std::string& message)
{
    size_t open = message.find("WM_DESTROY posted to [");
    if (open == std::string::npos) {
        return "";
    }
    open += std::string("WM_DESTROY posted to [").size();
    size_t close = message.rfind(']');
    return close == std::string::npos || close < open ? "" : message.substr(open, close - open);
}

class RunJudge {
public:
    RunJudge(const CheckRun& run, CheckReport* report) : run_(run), report_(report) {}
    void Judge();

private:
    void JudgeLine(size_t index);
    void AttachEffects(const Step& step, const std::vector<PathChange>& changes);
    void JudgeRoots(const Step& step, const std::vector<PathChange>& changes);
    void JudgePackageDeletions(const Step& step, const std::vector<PathChange>& changes);
    void JudgeOperation(const Step& step, const std::vector<std::string>& log, unsigned long long slept);
    void JudgeNames(const Step& step);
    void JudgeClosedWindows(size_t index);
    void JudgeOwnFiles();
    void JudgeLeftovers();
    void JudgeBreaches();
    void JudgeCuts();
    void JudgeRollback();
    void JudgeBulkMove();
    void CountTime();
    std::string WhoChanged(const std::string& path) const;
    bool Reported(const std::string& path) const;

    const CheckRun& run_;
    CheckReport* report_;
    std::set<std::string> deleted_;   // package files a line deleted, folded
    unsigned long long sleepMs_ = 0;
    bool failedCopy_ = false;
};

void RunJudge::AttachEffects(const Step& step, const std::vector<PathChange>& changes)
{
    for (ListedLine& listed : report_->lines) {
        if (listed.number != step.number || listed.tail != step.tail) {
            continue;
        }
        if (step.command == PATCH_COMMAND_CP) {
            listed.effects.push_back("resolves to " + Named(step.resolvedSource, step.source) + " -> " +
                                     Named(step.resolvedDestination, step.destination));
        } else if (step.command != PATCH_COMMAND_KILL && step.command != PATCH_COMMAND_SLEEP) {
            listed.effects.push_back("resolves to " + (step.resolvedField.empty() ? "nothing (a network "
                                     "path or a name the terminal cannot take)" : step.resolvedField));
        }
        for (const PathChange& change : changes) {
            if (!IsBookkeeping(change.path)) {
                listed.effects.push_back(DescribeChange(change));
            }
        }
        return;
    }
}

// A RMDIR that lands on a root folder, the install folder or the package,
// under whatever spelling, empties it of its files.
void RunJudge::JudgeRoots(const Step& step, const std::vector<PathChange>& changes)
{
    if (step.command != PATCH_COMMAND_RMDIR) {
        return;
    }
    for (const std::string& root : run_.roots) {
        if (Fold(step.resolvedField) != Fold(root)) {
            continue;
        }
        std::vector<std::string> names;
        for (const PathChange& change : changes) {
            if (change.before.exists && !change.before.folder && !change.after.exists &&
                Fold(Parent(change.path)) == Fold(root) && !IsBookkeeping(change.path)) {
                names.push_back(change.path);
            }
        }
        if (names.empty()) {
            continue;
        }
        std::string role = Fold(root) == Fold(kInstallFolder) ? "the install folder"
                         : Fold(root) == Fold(kUpdateFolder) ? "the package" : "the root folder";
        report_->Add(Severity::Destroys, LineLabel(step.number) + ": empties " + role + " " + root +
                     "; deleted: " + JoinNames(names), step.number, names);
    }
}

void RunJudge::JudgePackageDeletions(const Step& step, const std::vector<PathChange>& changes)
{
    bool moved = false;
    if (step.command == PATCH_COMMAND_CP) {
        for (const PathChange& change : changes) {
            moved = moved || (change.after.exists && SamePath(change.path, step.resolvedDestination));
        }
    }
    std::vector<std::string> names;
    for (const PathChange& change : changes) {
        bool list = Fold(change.path) == Fold(std::string(kUpdateFolder) + "\\patch_list.txt");
        if (change.after.exists || !change.before.exists || change.before.folder ||
            !Invariants::InPackage(change.path) || list || (moved && SamePath(change.path, step.resolvedSource))) {
            continue;
        }
        names.push_back(change.path);
        deleted_.insert(Fold(change.path));
    }
    if (!names.empty()) {
        report_->Add(Severity::Destroys, LineLabel(step.number) + ": deletes the package's own files before "
                     "they are installed: " + JoinNames(names), step.number, names);
    }
}

void RunJudge::JudgeOperation(const Step& step, const std::vector<std::string>& log, unsigned long long slept)
{
    std::string label = LineLabel(step.number) + ": ";
    std::string field = Named(step.resolvedField, step.field);
    switch (step.command) {
    case PATCH_COMMAND_MKDIR:
        if (Has(log, kMkdirFailed)) {
            report_->Add(Severity::Warning, label + "MKDIR " + field + " fails (3 s): " +
                         (step.parentState.exists ? "the terminal cannot make a folder of that name"
                                                  : "its parent folder " + Parent(field) + " is not on this terminal"),
                         step.number, {field});
        }
        break;
    case PATCH_COMMAND_RM:
        if (Has(log, kRemovedFolder)) {
            report_->Add(Severity::Warning, label + "RM of the folder " + field + " does nothing (RMDIR "
                         "removes folders)", step.number, {field});
        } else if (Has(log, kRemoveFailed)) {
            bool readOnly = (step.fieldState.attributes & FILE_ATTRIBUTE_READONLY) != 0;
            report_->Add(Severity::Warning, label + "RM of " + field + " fails (3 s)" +
                         (readOnly ? ": the file is read-only, which the terminal's RM does not clear" : "") +
                         "; it stays", step.number, {field});
        }
        break;
    case PATCH_COMMAND_CP: {
        std::string source = Named(step.resolvedSource, step.source);
        std::string destination = Named(step.resolvedDestination, step.destination);
        if (Has(log, kNoSource)) {
            report_->Add(Severity::Warning, label + "the package holds no " + source + ": this CP does nothing",
                         step.number, {source});
        } else if (Has(log, kSamePath)) {
            report_->Add(Severity::Warning, label + "source and destination are the same file " + source +
                         ": nothing is copied; the file goes with the bulk move", step.number, {source});
        } else if (Has(log, kCopyFailed)) {
            failedCopy_ = true;
            std::string next = run_.completedBySecond ? "the next start resumes the list and completes the package"
                                                      : "the next start fails it again: the package is never done";
            report_->Add(Severity::RunsAgain, label + "the copy to " + destination + " fails (3 s)" +
                         (step.parentState.exists ? "" : ": no folder " + Parent(destination) + " on this terminal") +
                         "; the list is kept and nothing is moved in bulk; " + next, step.number, {destination});
        }
        break;
    }
    case PATCH_COMMAND_KILL:
        if (Has(log, kOwnWindow)) {
            report_->Add(Severity::Warning, label + "KILL " + host::Cp949ToUtf8(step.field) + " names the "
                         "supervisor's own window, which it never closes: the line does nothing", step.number);
        }
        break;
    case PATCH_COMMAND_SLEEP:
        sleepMs_ += slept;
        if (slept > kLongSleepMs) {
            report_->Add(Severity::Warning, label + "SLEEP of " + FormatSeconds(slept) +
                         " blocks the start-up for more than a minute", step.number);
        }
        break;
    default:
        break;
    }
}

// Names the terminal takes as they stand: a wildcard matches nothing.
void RunJudge::JudgeNames(const Step& step)
{
    std::string names = step.command == PATCH_COMMAND_CP ? step.source + step.destination : step.field;
    if (step.command == PATCH_COMMAND_KILL || step.command == PATCH_COMMAND_SLEEP ||
        names.find_first_of("*?") == std::string::npos) {
        return;
    }
    std::string named = host::Cp949ToUtf8(step.command == PATCH_COMMAND_CP ? step.source : step.field);
    report_->Add(Severity::Warning, LineLabel(step.number) + ": " + PatchKeyword(step.command) + " of " + named +
                 ": the terminal takes * and ? as part of the name, not as a pattern, so this does nothing",
                 step.number, {named});
}

void RunJudge::JudgeClosedWindows(size_t index)
{
    const StartTrace& first = run_.first;
    const Step& step = first.steps[index];
    size_t next = first.NextStep(index);
    size_t end = next < first.steps.size() ? first.steps[next].messages : first.outcome.messages.size();
    std::set<std::string> named;
    for (size_t i = step.messages; i < end && i < first.outcome.messages.size(); ++i) {
        std::string title = PostedTitle(first.outcome.messages[i]);
        if (Fold(title) != "roadlens" || !named.insert(title).second) {
            continue;
        }
        report_->Add(Severity::Warning, LineLabel(step.number) + ": closes the navigation application " + title +
                     ", which nothing starts again until the terminal restarts (the watchdog starts only Hailnet, "
                     "Hailwire, Hailfare and Hailtrack)", step.number);
    }
}

void RunJudge::JudgeLine(size_t index)
{
    const Step& step = run_.first.steps[index];
    if (step.kind != Step::Line || !step.due) {
        return;
    }
    const std::vector<PathChange>& changes = run_.stepChanges[index];
    std::vector<std::string> log = run_.first.StepLog(index);
    size_t next = run_.first.NextStep(index);
    unsigned long long slept = (next < run_.first.steps.size() ? run_.first.steps[next].sleptMs
                                                               : run_.first.outcome.blockedMs) - step.sleptMs;
    AttachEffects(step, changes);
    JudgeRoots(step, changes);
    JudgePackageDeletions(step, changes);
    JudgeOperation(step, log, slept);
    JudgeNames(step);
    if (step.command == PATCH_COMMAND_KILL) {
        JudgeClosedWindows(index);
    }
}

// The step that last changed a path in the first start.
std::string RunJudge::WhoChanged(const std::string& path) const
{
    std::string who = "the start-up";
    for (size_t i = 0; i < run_.stepChanges.size(); ++i) {
        for (const PathChange& change : run_.stepChanges[i]) {
            if (Fold(change.path) != Fold(path)) {
                continue;
            }
            const Step& step = run_.first.steps[i];
            if (!(step.kind == Step::Copy && step.inList)) {
                who = StepLabel(step);
            }
        }
    }
    return who;
}

void RunJudge::JudgeBulkMove()
{
    if (report_->leftAlone) {
        return;
    }
    for (size_t i = 0; i < run_.first.steps.size(); ++i) {
        const Step& step = run_.first.steps[i];
        std::string source = host::Cp949ToUtf8(step.source);
        bool moved = false;
        for (const PathChange& change : run_.stepChanges[i]) {
            moved = moved || (Fold(change.path) == Fold(source) && !change.after.exists);
        }
        if (step.kind == Step::Copy && !step.inList && moved) {
            report_->bulkMoves.push_back(source.substr(std::string(kUpdateFolder).size() + 1));
            std::string destination = host::Cp949ToUtf8(step.destination);
            if (host::Widen(destination).size() + 1 > kMaxPathUnits) {
                report_->Add(Severity::Warning, destination + ": " + std::to_string(host::Widen(destination).size()) +
                             " characters, over the terminal's limit of " + std::to_string(kMaxPathUnits - 1) +
                             ": its move may fail on a terminal", 0, {destination});
            }
        }
    }
}

void RunJudge::JudgeLeftovers()
{
    if (report_->leftAlone || run_.first.Refused()) {
        return;
    }
    std::string next = run_.completedBySecond ? "the next start completes it"
                                              : "the next start takes it up again, and so does every start after";
    for (const LeftFile& left : run_.leftInPackage) {
        const std::string& name = left.name;
        std::string device = std::string(kUpdateFolder) + "\\" + name;
        if (Fold(name) == "patch_list.txt") {
            if (!failedCopy_) {
                report_->Add(Severity::RunsAgain, "patch_list.txt: still in the package after the start (it could "
                             "not be deleted); " + next, 0, {device});
            }
            continue;
        }
        // While the list is kept there is no bulk move: that is said once.
        if (failedCopy_) {
            continue;
        }
        std::string installed = std::string(kInstallFolder) + "\\" + name;
        std::string why = left.collides ? "collides with the folder " + installed + ": its move fails"
                                        : "its move failed";
        report_->Add(Severity::RunsAgain, device + ": still in the package after the start (" + why + "): "
                     "Hailnet, Hailwire and Hailfare are closed and the move tried again; " + next, 0, {device});
    }
}

// A file some finding already calls destroyed or lost.
bool RunJudge::Reported(const std::string& path) const
{
    for (const Finding& finding : report_->findings) {
        if (finding.severity != Severity::Destroys) {
            continue;
        }
        for (const std::string& file : finding.files) {
            if (Fold(file) == Fold(path)) {
                return true;
            }
        }
    }
    return deleted_.count(Fold(path)) != 0;
}

void RunJudge::JudgeBreaches()
{
    for (const std::string& image : run_.afterFirst.missingImages) {
        bool folder = run_.afterFirst.folderImages.count(image) != 0;
        report_->Add(Severity::Destroys, image + (folder ? ": replaced by a folder by " : ": deleted by ") +
                     WhoChanged(image) + (folder ? "" : " and not replaced") +
                     ": the watchdog can no longer start it", 0, {image});
    }
    for (const std::string& path : run_.unmoved) {
        if (!IsSignatureName(path.substr(std::string(kUpdateFolder).size() + 1))) {
            report_->Add(Severity::Warning, path + ": in a subfolder that nothing moves: never installed", 0, {path});
        }
    }
    for (const std::string& folder : run_.afterFirst.removedRoots) {
        report_->Add(Severity::Destroys, WhoChanged(folder) + ": removes " + folder, 0, {folder});
    }
    std::set<std::string> said;
    for (const Breaches* breaches : {&run_.afterFirst, &run_.afterSecond}) {
        for (const std::string& lost : breaches->lostFiles) {
            std::string path = lost.substr(0, lost.find(": "));
            if (Reported(path) || !said.insert(Fold(path)).second) {
                continue;
            }
            report_->Add(Severity::Destroys, path + ": lost: neither installed nor still in the package after the "
                         "next start (" + lost.substr(path.size() + 2) + ")", 0, {path});
        }
    }
    if (run_.first.outcome.supervisorClosed) {
        report_->Add(Severity::Destroys, "a KILL line closes the supervisor itself: the applications the update "
                     "closes are not started again until the next power-up");
    }
}

// Each file or folder a cut endangers is named once, with the first cut
// that shows it.
void RunJudge::JudgeCuts()
{
    std::set<std::string> said;
    for (const CutBreach& cut : run_.cuts) {
        for (const std::string& lost : cut.breaches.lostFiles) {
            std::string path = lost.substr(0, lost.find(": "));
            if (Reported(path) || !said.insert(Fold(path)).second) {
                continue;
            }
            report_->Add(Severity::Destroys, path + ": lost when the power fails " + cut.cut + ", and the "
                         "next starts take the update up again: " + lost.substr(path.size() + 2), 0, {path});
        }
        for (const std::string& image : cut.breaches.missingImages) {
            if (!Reported(image) && said.insert(Fold(image)).second) {
                report_->Add(Severity::Destroys, image + ": gone when the power fails " + cut.cut + ": the watchdog "
                             "can no longer start it", 0, {image});
            }
        }
        for (const std::string& folder : cut.breaches.removedRoots) {
            if (!Reported(folder) && said.insert(Fold(folder)).second) {
                report_->Add(Severity::Destroys, folder + ": removed when the power fails " + cut.cut, 0, {folder});
            }
        }
    }
}

// The supervisor's own files: switching logging off, the fleet's key.
void RunJudge::JudgeOwnFiles()
{
    for (size_t i = 0; i < run_.stepChanges.size(); ++i) {
        const Step& step = run_.first.steps[i];
        // The supervisor's own writes (the note, the record) are no package's.
        bool packages = step.kind == Step::Line || (step.kind == Step::Copy && !step.inList);
        if (!packages) {
            continue;
        }
        std::string by = StepLabel(step);
        for (const PathChange& change : run_.stepChanges[i]) {
            std::string role = OwnFileRole(change.path);
            if (role.empty() || IsBookkeeping(change.path)) {
                continue;
            }
            std::string folded = Fold(change.path);
            if (folded == Fold(std::string(kInstallFolder) + "\\LogMsg") && !change.after.exists) {
                report_->Add(Severity::Warning, by + ": removes " + change.path + ": logging is switched off on "
                             "every terminal that takes the package", step.number, {change.path});
            } else if (folded == Fold(std::string(kInstallFolder) + "\\update.pub")) {
                if (!change.after.exists) {
                    report_->Add(Severity::Warning, by + ": removes " + change.path + ": the terminal then "
                                 "applies unsigned packages", step.number, {change.path});
                } else if (run_.installedKey == "invalid") {
                    report_->Add(Severity::Breaks, by + ": installs " + change.path + ", which is no key the "
                                 "terminal can use: every later package is refused", step.number, {change.path});
                } else if (run_.installedKey.rfind("valid ", 0) == 0) {
                    report_->Add(Severity::Warning, by + ": installs a new fleet key (SHA-256 " +
                                 run_.installedKey.substr(6, 16) + "...): terminals that take the package then "
                                 "apply only packages signed by its private key", step.number, {change.path});
                }
            } else {
                report_->Add(Severity::Warning, by + ": changes " + change.path + ", " + role, step.number,
                             {change.path});
            }
        }
    }
}

// On a terminal that asks for rollbacks: what one could not take back.
void RunJudge::JudgeRollback()
{
    if (!run_.asksForRollbacks) {
        return;
    }
    for (const RollbackBlindSpot& spot : FindRollbackBlindSpots(FirstStartChanges(run_))) {
        report_->Add(Severity::Warning, DescribeBlindSpot(spot), spot.line, {spot.path});
    }
}

void RunJudge::CountTime()
{
    const StartTrace& first = run_.first;
    unsigned long long posts = 0;
    for (const std::string& message : first.outcome.messages) {
        posts += message.find("WM_DESTROY") != std::string::npos ? 1 : 0;
    }
    report_->killMs = posts * kPostPauseMs;
    report_->sleepMs = sleepMs_;
    unsigned long long known = report_->killMs + report_->sleepMs;
    report_->failureMs = first.outcome.blockedMs > known ? first.outcome.blockedMs - known : 0;
    if (sleepMs_ > kTooLongSleepMs) {
        report_->Add(Severity::Blocks, "SLEEP lines block the start-up for " + FormatSeconds(sleepMs_) +
                     ", more than 5 minutes, in which the supervisor handles nothing (a terminal switched off "
                     "sooner takes the list up after the last SLEEP done)");
    }
}

void RunJudge::Judge()
{
    if (run_.first.Refused()) {
        return;
    }
    for (size_t i = 0; i < run_.first.steps.size(); ++i) {
        JudgeLine(i);
    }
    CountTime();
    JudgeBulkMove();
    JudgeLeftovers();
    JudgeOwnFiles();
    JudgeBreaches();
    JudgeCuts();
    JudgeRollback();
    for (const PathChange& change : run_.nextStart) {
        report_->nextStart.push_back(DescribeChange(change));
    }
}

// A keyed terminal's refusal: the <E> line it writes says why.
void JudgeRefusal(const CheckRun& run, CheckReport* report)
{
    if (!run.keyed) {
        return;
    }
    if (!run.first.Refused()) {
        report->signature = "good; the terminal holding update.pub applies the package";
        return;
    }
    std::string why;
    for (size_t i = 0; i < run.first.steps.size(); ++i) {
        if (run.first.steps[i].kind == Step::Verified) {
            for (const std::string& line : run.first.StepLog(i)) {
                why = line.find("<E>") != std::string::npos ? line.substr(line.find("<E>") + 4) : why;
            }
        }
    }
    report->signature = "refused: " + why;
    // The refusal line names the file it stopped at after its tag.
    std::string named = why.substr(why.find(' ') + 1);
    named = named.substr(0, named.find(' '));
    report->Add(Severity::NotApplied, "the terminal holds update.pub and refuses the package at verification (" +
                why + "): nothing is closed and nothing is changed; the package stays whole on the card", 0,
                named.rfind('\\', 0) == 0 ? std::vector<std::string>{named} : std::vector<std::string>{});
}

} // namespace

void JudgeRun(const CheckRun& run, CheckReport* report)
{
    report->keyed = run.keyed;
    report->cutPoints = run.counts.cuts;
    report->resumedCutPoints = run.counts.resumedCuts;
    JudgeRefusal(run, report);
    RunJudge judge(run, report);
    judge.Judge();
}

} // namespace hailpatch
