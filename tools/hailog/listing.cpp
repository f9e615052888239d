#include "listing.h"

#include <unistd.h>

#include <iostream>
#include <map>

#include "log_files.h"

namespace hailog {
namespace {

void Show(const LogFile& file, const std::vector<LogLine>& lines, bool firstTime, const Filter& filter)
{
    if (!filter.Any()) {
        if (firstTime)
            std::cout << "== " << file.path.filename().string() << "\n";
        for (const LogLine& line : lines)
            std::cout << line.raw << "\n";
    } else {
        for (const LogLine& line : lines)
            if (filter.Accepts(line))
                std::cout << WithFullTime(line) << "\n";
    }
    std::cout << std::flush;
}

} // namespace

int List(const ListOptions& options)
{
    Problems problems;
    std::map<std::filesystem::path, std::streamoff> shown;
    for (;;) {
        std::vector<LogFile> files;
        if (!FindLogFiles(options.paths, files, problems))
            return kWillNotWork;
        if (files.empty() && !options.follow) {
            if (problems.Count() == 0)
                std::cerr << "hailog: no log files to read\n";
            return kWillNotWork;
        }
        for (const LogFile& file : files) {
            const bool firstTime = shown.find(file.path) == shown.end();
            std::streamoff& offset = shown[file.path];
            std::vector<LogLine> lines;
            ReadLines(file, offset, options.follow, lines, problems);
            if (firstTime || !lines.empty())
                Show(file, lines, firstTime, options.filter);
        }
        if (!options.follow)
            break;
        sleep(1);
    }
    return problems.Count() > 0 ? kWarnings : kClean;
}

} // namespace hailog
