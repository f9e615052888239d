// The verbs of hailpatch. Each prints its answer on standard output, its
// trouble as one line on standard error, and returns the exit status.
#ifndef HAILPATCH_COMMANDS_H
#define HAILPATCH_COMMANDS_H

#include <filesystem>
#include <string>
#include <vector>

namespace hailpatch {

namespace fs = std::filesystem;

// `device` empty: a stock terminal.
int RunCheck(const fs::path& package, const fs::path& device);

struct TryOptions {
    fs::path device;
    fs::path package;
    bool inPlace = false;
    bool listOnly = false;
    int pass = 0;
    bool realClock = false;
    std::vector<std::string> closing;   // window titles of programs that close on WM_DESTROY
    std::vector<std::string> staying;   // ... and of programs that stay
};
int RunTry(const TryOptions& options);

struct MakeOptions {
    fs::path from;
    fs::path to;
    fs::path output;
};
int RunMake(const MakeOptions& options);

// Writes "hailpatch: TEXT" on standard error.
void Complain(const std::string& text);

} // namespace hailpatch

#endif
