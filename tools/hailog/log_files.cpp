#include "log_files.h"

#include <algorithm>
#include <cctype>
#include <iostream>
#include <set>

#include "log/LogCatalogue.h"
#include "lost_clock.h"

namespace fs = std::filesystem;

namespace hailog {
namespace {

const char kPrefix[] = LOG_FILE_PREFIX;
const char kSuffix[] = ".log";

bool IsLogName(const fs::path& file)
{
    const std::string name = file.filename().string();
    return name.rfind(kPrefix, 0) == 0 && file.extension() == kSuffix;
}

fs::path IdentityOf(const fs::path& path)
{
    std::error_code error;
    const fs::path identity = fs::weakly_canonical(path, error);
    return error ? path : identity;
}

// `identity` is worked out here when not given: a folder's files share the
// folder's, which is worked out once (a month of files would each cost a
// walk of every folder above).
void AddFile(const fs::path& path, std::vector<LogFile>& files, Problems& problems, fs::path identity = fs::path())
{
    const std::optional<Seconds> hour = HourOfName(path.filename().string());
    if (!hour) {
        problems.Warn(path.string() + ": not an hourly log (its name is not hailwatch-YYYYMMDDHH.log); left out");
        return;
    }
    files.push_back({path, *hour, identity.empty() ? IdentityOf(path) : std::move(identity)});
}

void AddFolder(const fs::path& path, std::vector<LogFile>& files, Problems& problems)
{
    std::error_code error;
    const fs::path log = path / "ResidentFlash" / "Log";
    const fs::path folder = fs::is_directory(log, error) ? log : path;
    const size_t before = files.size();
    const fs::path folderIdentity = IdentityOf(folder);
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (it->is_regular_file(error) && IsLogName(it->path()))
            AddFile(it->path(), files, problems,
                    it->is_symlink(error) ? fs::path() : folderIdentity / it->path().filename());
    if (error)
        problems.Warn(folder.string() + ": cannot read the folder: " + error.message());
    else if (files.size() == before)
        problems.Warn(folder.string() + ": no hourly log files (hailwatch-YYYYMMDDHH.log) in it");
}

// Said once: the files are many, and one line tells what they are.
void WarnOfTheClockLost(const std::vector<LogFile>& files, Problems& problems)
{
    std::vector<const LogFile*> lost;
    for (const LogFile& file : files)
        if (IsClockLostHour(file.hour))
            lost.push_back(&file);
    if (lost.empty())
        return;
    const std::string first = lost.front()->path.filename().string(), last = lost.back()->path.filename().string();
    problems.Warn(std::to_string(lost.size()) + (lost.size() == 1 ? " file (" + first : " files (" + first + " to " + last) +
                  ") named at the device's default date: logged while the clock was lost; their lines are kept "
                  "in file order, out of the period");
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
                               [&](const LogFile& file) { return !seen.insert(file.identity).second; }),
                files.end());
    // A terminal has one file an hour: two are two terminals, or two copies
    // of one, and their lines would be read as one story.
    for (size_t i = 1; i < files.size(); ++i)
        if (files[i].hour == files[i - 1].hour)
            problems.Warn(files[i].path.filename().string() + ": found twice (" + files[i - 1].path.string() +
                          ", " + files[i].path.string() + "); both are read, one after the other");
    WarnOfTheClockLost(files, problems);
    return true;
}

std::string TerminalOfPaths(const std::vector<std::string>& paths)
{
    std::vector<std::string> names;
    for (const std::string& text : paths) {
        std::error_code error;
        fs::path path = fs::absolute(fs::path(text), error).lexically_normal();
        if (!path.has_filename())
            path = path.parent_path();
        if (!fs::is_directory(path, error))
            path = path.parent_path();
        if (path.filename() == "Log" && path.parent_path().filename() == "ResidentFlash")
            path = path.parent_path().parent_path();
        const std::string name = path == path.root_path() ? std::string() : path.filename().string();
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    }
    std::string joined;
    for (const std::string& name : names)
        joined += (joined.empty() ? "" : ", ") + name;
    return joined;
}

void KeepFilesMeeting(std::vector<LogFile>& files, const TimeWindow& window)
{
    files.erase(std::remove_if(files.begin(), files.end(),
                               [&](const LogFile& file) {
                                   return !IsClockLostHour(file.hour) && !window.Meets(file.hour, file.hour + 3599);
                               }),
                files.end());
}

} // namespace hailog
