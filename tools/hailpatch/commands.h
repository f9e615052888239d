// The verbs of hailpatch. Each prints its answer on standard output, its
// trouble as one line on standard error, and returns the exit status.
#ifndef HAILPATCH_COMMANDS_H
#define HAILPATCH_COMMANDS_H

#include <filesystem>
#include <string>
#include <vector>

namespace hailpatch {

namespace fs = std::filesystem;

// `device` empty: a stock terminal. With `publicKey` not empty, also the
// signature check of a terminal that holds that key (Linux only).
int RunCheck(const fs::path& package, const fs::path& device,
             const fs::path& publicKey = fs::path());

struct TryOptions {
    fs::path device;
    fs::path package;
    bool inPlace = false;
    bool listOnly = false;
    int pass = 0;
    bool realClock = false;
    std::vector<std::string> closing;   // window titles of programs that close on WM_DESTROY
    std::vector<std::string> staying;   // ... and of programs that stay
    fs::path publicKey;                 // put on the device as update.pub first
    std::string crash;                  // a watched application that crashes after the update
};
int RunTry(const TryOptions& options);

struct MakeOptions {
    fs::path from;
    fs::path to;
    fs::path output;
    fs::path signingKey;  // empty: the package is not signed
};
int RunMake(const MakeOptions& options);

// Writes NAME.key and NAME.pub.
int RunKeygen(const fs::path& name);
// Writes the package's manifest and signature.
int RunSign(const fs::path& package, const fs::path& key);
// What a terminal holding `publicKey` does with the package: 0 applies it,
// 2 refuses it, 3 bad input.
int ReportSignature(const fs::path& package, const fs::path& publicKey);

// Writes "hailpatch: TEXT" on standard error.
void Complain(const std::string& text);

} // namespace hailpatch

#endif
