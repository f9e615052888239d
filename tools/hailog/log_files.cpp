#include "log_files.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>

#include "cp949.h"

namespace fs = std::filesystem;

namespace hailog {
namespace {

const char kPrefix[] = "hailwatch-";
const char kSuffix[] = ".log";

bool IsLogName(const fs::path& file)
{
    const std::string name = file.filename().string();
    return name.rfind(kPrefix, 0) == 0 && file.extension() == kSuffix;
}

void AddFile(const fs::path& path, std::vector<LogFile>& files, Problems& problems)
{
    const std::optional<Seconds> hour = HourOfName(path.filename().string());
    if (!hour) {
        problems.Warn(path.string() + ": not an hourly log (its name is not hailwatch-YYYYMMDDHH.log); left out");
        return;
    }
    files.push_back({path, *hour});
}

void AddFolder(const fs::path& path, std::vector<LogFile>& files, Problems& problems)
{
    std::error_code error;
    const fs::path log = path / "ResidentFlash" / "Log";
    const fs::path folder = fs::is_directory(log, error) ? log : path;
    const size_t before = files.size();
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (it->is_regular_file(error) && IsLogName(it->path()))
            AddFile(it->path(), files, problems);
    if (error)
        problems.Warn(folder.string() + ": cannot read the folder: " + error.message());
    else if (files.size() == before)
        problems.Warn(folder.string() + ": no hourly log files (hailwatch-YYYYMMDDHH.log) in it");
}

std::string ReadBytes(const fs::path& path, std::streamoff offset, Problems& problems)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        problems.Warn(path.string() + ": cannot be read");
        return std::string();
    }
    in.seekg(offset);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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

} // namespace

std::optional<Seconds> HourOfName(const std::string& name)
{
    const size_t digits = sizeof(kPrefix) - 1;
    if (name.size() != digits + 10 + sizeof(kSuffix) - 1 || name.rfind(kPrefix, 0) != 0 ||
        name.compare(digits + 10, std::string::npos, kSuffix) != 0)
        return std::nullopt;
    for (size_t i = digits; i < digits + 10; ++i)
        if (!std::isdigit(static_cast<unsigned char>(name[i])))
            return std::nullopt;
    const std::string stamp = name.substr(digits, 4) + "-" + name.substr(digits + 4, 2) + "-" +
                              name.substr(digits + 6, 2) + " " + name.substr(digits + 8, 2) + ":00";
    return ParseMinute(stamp);
}

bool FindLogFiles(const std::vector<std::string>& paths, std::vector<LogFile>& files, Problems& problems)
{
    for (const std::string& text : paths) {
        const fs::path path(text);
        std::error_code error;
        if (!fs::exists(path, error)) {
            std::cerr << "hailog: " << text << ": no such file or folder\n";
            return false;
        }
        if (fs::is_directory(path, error))
            AddFolder(path, files, problems);
        else
            AddFile(path, files, problems);
    }
    // Hour order; a file named twice (or by two of the paths) is read once.
    std::sort(files.begin(), files.end(), [](const LogFile& a, const LogFile& b) {
        return a.hour != b.hour ? a.hour < b.hour : a.path < b.path;
    });
    std::set<fs::path> seen;
    files.erase(std::remove_if(files.begin(), files.end(),
                               [&](const LogFile& file) {
                                   std::error_code error;
                                   fs::path key = fs::weakly_canonical(file.path, error);
                                   return !seen.insert(error ? file.path : key).second;
                               }),
                files.end());
    // A terminal has one file an hour: two are two terminals, or two copies
    // of one, and their lines would be read as one story.
    for (size_t i = 1; i < files.size(); ++i)
        if (files[i].hour == files[i - 1].hour)
            problems.Warn(files[i].path.filename().string() + ": found twice (" + files[i - 1].path.string() +
                          ", " + files[i].path.string() + "); both are read, one after the other");
    return true;
}

void ReadLines(const LogFile& file, std::streamoff& offset, bool holdUnfinished, std::vector<LogLine>& lines,
               Problems& problems)
{
    std::string bytes = ReadBytes(file.path, offset, problems);
    if (bytes.empty())
        return;
    const std::string name = file.path.filename().string();
    size_t end = bytes.size();
    if (bytes.back() != '\n') {
        const size_t lastEnd = bytes.rfind('\n');
        if (holdUnfinished) {
            if (lastEnd == std::string::npos)
                return;
            end = lastEnd + 1;
        } else {
            problems.Warn(name + ": the last line has no line end (cut while it was written); shown as it is");
        }
    }
    offset += static_cast<std::streamoff>(end);
    bytes.resize(end);
    DropCarriageReturns(bytes);
    Decoded decoded;
    if (!DecodeCp949(bytes, decoded)) {
        problems.Warn("this system cannot convert code page 949 (iconv has no CP949)");
        return;
    }
    if (decoded.badBytes > 0)
        problems.Warn(name + ": " + std::to_string(decoded.badBytes) +
                      " byte(s) not valid in code page 949, shown as '?'");
    size_t unparsed = 0;
    for (size_t at = 0; at < decoded.utf8.size();) {
        size_t next = decoded.utf8.find('\n', at);
        if (next == std::string::npos)
            next = decoded.utf8.size();
        lines.push_back(ParseLine(decoded.utf8.substr(at, next - at), file.hour));
        unparsed += lines.back().Parsed() ? 0 : 1;
        at = next + 1;
    }
    if (unparsed > 0)
        problems.Warn(name + ": " + std::to_string(unparsed) + " line(s) not in the log's form, shown as they are");
}

std::vector<LogLine> ReadAll(const std::vector<LogFile>& files, Problems& problems)
{
    std::vector<LogLine> lines;
    for (const LogFile& file : files) {
        std::streamoff offset = 0;
        ReadLines(file, offset, false, lines, problems);
    }
    return lines;
}

} // namespace hailog
