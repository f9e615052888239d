#include "start_trace.h"

#include <algorithm>

#include "core_hooks.h"
#include "list_record.h"
#include "model_terminal.h"
#include "patch/ListProgress.h"
#include "platform/host/host_control.h"

namespace hailpatch {

namespace {

std::string ParentOf(const std::string& path)
{
    size_t last = path.rfind('\\');
    return last == 0 || last == std::string::npos ? "\\" : path.substr(0, last);
}

class TraceObserver : public StartObserver {
public:
    TraceObserver(StartTrace* trace, const Checkpoint& checkpoint, ListRecordReader* lists)
        : trace_(trace), checkpoint_(checkpoint), lists_(lists)
    {
    }

    void FolderTested(const char* folder, int answer) override
    {
        if (std::string(folder) == kUpdateFolder) {
            Add(Step::PackageTested).result = answer;
        }
    }
    void PackageVerifying() override { Add(Step::Verified).result = 1; }
    void PackageVerified(int applies) override
    {
        for (auto step = trace_->steps.rbegin(); step != trace_->steps.rend(); ++step) {
            if (step->kind == Step::Verified) {
                step->result = applies;
                break;
            }
        }
    }
    void ListOpened(bool once) override;
    void RecordLoaded(int loaded, const ListProgress& progress) override;
    bool ListMeasured(const char* listPath, DWORD* bytes, DWORD* crc) override
    {
        return lists_ != nullptr && lists_->Measure(listPath, bytes, crc);
    }
    void LineRead(int number, bool tail, PatchLine* parsed) override;
    void ListClosed(int result) override;
    void CopyStarting(const char* source, const char* destination) override;
    void CopyDone(int result) override;
    void FolderDeleting(const char* folder) override;
    void FolderCopied() override { Add(Step::BulkDone); }

private:
    Step& Add(Step::Kind kind);
    bool IsDue(const Step& step) const;
    void Stop();

