#include "log_stream.h"

#include <algorithm>

#include "log_blocks.h"
#include "parallel.h"

namespace hailog {
namespace {

// Blocks decoded ahead of the one taken, per thread: enough to keep every
// thread busy, few enough that memory stays small (a block holds about
// 4 MB once decoded and parsed).
const size_t kAheadPerJob = 3;
const size_t kMostAhead = 12;

// What a file's blocks said, summed until its last one.
struct FileTally {
    size_t badBytes = 0, unparsed = 0;
    bool unfinished = false, unreadable = false;

    void Add(const ParsedBlock& block)
    {
        badBytes += block.badBytes;
        unparsed += block.unparsed;
        unfinished = unfinished || block.unfinished;
        unreadable = unreadable || block.unreadable;
    }
};

void WarnAbout(const LogFile& file, const FileTally& tally, Problems& problems)
{
    if (!tally.unreadable && !tally.unfinished && tally.badBytes == 0 && tally.unparsed == 0)
        return; // most files: their name is not even worked out
    const std::string name = file.path.filename().string();
    if (tally.unreadable) {
        problems.Warn(file.path.string() + ": cannot be read");
        return;
    }
    if (tally.unfinished)
        problems.Warn(name + ": the last line has no line end (cut while it was written); shown as it is");
    if (tally.badBytes > 0)
        problems.Warn(name + ": " + std::to_string(tally.badBytes) +
                      " byte(s) not valid in code page 949, shown as \\xNN");
    if (tally.unparsed > 0)
        problems.Warn(name + ": " + std::to_string(tally.unparsed) +
                      " line(s) not in the log's form, shown as they are");
}

// Blocks read as one piece of work: a month of small hourly files would
// otherwise cost the threads more in handing over than in reading.
struct Batch {
    size_t first = 0, count = 0;
};

std::vector<Batch> BatchBlocks(const std::vector<Block>& blocks)
{
    std::vector<Batch> batches;
    std::streamoff bytes = 0;
    for (size_t i = 0; i < blocks.size(); ++i) {
        const std::streamoff size = blocks[i].to - blocks[i].from;
        if (batches.empty() || bytes + size > kBlockBytes) {
            batches.push_back(Batch{i, 0});
            bytes = 0;
        }
        ++batches.back().count;
        bytes += size;
    }
    return batches;
}

} // namespace

void ReadInOrder(const std::vector<LogFile>& files, const ReadSettings& settings, Problems& problems,
                 LineSink& sink)
{
    const std::vector<Block> blocks = PlanBlocks(files);
    const std::vector<Batch> batches = BatchBlocks(blocks);
    const unsigned jobs = std::max(1u, settings.jobs);
    const size_t window = std::min(kMostAhead, kAheadPerJob * jobs);
    std::vector<std::vector<ParsedBlock>> slots(window);
    FileTally tally;
    const auto take = [&](const Block& block, ParsedBlock& parsed) {
        const LogFile& file = files[block.file];
        if (block.from == 0)
            sink.FileBegins(file);
        for (const LogLine& line : parsed.lines)
            sink.Take(line);
        tally.Add(parsed);
        if (settings.progress)
            settings.progress->Add(block.last ? 1 : 0, parsed.rawBytes);
        if (block.last) {
            sink.FileEnds(file);
            WarnAbout(file, tally, problems);
            tally = FileTally();
        }
        parsed.Reset(); // its lines refer to memory that the slot's next block uses again
    };
    RunOrdered(
        batches.size(), jobs, window,
        [&](size_t i) {
            std::vector<ParsedBlock>& parts = slots[i % window];
            if (parts.size() < batches[i].count)
                parts.resize(batches[i].count);
            for (size_t k = 0; k < batches[i].count; ++k) {
                const Block& block = blocks[batches[i].first + k];
                ReadBlock(files[block.file], block, false, parts[k]);
            }
        },
        [&](size_t i) {
            for (size_t k = 0; k < batches[i].count; ++k)
                take(blocks[batches[i].first + k], slots[i % window][k]);
        });
}

void ReadLines(const LogFile& file, std::streamoff& offset, bool holdUnfinished, LineSink& sink,
               Problems& problems)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file.path, error);
    FileTally tally;
    ParsedBlock parsed;
    for (std::streamoff from = offset, length = error ? offset : static_cast<std::streamoff>(size);;) {
        Block block;
        block.from = from;
        block.to = std::min(from + kBlockBytes, length);
        block.last = block.to >= length;
        ReadBlock(file, block, holdUnfinished, parsed);
        for (const LogLine& line : parsed.lines)
            sink.Take(line);
        tally.Add(parsed);
        offset = std::max(offset, parsed.end);
        if (block.last || parsed.unreadable)
            break;
        from = block.to;
    }
    WarnAbout(file, tally, problems);
}

} // namespace hailog
