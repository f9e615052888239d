// hailpatch: checks, tries and makes update packages on a PC.
//
//   hailpatch check [--device DEV] [--key PUB] PKG
//   hailpatch try --device DEV PKG [--in-place] [--list [--pass N]]
//                 [--window TITLE]... [--stays TITLE]... [--real-clock] [--crash APP]
//   hailpatch make --from OLD --to NEW -o PKG [--sign KEY [--sequence N]] [--exclude GLOB]...
//   hailpatch keygen -o NAME
//   hailpatch sign PKG --key KEY [--sequence N]
//
// check, try and make run the terminal's own start-up on the host backend, on
// Linux and on Windows alike; `check` runs it on a stock terminal or a copy of
// DEV. keygen and sign use OpenSSL on Linux and the PC's CryptoAPI on
// Windows, with the same key files. Exit statuses are in the help of each verb.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <exception>
#include <iostream>
#include <optional>

#include "commands.h"
#include "manual_page.h"
#include "native_text.h"
#include "package_check.h"

namespace {

using namespace hailpatch;

// Shown by --help and the manual page alike.
const char kExamples[] =
    "  hailpatch make --from old/Hailnet --to new/Hailnet -o pkg   # build the package\n"
    "  hailpatch check pkg                                         # what the terminal will do with it"
    "\n  hailpatch try --device DEV pkg --stays Hailnet              # the start-up, on a copy of DEV"
    ;

const char kCheckStatuses[] =
    "Exit status: 0 clean, 1 warnings only, 2 the package destroys or loses files, breaks later "
    "updates, runs again at the next start, blocks the start-up too long or will not apply "
    "(the verdict printed is this status), 3 bad input (a missing folder, an unreadable file, "
    "DEV that is no device folder).";
const char kTryStatuses[] =
    "Exit status: 0 the package was applied and the next start leaves it be, 2 the next start "
    "would apply it again (or it is never applied), a file of the package was lost over the "
    "two starts, or (with --crash) the rollback was refused or left unfinished, 3 bad input.";
const char kMakeStatuses[] =
    "Exit status: 0 the package was made, checks clean and turns OLD into NEW, 2 it could not "
    "be made or proven (a name or path the terminal cannot take, or a difference after trying "
    "it), 3 bad input.";

struct Choices {
    std::string package;
    std::string key;
    TryOptions tried;
    std::string device;
    MakeOptions made;
    std::string from;
    std::string to;
    std::string output;
    std::string signingKey;
    bool json = false;
    std::optional<unsigned long long> sequenceAfter;
};

const char kSequenceHelp[] = "the sequence number of the last package signed for these "
    "terminals: the manifest gets the next one (without it, the seconds since 1970-01-01 UTC); "
    "a terminal refuses a package numbered no higher than one it has applied";

void AddCheck(CLI::App& app, Choices* choices)
{
    CLI::App* check = app.add_subcommand("check", "Runs the package through the terminal's own "
        "start-up on a stock terminal (or a copy of DEV) and says, line by line, what it did and "
        "what will go wrong");
    check->add_option("PKG", choices->package, "the package folder (what goes to \\SDMMC\\AirUpdate)")
        ->required();
    check->add_option("--device", choices->device, "run it on a copy of this device folder "
        "(DEV/ResidentFlash, DEV/SDMMC) rather than on a stock terminal");
    check->add_option("--key", choices->key, "run it on a terminal holding this public key (NAME.pub) "
        "as its update.pub, as a keyed terminal takes the package: verdict 2 if it refuses it");
    check->add_flag("--json", choices->json, "write one JSON object: every line with its number and "
        "effects, the findings with their lines and files, and the verdict");
    check->footer(kCheckStatuses);
}

void AddTry(CLI::App& app, Choices* choices)
{
    CLI::App* tried = app.add_subcommand("try", "Runs the terminal's start-up with the package on "
        "a copy of a device folder, prints the log, the messages, the time blocked and what "
        "changed, then starts it again to see whether the package would apply again");
    TryOptions& o = choices->tried;
    tried->add_option("--device", choices->device, "the device folder (DEV/ResidentFlash, DEV/SDMMC)")
        ->required();
    tried->add_option("PKG", choices->package, "the package folder")->required();
    tried->add_flag("--in-place", o.inPlace, "change DEV itself rather than a copy");
    CLI::Option* list = tried->add_flag("--list", o.listOnly, "run only the patch list, once");
    tried->add_option("--pass", o.pass, "with --list: 1 the second pass, any other the first")
        ->needs(list);
    tried->add_option("--window", o.closing, "a running program with this window title, which "
        "closes on WM_DESTROY (repeatable)");
    tried->add_option("--stays", o.staying, "a running program with this window title, which "
        "ignores WM_DESTROY (repeatable)");
    tried->add_flag("--real-clock", o.realClock, "pauses take real time");
    tried->add_option("--key", choices->key, "put this public key (NAME.pub) on the device as "
        "\\ResidentFlash\\Hailnet\\update.pub first, so that it takes signed packages only");
    tried->add_option("--crash", o.crash, "after the update, this watched application ends at every "
        "start while it is the update's version: plays the watchdog until a device holding "
        "\\ResidentFlash\\Hailnet\\update.rollback takes the update back, and shows what that changes")
        ->check(CLI::IsMember({"Hailwire", "Hailfare", "Hailnet", "Hailtrack"}))
        ->excludes(list);
    tried->footer(kTryStatuses);
}

void AddMake(CLI::App& app, Choices* choices)
{
    CLI::App* made = app.add_subcommand("make", "Builds a package that turns the install folder "
        "OLD into NEW, checks it, and proves it by trying it on a copy of OLD");
    made->add_option("--from", choices->from, "the install folder as the terminals have it")->required();
    made->add_option("--to", choices->to, "the install folder as it should become")->required();
    made->add_option("-o,--output", choices->output, "the package folder to create (must not "
        "exist, or be empty)")->required();
    CLI::Option* signing = made->add_option("--sign", choices->signingKey, "sign the package with "
        "this private key (NAME.key) once it is proven, and check the signature as a terminal would");
    made->add_option("--sequence", choices->sequenceAfter, kSequenceHelp)->needs(signing);
    made->add_option("--exclude", choices->made.exclude, "leave alone the paths this pattern names "
        "in OLD and NEW, as if neither had them (repeatable; relative to the install folder, '/' "
        "between names, letter case ignored: * within a name, ? one character, ** any folders; a "
        "pattern without '/' names a file or folder at any depth: '*.log', 'Log/**', 'Map/Cache/*')")
        ->allow_extra_args(false);
    made->footer(kMakeStatuses);
}

void AddKeygen(CLI::App& app, Choices* choices)
{
    CLI::App* keygen = app.add_subcommand("keygen", "Makes the fleet's key pair: NAME.key, the "
        "private key that signs packages, and NAME.pub, to copy as it is to each terminal's "
        "\\ResidentFlash\\Hailnet\\update.pub");
    keygen->add_option("-o,--output", choices->output, "NAME: the files made are NAME.key and "
        "NAME.pub (neither may exist)")->required();
    keygen->footer("Exit status: 0 made, 3 bad input (a file exists, or cannot be written).");
}

void AddSign(CLI::App& app, Choices* choices)
{
    CLI::App* sign = app.add_subcommand("sign", "Signs a package: writes PKG\\Signature\\"
        "manifest.txt (every file with its size and SHA-256) and its signature manifest.sig");
    sign->add_option("PKG", choices->package, "the package folder")->required();
    sign->add_option("--key", choices->key, "the private key (NAME.key)")->required();
    sign->add_option("--sequence", choices->sequenceAfter, kSequenceHelp);
    sign->footer("Exit status: 0 signed, 3 bad input (an unreadable file or key, a name the "
        "terminal cannot take as it stands or takes for another, a list that copies from outside "
        "the package, no sequence number above --sequence).");
}

bool IsVerb(const CLI::App& app, const std::string& word)
{
    for (const CLI::App* verb : app.get_subcommands([](const CLI::App*) { return true; })) {
        if (verb->get_name() == word) {
            return true;
        }
    }
    return false;
}

int Dispatch(const CLI::App& app, Choices* choices)
{
    fs::path key = choices->key.empty() ? fs::path() : PathOfArgument(choices->key);
    if (app.got_subcommand("check")) {
        CheckCommand command;
        command.package = PathOfArgument(choices->package);
        command.device = choices->device.empty() ? fs::path() : PathOfArgument(choices->device);
        command.publicKey = key;
        command.json = choices->json;
        return RunCheck(command);
    }
    if (app.got_subcommand("try")) {
        choices->tried.device = PathOfArgument(choices->device);
        choices->tried.package = PathOfArgument(choices->package);
        choices->tried.publicKey = key;
        return RunTry(choices->tried);
    }
    if (app.got_subcommand("keygen")) {
        return RunKeygen(PathOfArgument(choices->output));
    }
    if (app.got_subcommand("sign")) {
        return RunSign(PathOfArgument(choices->package), key, choices->sequenceAfter);
    }
    choices->made.from = PathOfArgument(choices->from);
    choices->made.to = PathOfArgument(choices->to);
    choices->made.output = PathOfArgument(choices->output);
    if (!choices->signingKey.empty()) {
        choices->made.signingKey = PathOfArgument(choices->signingKey);
    }
    choices->made.sequenceAfter = choices->sequenceAfter;
    return RunMake(choices->made);
}

} // namespace

