// The calls a case can make: the start-up update, or single operations of
// the update engine with their arguments (UTF-8 paths, converted to code page
// 949 as the device holds them).
#include <filesystem>
#include <functional>
#include <list>
#include <map>
#include <sstream>
#include <stdexcept>

#include "patch/PatchList.h"
#include "patch/StartupUpdate.h"
#include "patch/UndoRestore.h"
#include "platform/host/host_control.h"
#include "tests/golden/golden_case.h"

namespace golden {

namespace {

using Args = std::vector<std::string>;
// Answers the call's result, or "-" for an operation without one.
using Call = std::function<std::string(const Args&)>;

const char* A(const Args& args, size_t i)
{
    // Held for the whole run; a list never moves what it holds.
    static std::list<std::string> held;
    if (i >= args.size()) {
        throw std::runtime_error("missing argument");
    }
    held.push_back(host::Utf8ToCp949(args[i]));
    return held.back().c_str();
}

int N(const Args& args, size_t i)
{
    return std::stoi(args.at(i));
}

std::string R(int result)
{
    return std::to_string(result);
}

const std::map<std::string, Call>& Calls()
{
    static const std::map<std::string, Call> calls = {
        {"startup", [](const Args&) { RunStartupUpdate(); return std::string("-"); }},
        {"patchlist", [](const Args& a) { return R(CPatchList::SearchPatchListFiles(A(a, 0), N(a, 1))); }},
        {"isfolderfiles", [](const Args& a) { return R(CPatchList::IsFolderFiles(A(a, 0), N(a, 1))); }},
        {"deletefolder", [](const Args& a) { return R(CPatchList::DeleteFolder(A(a, 0))); }},
        {"rmdir", [](const Args& a) { CPatchList::RMDIR(A(a, 0)); return std::string("-"); }},
        {"copyfolder", [](const Args& a) {
             return R(CPatchList::CopyFilesFolder2Folder(A(a, 0), A(a, 1), N(a, 2), A(a, 3)));
         }},
        {"rm", [](const Args& a) { return R(CPatchList::RM(A(a, 0))); }},
        {"mkdir", [](const Args& a) { return R(CPatchList::MKDIR(A(a, 0))); }},
        {"cp", [](const Args& a) { return R(CPatchList::CP(A(a, 0), A(a, 1), N(a, 2))); }},
        {"run", [](const Args& a) { return R(CPatchList::RUN(A(a, 0))); }},
        {"kill", [](const Args& a) { CPatchList::KILL(A(a, 0)); return std::string("-"); }},
        {"sleep", [](const Args& a) { CPatchList::SLEEP(A(a, 0)); return std::string("-"); }},
        // Between two starts, a hand on the card: a device file copied with
        // the PC's own calls, past the terminal.
        {"copy", [](const Args& a) {
             std::filesystem::copy_file(host::NativePath(a.at(0)), host::NativePath(a.at(1)),
                                        std::filesystem::copy_options::overwrite_existing);
             return std::string("-");
         }},
        // The watchdog's call once an application reached its restart limit.
        {"rollback", [](const Args& a) { RollBackUpdate(A(a, 0), N(a, 1)); return std::string("-"); }},
    };
    return calls;
}

std::string RunCall(const std::string& line)
{
    std::istringstream in(line);
    std::string name;
    in >> name;
    Args args;
    for (std::string arg; in >> arg;) {
        args.push_back(arg);
    }
    auto call = Calls().find(name);
    if (call == Calls().end()) {
        throw std::runtime_error("unknown call: " + line);
    }
    return call->second(args);
}

} // namespace

std::string RunCalls(const fs::path& caseFolder)
{
    std::vector<std::string> lines = ReadLines(caseFolder / "run.txt");
    if (lines.empty()) {
        lines.push_back("startup");
    }
    std::string results;
    for (const std::string& line : lines) {
        if (!line.empty()) {
            results += line + " => " + RunCall(line) + "\n";
        }
    }
    return results;
}

} // namespace golden
