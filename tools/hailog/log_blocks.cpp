#include "log_blocks.h"

#include <algorithm>
#include <cstring>

#include "cp949.h"

namespace fs = std::filesystem;

namespace hailog {
namespace {

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

// The CR of every CR LF, and of a CR LF cut after its CR; a CR anywhere
// else is damage and is shown.
void DropCarriageReturns(std::string& bytes)
{
    size_t kept = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const bool lineEnd = i + 1 == bytes.size() || bytes[i + 1] == '\n';
        if (bytes[i] != '\r' || !lineEnd)
            bytes[kept++] = bytes[i];
    }
    bytes.resize(kept);
}

void SplitLines(const LogFile& file, ParsedBlock& out)
{
    const char* text = out.text.data();
    const size_t size = out.text.size();
    for (size_t at = 0; at < size;) {
        const void* feed = std::memchr(text + at, '\n', size - at);
        const size_t next = feed ? static_cast<size_t>(static_cast<const char*>(feed) - text) : size;
        out.lines.push_back(ParseLine(std::string_view(text + at, next - at), file.hour));
        out.unparsed += out.lines.back().Parsed() ? 0 : 1;
        at = next + 1;
    }
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

void ReadBlock(const LogFile& file, const Block& block, bool holdUnfinished, ParsedBlock& out)
{
    out = ParsedBlock();
    std::ifstream in(file.path, std::ios::binary);
    if (!in) {
        out.unreadable = true;
        return;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    const std::streamoff from = BlockEdge(in, block.from, size);
    const std::streamoff to = block.last ? size : BlockEdge(in, block.to, size);
    out.end = from;
    if (to <= from)
        return;
    std::string bytes(static_cast<size_t>(to - from), '\0');
    in.clear();
    in.seekg(from);
    in.read(&bytes[0], static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    out.rawBytes = bytes.size();
    if (block.last && !bytes.empty() && bytes.back() != '\n') {
        if (holdUnfinished) {
            const size_t lastEnd = bytes.rfind('\n');
            bytes.resize(lastEnd == std::string::npos ? 0 : lastEnd + 1);
        } else {
            out.unfinished = true;
        }
    }
    out.end = from + static_cast<std::streamoff>(bytes.size());
    DropCarriageReturns(bytes);
    if (!AppendCp949(bytes.data(), bytes.size(), out.text, out.badBytes)) {
        out.noConverter = true;
        return;
    }
    SplitLines(file, out);
}

} // namespace hailog
