#include "listing.h"

#include <iostream>
#include <map>


#include "log_line.h"
#include "log_stream.h"
#include "platform/host/native.h"

namespace hailog {
namespace {

// Without a filter each file under its name, its lines as they stand; with
// one, each line kept with its full date and time.
class Shown : public LineSink {
public:
    explicit Shown(const Filter& filter) : filter_(filter), any_(filter.Any()) {}

    void FileBegins(const LogFile& file) override
    {
        if (!any_)
            shown_ += "== " + file.path.filename().string() + "\n";
    }
    void Take(const LogLine& line) override
    {
        if (!any_) {
            AppendUtf8Of(shown_, line.raw);
            shown_ += '\n';
        } else if (filter_.Accepts(line)) {
            shown_ += WithFullTime(line);
            shown_ += '\n';
        }
        if (shown_.size() >= 1 << 16)
            Flush();
    }
    void FileEnds(const LogFile&) override
    {
        Flush();
        std::cout << std::flush;
    }

private:
    void Flush()
    {
        std::cout << shown_;
        shown_.clear();
    }

    const Filter& filter_;
    const bool any_;
    std::string shown_; // written out in pieces, not a line at a time
};

int Once(const ListOptions& options, const std::vector<LogFile>& files, Problems& problems)
{
    Progress progress(files.size(), "files");
    problems.ClearBeforeWarning(&progress);
    Shown shown(options.filter);
    ReadInOrder(files, ReadSettings{options.jobs, &progress}, problems, shown);
    problems.ClearBeforeWarning(nullptr);
    return problems.Count() > 0 ? kWarnings : kClean;
}

void WaitASecond()
{
    host::native::Wait(1000);
}

} // namespace

int List(const ListOptions& options)
{
    Problems problems;
    std::map<std::filesystem::path, std::streamoff> shown;
    Shown sink(options.filter);
    for (;;) {
        std::vector<LogFile> files;
        if (!FindLogFiles(options.paths, files, problems))
            return kWillNotWork;
        KeepFilesMeeting(files, options.filter.window);
        if (files.empty() && !options.follow) {
            if (problems.Count() == 0)
                std::cerr << "hailog: no log files to read\n";
            return kWillNotWork;
        }
        if (!options.follow)
            return Once(options, files, problems);
        for (const LogFile& file : files) {
            const bool firstTime = shown.find(file.path) == shown.end();
            std::streamoff& offset = shown[file.path];
            if (firstTime)
                sink.FileBegins(file);
            ReadLines(file, offset, true, sink, problems);
            sink.FileEnds(file);
        }
        WaitASecond();
    }
}

} // namespace hailog
