#include "event_store.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "spill.h"

namespace hailog {
namespace {

bool Earlier(const std::pair<std::uint64_t, Event>& a, const std::pair<std::uint64_t, Event>& b)
{
    return a.second.time != b.second.time ? a.second.time < b.second.time : a.first < b.first;
}

size_t BytesOf(const Event& event)
{
    size_t bytes = sizeof(Event) + sizeof(std::uint64_t) + event.application.size() + event.version.size() +
                   event.file.size() + event.update.package.size() +
                   event.lost.firstFile.size() + event.lost.lastFile.size();
    for (const auto* list : {&event.lines, &event.update.failed, &event.update.closed})
        for (const std::string& text : *list)
            bytes += sizeof(std::string) + text.size();
    return bytes;
}

// The events' own binary form, read back by the same program only: each
// event a record, its length first, written and read with one call each.
class Writer {
public:
    void Number(std::int64_t value) { bytes_.append(reinterpret_cast<const char*>(&value), sizeof(value)); }
    void Text(const std::string& text)
    {
        Number(static_cast<std::int64_t>(text.size()));
        bytes_.append(text);
    }
    void Texts(const std::vector<std::string>& texts)
    {
        Number(static_cast<std::int64_t>(texts.size()));
        for (const std::string& text : texts)
            Text(text);
    }
    void WriteTo(std::FILE* file)
    {
        const std::int64_t size = static_cast<std::int64_t>(bytes_.size());
        if (std::fwrite(&size, sizeof(size), 1, file) != 1 ||
            std::fwrite(bytes_.data(), 1, bytes_.size(), file) != bytes_.size())
            throw std::runtime_error("cannot write a temporary file (is the disk full?)");
    }

private:
    std::string bytes_;
};

class Reader {
public:
    // False at the end of the file.
    bool ReadFrom(std::FILE* file)
    {
        std::int64_t size = 0;
        if (std::fread(&size, sizeof(size), 1, file) != 1)
            return false;
        bytes_.resize(static_cast<size_t>(size));
        if (size > 0 && std::fread(&bytes_[0], 1, bytes_.size(), file) != bytes_.size())
            throw std::runtime_error("a temporary file came back short");
        at_ = 0;
        return true;
    }
    std::int64_t Number()
    {
        std::int64_t value = 0;
        Take(&value, sizeof(value));
        return value;
    }
    std::string Text()
    {
        std::string text(static_cast<size_t>(Number()), '\0');
        if (!text.empty())
            Take(&text[0], text.size());
        return text;
    }
    std::vector<std::string> Texts()
    {
        std::vector<std::string> texts(static_cast<size_t>(Number()));
        for (std::string& text : texts)
            text = Text();
        return texts;
    }

private:
    void Take(void* into, size_t size)
    {
        if (at_ + size > bytes_.size())
            throw std::runtime_error("a temporary file came back damaged");
        std::memcpy(into, bytes_.data() + at_, size);
        at_ += size;
    }
    std::string bytes_;
    size_t at_ = 0;
};

void Write(std::FILE* file, std::uint64_t order, const Event& event)
{
    Writer out;
    out.Number(static_cast<std::int64_t>(order));
    out.Number(static_cast<std::int64_t>(event.kind));
    out.Number(event.time);
    out.Number(event.end ? 1 : 0);
    out.Number(event.end ? *event.end : 0);
    out.Number(static_cast<std::int64_t>(event.ending));
    out.Text(event.application);
    out.Number(event.number);
    out.Number(event.error);
    out.Number(event.count);
    out.Text(event.version);
    out.Number(event.startLogged ? 1 : 0);
    out.Text(event.file);
    out.Text(event.update.package);
    out.Number(event.update.patchList ? 1 : 0);
    out.Texts(event.update.failed);
    out.Number(event.update.kept ? 1 : 0);
    out.Number(event.update.moved);
    out.Texts(event.update.closed);
    out.Number(event.clockLostAtStart ? 1 : 0);
    out.Number(event.lost.lines);
    out.Number(event.lost.files);
    out.Number(event.lost.starts);
    out.Number(event.lost.unplaced);
    out.Text(event.lost.firstFile);
    out.Text(event.lost.lastFile);
    out.Texts(event.lines);
    out.WriteTo(file);
}

bool Read(std::FILE* file, std::pair<std::uint64_t, Event>& item)
{
    Reader in;
    if (!in.ReadFrom(file))
        return false;
    const std::int64_t order = in.Number();
    Event& event = item.second;
    item.first = static_cast<std::uint64_t>(order);
    event.kind = static_cast<EventKind>(in.Number());
    event.time = in.Number();
    const bool hasEnd = in.Number() != 0;
    const Seconds end = in.Number();
    event.end = hasEnd ? std::optional<Seconds>(end) : std::nullopt;
    event.ending = static_cast<Ending>(in.Number());
    event.application = in.Text();
    event.number = static_cast<int>(in.Number());
    event.error = static_cast<int>(in.Number());
    event.count = static_cast<int>(in.Number());
    event.version = in.Text();
    event.startLogged = in.Number() != 0;
    event.file = in.Text();
    event.update.package = in.Text();
    event.update.patchList = in.Number() != 0;
    event.update.failed = in.Texts();
    event.update.kept = in.Number() != 0;
    event.update.moved = static_cast<int>(in.Number());
    event.update.closed = in.Texts();
    event.clockLostAtStart = in.Number() != 0;
    event.lost.lines = in.Number();
    event.lost.files = in.Number();
    event.lost.starts = in.Number();
    event.lost.unplaced = in.Number();
    event.lost.firstFile = in.Text();
    event.lost.lastFile = in.Text();
    event.lines = in.Texts();
    return true;
}

// Most events are a moment with a number (a restart, the navigation
// application closed or started, a refused build option) or an ignition-off
// period. They are kept in this fixed form, written and read back a block
// at a time.
struct Compact {
    Seconds time, end;
    std::uint64_t order;
    std::int32_t number, error;
    std::uint32_t kind, application, ending;
};

bool FitsCompact(const Event& event)
{
    const bool moment = event.kind == EventKind::Restart || event.kind == EventKind::NaviClose ||
                        event.kind == EventKind::NaviStart || event.kind == EventKind::BuildOptionFailed;
    const bool period = event.kind == EventKind::IgnitionOff && event.end;
    return (moment || period) && event.lines.empty() && ApplicationIndex(event.application) < kApplicationCount;
}

Compact ToCompact(const Moment& moment, std::uint64_t order)
{
    return Compact{moment.time,
                   moment.end,
                   order,
                   moment.number,
                   moment.error,
                   static_cast<std::uint32_t>(moment.kind),
                   static_cast<std::uint32_t>(moment.application),
                   static_cast<std::uint32_t>(moment.ending)};
}

Moment MomentOf(const Event& event)
{
    Moment moment;
    moment.kind = event.kind;
    moment.time = event.time;
    moment.end = event.end.value_or(event.time);
    moment.ending = event.ending;
    moment.application = ApplicationIndex(event.application);
    moment.number = event.number;
    moment.error = event.error;
    return moment;
}

// Fills `event` in place: clearing what is empty costs nothing, a new
// Event for each of millions of moments would.
void FromCompact(const Compact& compact, Event& event)
{
    const EventKind kind = static_cast<EventKind>(compact.kind);
    event.end.reset();
    event.ending = Ending::LogEnds;
    if (kind == EventKind::IgnitionOff) {
        event.end = compact.end;
        event.ending = static_cast<Ending>(compact.ending);
    }
    event.count = 0;
    event.version.clear();
    event.startLogged = true;
    event.clockLostAtStart = false;
    event.file.clear();
    event.update.package.clear();
    event.update.patchList = event.update.kept = false;
    event.update.failed.clear();
    event.update.moved = 0;
    event.update.closed.clear();
    event.lost = LostClockLines();
    event.lines.clear();
    event.kind = kind;
    event.time = compact.time;
    event.application = ApplicationName(static_cast<int>(compact.application));
    event.number = compact.number;
    event.error = compact.error;
}

bool Before(const Compact& a, const Compact& b) { return a.time != b.time ? a.time < b.time : a.order < b.order; }

} // namespace

// One sorted stream of events, read from memory or a temporary file.
class EventStore::Source {
public:
    virtual ~Source() = default;
    bool live = false;
    Seconds time = 0;
    std::uint64_t order = 0;
    // The head as an event, then the next one becomes the head.
    virtual void Take(Event& event) = 0;
};

namespace {

class CompactSource : public EventStore::Source {
public:
    // From memory (`file` null) or from a file of Compact records.
    CompactSource(const std::vector<Compact>* held, std::FILE* file) : held_(held), file_(file)
    {
        if (file_)
            std::rewind(file_);
        Next();
    }
    void Take(Event& event) override
    {
        FromCompact(Head(), event);
        ++at_;
        Next();
    }

private:
    const Compact& Head() const { return file_ ? buffer_[at_] : (*held_)[at_]; }
    void Next()
    {
        if (file_ && at_ == buffer_.size()) {
            buffer_.resize(4096);
            buffer_.resize(std::fread(buffer_.data(), sizeof(Compact), buffer_.size(), file_));
            at_ = 0;
        }
        live = at_ < (file_ ? buffer_.size() : held_->size());
        if (live) {
            time = Head().time;
            order = Head().order;
        }
    }

