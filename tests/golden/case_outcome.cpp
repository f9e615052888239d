#include <algorithm>
#include <fstream>
#include <iomanip>
#include <sstream>

#include "platform/host/host_control.h"
#include "tests/golden/golden_case.h"
#include "tests/golden/tree_line.h"

namespace golden {

namespace {

std::string DevicePath(const std::string& relative)
{
    std::string path = "\\" + relative;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

} // namespace

std::string ReadText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string DecodeLog()
{
    std::string log;
    for (const std::wstring& echoed : host::DebugOutput()) {
        // The echo widens each byte on its own; its low 8 bits are the byte.
        std::string bytes;
        for (wchar_t unit : echoed) {
            bytes += static_cast<char>(unit & 0xff);
        }
        std::string line = host::Cp949ToUtf8(bytes);
        if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) {
            line.erase(line.size() - 2);
        }
        log += line + "\n";
    }
    return log;
}

std::string ListTree(const fs::path& deviceRoot)
{
    std::vector<std::string> lines;
    std::string root = deviceRoot.generic_u8string();
    for (const host::FolderEntry& entry : host::ListFolder(root, false)) {
        std::string path = DevicePath(entry.path);
        if (entry.state.folder) {
            lines.push_back(FolderLine(path, entry.state.attributes));
        } else {
            std::string bytes;
            host::ReadWholeFile(root + "/" + entry.path, &bytes);
            lines.push_back(FileLine(path, entry.state.attributes, bytes));
        }
    }
    std::sort(lines.begin(), lines.end());
    std::string tree;
    for (const std::string& line : lines) {
        tree += line + "\n";
    }
    return tree;
}

std::string DescribeTrace(DWORD startTick)
{
    std::string trace;
    for (const host::TraceEntry& entry : host::Trace()) {
        std::ostringstream line;
        line << "+" << (entry.tick - startTick) << (entry.sent ? " send [" : " post [") << host::Narrow(entry.title)
             << "] " << entry.message << " " << entry.wParam << " " << entry.lParam << "\n";
        trace += line.str();
    }
    for (const std::string& image : host::StartedImages()) {
        trace += "start " + image + "\n";
    }
    return trace;
}

} // namespace golden
