#include <sstream>
#include <stdexcept>

#include "platform/host/host_control.h"
#include "tests/golden/golden_case.h"

namespace golden {

namespace {

std::string RestAfter(std::istringstream& in)
{
    std::string rest;
    std::getline(in, rest);
    if (!rest.empty() && rest[0] == ' ') {
        rest.erase(0, 1);
    }
    return rest;
}

// "[ Title ]" keeps spaces at the ends of a title visible.
std::string Unbracketed(const std::string& title)
{
    if (title.size() >= 2 && title.front() == '[' && title.back() == ']') {
        return title.substr(1, title.size() - 2);
    }
    return title;
}

void MakeFolders(const fs::path& list)
{
    for (const std::string& line : ReadLines(list)) {
        if (!line.empty()) {
            fs::create_directories(host::NativePath(line));
        }
    }
}

// "devicepath 0xNN": the path may hold spaces, the value never does.
void ApplyAttributes(const fs::path& list)
{
    for (const std::string& line : ReadLines(list)) {
        size_t space = line.rfind(' ');
        if (space == std::string::npos) {
            continue;
        }
        DWORD value = std::stoul(line.substr(space + 1), nullptr, 16);
        if (!SetFileAttributesW(host::Widen(line.substr(0, space)).c_str(), value)) {
            throw std::runtime_error("cannot set attributes: " + line);
        }
    }
}

void InjectFaults(const fs::path& list)
{
    for (const std::string& line : ReadLines(list)) {
        std::istringstream in(line);
        std::string operation;
        int count = 0;
        DWORD error = 0;
        if (in >> operation >> count >> error) {
            host::FailNext(operation, count, error, RestAfter(in));
        }
    }
}

// "closes Title" or "stays Title": a program running now, whose window
// closes on WM_DESTROY or ignores it. "image \Path\To.exe Title": a program
// that starts when that image is run. "supervisor": the supervisor's own
// window (class HAILWATCH, title Hailwatch), which closes on WM_DESTROY.
void StartWindows(const fs::path& list)
{
    int index = 0;
    for (const std::string& line : ReadLines(list)) {
        std::istringstream in(line);
        std::string behaviour;
        std::string image = "\\Running\\program" + std::to_string(index++) + ".exe";
        in >> behaviour;
        if (behaviour == "image") {
            in >> image;
        }
        host::ProgramSetup program;
        program.title = host::Widen(Unbracketed(RestAfter(in)));
        program.ignoreDestroy = behaviour == "stays";
        if (behaviour == "supervisor") {
            program.title = L"Hailwatch";
            program.className = L"HAILWATCH";
        }
        host::RegisterProgram(image, program);
        if (behaviour != "image") {
            host::StartProgram(image);
        }
    }
}

} // namespace

void PrepareDevice(const fs::path& caseFolder, const fs::path& deviceRoot)
{
    fs::remove_all(deviceRoot);
    fs::create_directories(deviceRoot);
    if (fs::exists(caseFolder / "before")) {
        fs::copy(caseFolder / "before", deviceRoot, fs::copy_options::recursive);
    }
    MakeFolders(caseFolder / "dirs.txt");
    ApplyAttributes(caseFolder / "attributes.txt");
    StartWindows(caseFolder / "windows.txt");
    InjectFaults(caseFolder / "faults.txt");
}

std::vector<std::string> ReadLines(const fs::path& file)
{
    std::vector<std::string> lines;
    std::istringstream in(ReadText(file));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

} // namespace golden
