// Finding a terminal's hourly files and reading them into lines.
#ifndef HAILOG_LOG_FILES_H
#define HAILOG_LOG_FILES_H

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "clock.h"
#include "log_line.h"
#include "problems.h"
#include "time_window.h"

namespace hailog {

struct LogFile {
    std::filesystem::path path;
    Seconds hour = 0; // from the name hailwatch-YYYYMMDDHH.log
    std::filesystem::path identity; // the file itself, links resolved: one read each
};

// The hour a file's name stands for, if it is an hourly log's name.
std::optional<Seconds> HourOfName(const std::string& fileName);

// Every log file the paths name, in hour order, each once. A path is a log
// file, a Log folder, or a copy of a device (its ResidentFlash/Log is read).
// A file whose name is not an hour's is reported and left out; files named
// by a lost clock are reported once. Answers false, after saying why, when a
// path does not exist.
bool FindLogFiles(const std::vector<std::string>& paths, std::vector<LogFile>& files, Problems& problems);

// The terminal the paths are the logs of, for a title: the name of the
// device copy's folder (above ResidentFlash/Log), or of the folder given;
// the names of several, joined; empty for a drive's root.
std::string TerminalOfPaths(const std::vector<std::string>& paths);

// Leaves the files whose hour meets the window, and those named by a lost
// clock, whose time no window can tell.
void KeepFilesMeeting(std::vector<LogFile>& files, const TimeWindow& window);

} // namespace hailog

#endif
