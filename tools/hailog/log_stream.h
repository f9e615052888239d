// A terminal's files read in hour order: blocks are read, decoded and parsed
// on several threads, and their lines handed on in the order one sequential
// read gives, with each file's warnings once its last block is taken.
#ifndef HAILOG_LOG_STREAM_H
#define HAILOG_LOG_STREAM_H

#include <vector>

#include "log_files.h"
#include "progress.h"

namespace hailog {

// Takes a terminal's lines in hour order. A line is valid during Take only.
class LineSink {
public:
    virtual ~LineSink() = default;
    virtual void FileBegins(const LogFile&) {}
    virtual void Take(const LogLine& line) = 0;
    virtual void FileEnds(const LogFile&) {}
};

struct ReadSettings {
    unsigned jobs = 1;
    Progress* progress = nullptr; // told of every file read
};

void ReadInOrder(const std::vector<LogFile>& files, const ReadSettings& settings, Problems& problems,
                 LineSink& sink);

// Reads one file from byte `offset` on, sequentially, and moves `offset` past
// the lines taken. With `holdUnfinished`, a last line that has no line end
// yet is left for a later read (it is being written); otherwise it is taken
// as it is and reported.
void ReadLines(const LogFile& file, std::streamoff& offset, bool holdUnfinished, LineSink& sink,
               Problems& problems);

} // namespace hailog

#endif
