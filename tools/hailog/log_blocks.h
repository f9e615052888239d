// A log file read in blocks of whole lines, so that blocks can be decoded
// and parsed apart (in parallel) and their lines still come out as one
// sequential read of the file gives them.
#ifndef HAILOG_LOG_BLOCKS_H
#define HAILOG_LOG_BLOCKS_H

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "log_files.h"

namespace hailog {

// The lines that start at or after `from` and before `to` (see BlockEdge);
// the last block of a file reads on to its end.
struct Block {
    size_t file = 0; // index into the files read
    std::streamoff from = 0, to = 0;
    bool last = false;
};

// Memory kept from one block to the next: filling it afresh, a page at a
// time, would cost more than reading.
class Buffer {
public:
    char* Room(size_t size)
    {
        if (size > capacity_) {
            data_.reset(new char[size]);
            capacity_ = size;
        }
        return data_.get();
    }
    void Release()
    {
        data_.reset();
        capacity_ = 0;
    }
    size_t Capacity() const { return capacity_; }

private:
    std::unique_ptr<char[]> data_;
    size_t capacity_ = 0;
};

struct ParsedBlock {
    Buffer raw;                  // the bytes read, in 949, which `lines` refer to
    std::vector<std::uint32_t> lineEnds;
    std::vector<LogLine> lines;
    std::streamoff end = 0;      // where the lines taken end in the file
    size_t rawBytes = 0;         // bytes read
    size_t badBytes = 0;         // bytes not in 949
    size_t unparsed = 0;         // lines not in the log's form
    bool unfinished = false;     // the file's last line has no line end
    bool unreadable = false;     // the file could not be opened

    // Empty again, its memory kept for the next block unless a long line
    // made it large.
    void Reset();
};

// About this much of a file is read as one block.
const std::streamoff kBlockBytes = 1 << 20;

// Blocks of about kBlockBytes for every file, in the files' order; an empty
// file is one empty block.
std::vector<Block> PlanBlocks(const std::vector<LogFile>& files, size_t fileIndexBase = 0);

// Reads one block into lines. With `holdUnfinished` a last line without its
// line end is left out (it is still being written) and `end` stops before it.
void ReadBlock(const LogFile& file, const Block& block, bool holdUnfinished, ParsedBlock& out);

} // namespace hailog

#endif
