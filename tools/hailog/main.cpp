// hailog: shows a terminal's hourly logs on a PC, decoded from code page 949.
//
//   hailog [--follow] PATH...
//
// PATH is a log file, a \ResidentFlash\Log folder, or a copy of a whole
// device (its ResidentFlash/Log folder is read). Files are shown in hour
// order, each under its name, with CR LF line ends made LF. --follow keeps
// printing what is appended, as the terminal writes it.
#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool IsLogName(const fs::path& file)
{
    const std::string name = file.filename().string();
    return name.rfind("hailwatch-", 0) == 0 && file.extension() == ".log";
}

// Every log file a path names, in hour order (the names sort by hour).
std::vector<fs::path> LogFilesOf(const fs::path& path)
{
    if (!fs::is_directory(path))
        return {path};
    const fs::path folder = fs::is_directory(path / "ResidentFlash" / "Log")
                                ? path / "ResidentFlash" / "Log"
                                : path;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file() && IsLogName(entry.path()))
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// The bytes in 949 as UTF-8; a byte that does not decode becomes '?'.
std::string Decode(const std::string& cp949)
{
    iconv_t codec = iconv_open("UTF-8", "CP949");
    std::string out;
    char buffer[4096];
    char* in = const_cast<char*>(cp949.data());
    size_t inLeft = cp949.size();
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof(buffer);
        size_t done = iconv(codec, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, outPtr - buffer);
        if (done == static_cast<size_t>(-1) && errno != E2BIG) {
            out.push_back('?');
            ++in;
            --inLeft;
        }
    }
    iconv_close(codec);
    out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
    return out;
}

// Prints what the file holds past `offset`, whole lines only, and answers
// the new offset, so a line being written is shown once it is complete.
std::streamoff ShowFrom(const fs::path& file, std::streamoff offset)
{
    std::ifstream in(file, std::ios::binary);
    in.seekg(offset);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t end = bytes.rfind('\n');
    if (end == std::string::npos)
        return offset;
    std::cout << Decode(bytes.substr(0, end + 1)) << std::flush;
    return offset + static_cast<std::streamoff>(end + 1);
}

int Usage()
{
    std::cerr << "usage: hailog [--follow] PATH...\n"
                 "  PATH: a log file, a Log folder, or a device folder\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    bool follow = false;
    std::vector<fs::path> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--follow")
            follow = true;
        else if (!arg.empty() && arg[0] == '-')
            return Usage();
        else
            paths.push_back(arg);
    }
    if (paths.empty())
        return Usage();
    std::map<fs::path, std::streamoff> shown;
    do {
        for (const auto& path : paths) {
            if (!fs::exists(path)) {
                std::cerr << "hailog: no such file or folder: " << path.string() << "\n";
                return 1;
            }
            for (const auto& file : LogFilesOf(path)) {
                if (shown.find(file) == shown.end())
                    std::cout << "== " << file.filename().string() << "\n";
                shown[file] = ShowFrom(file, shown[file]);
            }
        }
        if (follow)
            sleep(1);
    } while (follow);
    return 0;
}