int main(int argc, char** argv)
{
    PrepareConsole();
    CLI::App app{"hailpatch: check, try and make update packages for the terminal", "hailpatch"};
    app.require_subcommand(1);
    tools::AddVersionAndManual(app, {"Run `hailpatch VERB --help` for a verb's options and exit statuses.",
                                     kExamples, ""});
    Choices choices;
    AddCheck(app, &choices);
    AddTry(app, &choices);
    AddMake(app, &choices);
    AddKeygen(app, &choices);
    AddSign(app, &choices);
    std::vector<std::string> arguments = Utf8Arguments(argc, argv);
    if (arguments.size() > 1 && arguments[1][0] != '-' && !IsVerb(app, arguments[1])) {
        Complain("unknown verb '" + arguments[1] + "' (see hailpatch --help)");
        return kStatusBadInput;
    }
    std::reverse(arguments.begin(), arguments.end());
    arguments.pop_back();
    try {
        app.parse(arguments);
    } catch (const CLI::Success& e) { // --help, --version, --manual-page
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        Complain(std::string(e.what()) + " (see hailpatch --help)");
        return kStatusBadInput;
    }
    try {
        return Dispatch(app, &choices);
    } catch (const std::exception& e) {
        // Nothing should reach here; if it does, it is still one line.
        Complain(e.what());
        return kStatusBadInput;
    }
}
