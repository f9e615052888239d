#include "log_blocks.h"

#include <algorithm>
#include <cstring>

#include "platform/host/native.h"

namespace fs = std::filesystem;

namespace hailog {
namespace {

// A block of the log's lines: the offset of each line feed is noted in
// `lineEnds`, and the bytes that start no character of 949 (as Utf8Of shows
// them) are added to `badBytes`. No character of 949 holds a line feed, so
// the lines and the characters are found apart.
void ScanLogLines(const char* cp949, size_t size, std::vector<std::uint32_t>& lineEnds, size_t& badBytes)
{
    for (const char* at = cp949; (at = static_cast<const char*>(std::memchr(at, '\n', size - (at - cp949))));
         ++at)
        lineEnds.push_back(static_cast<std::uint32_t>(at - cp949));
    badBytes += host::native::AppendCp949Shown(cp949, size, nullptr);
}

// A line longer than this (no log line is: the log cuts at 1,023 bytes) is
// damage, and is cut into pieces here rather than read whole.
const std::streamoff kLongestLine = 1 << 20;

// Where the block edge near `at` falls: just after the first line feed at or
// after at - 1, looked for over kLongestLine bytes; `at` itself if there is
// none. Both blocks beside an edge find the same place, so every line
// belongs to exactly one block.
std::streamoff BlockEdge(std::ifstream& in, std::streamoff at, std::streamoff size)
{
    if (at <= 0 || at >= size)
        return std::min(std::max<std::streamoff>(at, 0), size);
    char buffer[64 * 1024];
    in.clear();
    in.seekg(at - 1);
    for (std::streamoff looked = 0; looked < kLongestLine && in;) {
        in.read(buffer, sizeof(buffer));
        const std::streamsize got = in.gcount();
        const std::streamoff usable = std::min<std::streamoff>(got, kLongestLine - looked);
        const void* feed = std::memchr(buffer, '\n', static_cast<size_t>(usable));
        if (feed)
            return at - 1 + looked + (static_cast<const char*>(feed) - buffer) + 1;
        looked += got;
        if (got == 0)
            break;
    }
    return at;
}

// Kept between blocks up to this much; a block of a damaged file that grew
// past it gives its memory back.
const size_t kMostKept = 4 << 20;

// A line without its line end: the CR of a CR LF (or of one cut after its
// CR, at the very end) is no part of it; a CR anywhere else is damage, and
// shown.
std::string_view Line(const char* bytes, size_t from, size_t to)
{
    if (to > from && bytes[to - 1] == '\r')
        --to;
    return std::string_view(bytes + from, to - from);
}

void SplitLines(const LogFile& file, const char* bytes, size_t size, ParsedBlock& out)
{
    out.lines.reserve(out.lineEnds.size() + 1);
    size_t at = 0;
    for (const std::uint32_t end : out.lineEnds) {
        out.lines.push_back(ParseLine(Line(bytes, at, end), file.hour));
        at = end + 1;
    }
    if (at < size)
        out.lines.push_back(ParseLine(Line(bytes, at, size), file.hour));
    for (const LogLine& line : out.lines)
        out.unparsed += line.Parsed() ? 0 : 1;
}

} // namespace

std::vector<Block> PlanBlocks(const std::vector<LogFile>& files, size_t fileIndexBase)
{
    std::vector<Block> blocks;
    for (size_t i = 0; i < files.size(); ++i) {
        std::error_code error;
        const std::uintmax_t size = fs::file_size(files[i].path, error);
        const std::streamoff length = error ? 0 : static_cast<std::streamoff>(size);
        std::streamoff from = 0;
        do {
            Block block;
            block.file = fileIndexBase + i;
            block.from = from;
            block.to = std::min(from + kBlockBytes, length);
            block.last = block.to >= length;
            blocks.push_back(block);
            from = block.to;
        } while (from < length);
    }
    return blocks;
}

void ParsedBlock::Reset()
{
    if (raw.Capacity() > kMostKept) {
        raw.Release();
        std::vector<std::uint32_t>().swap(lineEnds);
        std::vector<LogLine>().swap(lines);
    }
    lineEnds.clear();
    lines.clear();
    end = 0;
    rawBytes = badBytes = unparsed = 0;
    unfinished = unreadable = false;
}

// A whole file read to its end, however it grew since it was planned, with
// no seek: most files are one block.
size_t ReadWhole(std::ifstream& in, std::streamoff planned, Buffer& raw)
{
    size_t room = static_cast<size_t>(planned) + 4096, got = 0;
    for (;;) {
        char* bytes = raw.Room(room);
        in.read(bytes + got, static_cast<std::streamsize>(room - got));
        got += static_cast<size_t>(in.gcount());
        if (got < room)
            return got;
        Buffer larger;
        std::memcpy(larger.Room(2 * room), bytes, got);
        raw = std::move(larger);
        room *= 2;
    }
}

// The lines of a block that starts or ends inside the file.
size_t ReadPart(std::ifstream& in, const Block& block, Buffer& raw, std::streamoff& from)
{
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    from = BlockEdge(in, block.from, size);
    const std::streamoff to = block.last ? size : BlockEdge(in, block.to, size);
    if (to <= from)
        return 0;
    char* bytes = raw.Room(static_cast<size_t>(to - from));
    in.clear();
    in.seekg(from);
    in.read(bytes, to - from);
    return static_cast<size_t>(in.gcount());
}

void ReadBlock(const LogFile& file, const Block& block, bool holdUnfinished, ParsedBlock& out)
{
    out.Reset();
    std::ifstream in(file.path, std::ios::binary);
    if (!in) {
        out.unreadable = true;
        return;
    }
    std::streamoff from = 0;
    size_t got = block.from == 0 && block.last ? ReadWhole(in, block.to, out.raw)
                                                : ReadPart(in, block, out.raw, from);
    out.end = from;
    if (got == 0)
        return;
    char* bytes = out.raw.Room(got);
    out.rawBytes = got;
    if (block.last && got > 0 && bytes[got - 1] != '\n') {
        if (holdUnfinished) {
            const size_t lastFeed = std::string_view(bytes, got).rfind('\n');
            got = lastFeed == std::string_view::npos ? 0 : lastFeed + 1;
        } else {
            out.unfinished = true;
        }
    }
    out.end = from + static_cast<std::streamoff>(got);
    ScanLogLines(bytes, got, out.lineEnds, out.badBytes);
    SplitLines(file, bytes, got, out);
}

} // namespace hailog