    const std::vector<Compact>* held_;
    std::FILE* file_;
    std::vector<Compact> buffer_;
    size_t at_ = 0;
};

class RichSource : public EventStore::Source {
public:
    RichSource(std::vector<std::pair<std::uint64_t, Event>>* held, std::FILE* file) : held_(held), file_(file)
    {
        if (file_)
            std::rewind(file_);
        Next();
    }
    void Take(Event& event) override
    {
        event = std::move(file_ ? head_.second : (*held_)[at_].second);
        ++at_;
        Next();
    }

private:
    void Next()
    {
        live = file_ ? Read(file_, head_) : at_ < held_->size();
        if (live) {
            const auto& head = file_ ? head_ : (*held_)[at_];
            time = head.second.time;
            order = head.first;
        }
    }

    std::vector<std::pair<std::uint64_t, Event>>* held_;
    std::FILE* file_;
    std::pair<std::uint64_t, Event> head_;
    size_t at_ = 0;
};

} // namespace

struct EventStore::Held {
    std::vector<Compact> compact;
    std::vector<Item> rich;
};

EventStore::EventStore(size_t memoryBudget) : budget_(memoryBudget), held_(new Held) {}

EventStore::~EventStore()
{
    for (std::FILE* run : runs_)
        std::fclose(run);
}

void EventStore::Add(Event&& event, std::uint64_t order)
{
    if (FitsCompact(event)) {
        AddMoment(MomentOf(event), order);
        return;
    }
    heldBytes_ += BytesOf(event);
    held_->rich.emplace_back(order, std::move(event));
    if (heldBytes_ > budget_)
        WriteHeld();
}

void EventStore::AddMoment(const Moment& moment, std::uint64_t order)
{
    if (held_->compact.empty())
        held_->compact.reserve(budget_ / 2 / sizeof(Compact));
    held_->compact.push_back(ToCompact(moment, order));
    heldBytes_ += sizeof(Compact);
    if (heldBytes_ > budget_)
        WriteHeld();
}

void EventStore::SortHeld()
{
    // The reader hands moments on in time order, nearly always.
    if (!std::is_sorted(held_->compact.begin(), held_->compact.end(), Before))
        std::sort(held_->compact.begin(), held_->compact.end(), Before);
    std::stable_sort(held_->rich.begin(), held_->rich.end(), Earlier);
}

// The events held go to two temporary files, sorted: a run.
void EventStore::WriteHeld()
{
    SortHeld();
    std::FILE* compact = TemporaryFile();
    runs_.push_back(compact);
    const std::vector<Compact>& records = held_->compact;
    if (!records.empty() && std::fwrite(records.data(), sizeof(Compact), records.size(), compact) != records.size())
        throw std::runtime_error("cannot write a temporary file (is the disk full?)");
    std::FILE* rich = TemporaryFile();
    runs_.push_back(rich);
    for (const Item& item : held_->rich)
        Write(rich, item.first, item.second);
    held_->compact.clear(); // its room is used again
    std::vector<Item>().swap(held_->rich);
    heldBytes_ = 0;
}

void EventStore::Visit(const std::function<void(const Event&)>& visit)
{
    SortHeld();
    std::vector<std::unique_ptr<Source>> sources;
    sources.emplace_back(new CompactSource(&held_->compact, nullptr));
    sources.emplace_back(new RichSource(&held_->rich, nullptr));
    for (size_t r = 0; r + 1 < runs_.size(); r += 2) {
        std::fflush(runs_[r]);
        std::fflush(runs_[r + 1]);
        sources.emplace_back(new CompactSource(nullptr, runs_[r]));
        sources.emplace_back(new RichSource(nullptr, runs_[r + 1]));
    }
    Event event;
    for (;;) {
        Source* next = nullptr;
        for (const auto& source : sources)
            if (source->live &&
                (!next || source->time < next->time || (source->time == next->time && source->order < next->order)))
                next = source.get();
        if (!next)
            break;
        next->Take(event);
        visit(event);
    }
}

} // namespace hailog