    StartTrace* trace_;
    const Checkpoint& checkpoint_;
    ListRecordReader* lists_;
    bool inList_ = false;
    bool listFailed_ = false;
    bool recorded_ = false;        // the list's progress record belongs to it
    bool awaitingRecord_ = false;  // the first pass opened, its record not yet read
    ListProgress progress_ = {};
};

Step& TraceObserver::Add(Step::Kind kind)
{
    Step step;
    step.kind = kind;
    step.inList = inList_;
    step.listFailed = listFailed_;
    step.journal = host::JournalLength();
    step.logLines = host::DebugOutput().size();
    step.messages = host::Trace().size();
    step.sleptMs = host::SleptMilliseconds();
    trace_->steps.push_back(step);
    return trace_->steps.back();
}

// The lines the interpreter runs are those its own record says are due.
void TraceObserver::ListOpened(bool once)
{
    inList_ = true;
    recorded_ = false;
    awaitingRecord_ = once;
    Add(Step::ListOpened);
}

// The first pass reads its record before its first line: the record its
// lines are due by, taken as the list took it rather than measured again.
void TraceObserver::RecordLoaded(int loaded, const ListProgress& progress)
{
    if (awaitingRecord_) {
        awaitingRecord_ = false;
        recorded_ = loaded == 1;
        progress_ = progress;
    }
}

bool TraceObserver::IsDue(const Step& step) const
{
    if (step.lineKind != PATCH_LINE_COMMAND) {
        return false;
    }
    return !recorded_ || IsLineDue(&progress_, static_cast<DWORD>(step.number),
                                   step.command == PATCH_COMMAND_CP) != 0;
}

void TraceObserver::Stop()
{
    trace_->stopped = true;
    host::CutPower();
}

void TraceObserver::LineRead(int number, bool tail, PatchLine* parsed)
{
    // A line read outside the run of the list (a signed package's review of
    // it) is no step.
    if (!inList_) {
        return;
    }
    // Once stopped, the rest of the list is skipped: nothing it does counts.
    if (trace_->stopped) {
        parsed->kind = PATCH_LINE_TOO_SHORT;
        return;
    }
    // A line the interpreter passes over leaves no step (a start that
    // resumes reads every line before the first one due).
    if (recorded_ && (parsed->kind != PATCH_LINE_COMMAND ||
                      !IsLineDue(&progress_, static_cast<DWORD>(number), parsed->command == PATCH_COMMAND_CP))) {
        return;
    }
    Step& step = Add(Step::Line);
    step.number = number;
    step.tail = tail;
    step.lineKind = parsed->kind;
    step.command = parsed->command;
    step.field = parsed->fieldCount > 0 ? parsed->fields[0] : "";
    step.due = IsDue(step);
    bool names = step.command == PATCH_COMMAND_RM || step.command == PATCH_COMMAND_RMDIR ||
                 step.command == PATCH_COMMAND_MKDIR || step.command == PATCH_COMMAND_CP;
    if (step.due && names) {
        step.resolvedField = ResolveDevicePath(step.field);
        if (parsed->command == PATCH_COMMAND_CP) {
            step.source = parsed->source;
            step.destination = parsed->destination;
            step.resolvedSource = ResolveDevicePath(step.source);
            step.resolvedDestination = ResolveDevicePath(step.destination);
        }
        if (!step.resolvedField.empty()) {
            step.fieldState = host::StateOf(step.resolvedField);
        }
        const std::string& placed = step.command == PATCH_COMMAND_CP ? step.resolvedDestination : step.resolvedField;
        if (!placed.empty()) {
            step.parentState = host::StateOf(ParentOf(placed));
        }
    }
    if (step.due) {
        if (checkpoint_ && checkpoint_(step)) {
            Stop();
            parsed->kind = PATCH_LINE_TOO_SHORT;
        }
    }
}

void TraceObserver::ListClosed(int result)
{
    Add(Step::ListClosed).result = result;
    inList_ = false;
}

void TraceObserver::CopyStarting(const char* source, const char* destination)
{
    Step& step = Add(Step::Copy);
    step.source = source;
    step.destination = destination;
    if (!inList_ && !trace_->stopped && checkpoint_ && checkpoint_(step)) {
        Stop();
    }
}

void TraceObserver::CopyDone(int result)
{
    for (auto step = trace_->steps.rbegin(); step != trace_->steps.rend(); ++step) {
        if (step->kind == Step::Copy) {
            step->result = result;
            break;
        }
    }
    listFailed_ = listFailed_ || (inList_ && result == 0);
}

// Outside the list, a folder deleted is a staging folder being cleared.
void TraceObserver::FolderDeleting(const char* folder)
{
    if (!inList_) {
        Add(Step::Staging).field = folder;
    }
}

} // namespace

bool StartTrace::ListRan() const
{
    for (const Step& step : steps) {
        if (step.kind == Step::ListOpened) {
            return true;
        }
    }
    return false;
}

bool StartTrace::TookPackage() const
{
    for (const Step& step : steps) {
        if (step.kind == Step::ListOpened || (step.kind == Step::Copy && !step.inList)) {
            return true;
        }
    }
    return false;
}

bool StartTrace::Refused() const
{
    for (const Step& step : steps) {
        if (step.kind == Step::Verified && step.result == 0) {
            return true;
        }
    }
    return false;
}

const Step* StartTrace::StepOf(std::size_t entry) const
{
    auto after = std::upper_bound(steps.begin(), steps.end(), entry,
                                  [](std::size_t at, const Step& step) { return at < step.journal; });
    return after == steps.begin() ? nullptr : &*(after - 1);
}

// A line's copy is part of the line.
std::size_t StartTrace::NextStep(std::size_t index) const
{
    std::size_t next = index + 1;
    while (steps[index].kind == Step::Line && next < steps.size() && steps[next].kind == Step::Copy &&
           steps[next].inList) {
        ++next;
    }
    return next;
}

std::size_t StartTrace::StepEnd(std::size_t index) const
{
    std::size_t next = NextStep(index);
    return next < steps.size() ? steps[next].journal : journalEnd;
}

std::vector<std::string> StartTrace::StepLog(std::size_t index) const
{
    const std::vector<std::string>& log = outcome.log;
    std::size_t next = NextStep(index);
    std::size_t from = std::min(steps[index].logLines, log.size());
    std::size_t to = next < steps.size() ? std::min(steps[next].logLines, log.size()) : log.size();
    return std::vector<std::string>(log.begin() + static_cast<long>(from),
                                    log.begin() + static_cast<long>(std::max(from, to)));
}

StartTrace RunTracedStart(const StartupSetup& setup, const Checkpoint& checkpoint, ListRecordReader* lists)
{
    StartTrace trace;
    trace.journalBegin = host::JournalLength();
    TraceObserver observer(&trace, checkpoint, lists);
    ObserveStarts(&observer);
    trace.outcome = RunStartup(setup);
    ObserveStarts(nullptr);
    trace.journalEnd = host::JournalLength();
    // The device is looked at after a stopped start too.
    if (trace.stopped) {
        host::Reset();
    }
    return trace;
}

} // namespace hailpatch
