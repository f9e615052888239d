// The verbs of hailpatch. Each prints its answer on standard output, its
// trouble as one line on standard error, and returns the exit status.
#ifndef HAILPATCH_COMMANDS_H
#define HAILPATCH_COMMANDS_H

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace hailpatch {

namespace fs = std::filesystem;

struct CheckCommand {
    fs::path package;
    fs::path device;      // empty: a stock terminal
    fs::path publicKey;   // the terminal holds it as update.pub
    bool json = false;    // one JSON object rather than the report
};
int RunCheck(const CheckCommand& command);

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
    std::optional<unsigned long long> sequenceAfter;  // the manifest's number is the next one
    std::vector<std::string> exclude;   // patterns of paths left alone in OLD and NEW
};
int RunMake(const MakeOptions& options);

// Writes NAME.key and NAME.pub.
int RunKeygen(const fs::path& name);
// Writes the package's manifest, numbered after `sequenceAfter` (or by the
// clock), and its signature.
int RunSign(const fs::path& package, const fs::path& key,
            const std::optional<unsigned long long>& sequenceAfter);

// Writes "hailpatch: TEXT" on standard error.
void Complain(const std::string& text);

} // namespace hailpatch

#endif
