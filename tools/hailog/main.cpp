// hailog: reads a terminal's hourly logs on a PC, decoded from code page 949.
//
//   hailog [list] [--follow] [filters] PATH...   the lines, in hour order
//   hailog summary [--json] PATH...              what happened, in time order
//   hailog html PATH... -o day.html              the period on one page
//   hailog fleet [--json] ROOT...                one line per terminal, those needing a visit first
//
// Every verb reads through --since and --until (time_window.h).
//
// PATH is a log file, a \ResidentFlash\Log folder, or a copy of a whole
// device (its ResidentFlash/Log folder is read). Exit statuses: 0 everything
// read, 1 read with warnings (a file left out, bytes not in 949, lines not in
// the log's form, a last line without its line end, files named by a lost
// clock), 2 will not work (bad arguments, a path that does not exist, no log
// file at all, none in the time window).
#include <CLI/CLI.hpp>

#include <fstream>
#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <tuple>

#include "event_store.h"
#include "fleet.h"
#include "listing.h"
#include "log_stream.h"
#include "manual_page.h"
#include "page.h"
#include "parallel.h"
#include "summary_output.h"
#include "time_window.h"

namespace {

using namespace hailog;

#define HAILOG_PATHS "PATH: a log file (hailwatch-YYYYMMDDHH.log), a Log folder, or a copy of a device."
#define HAILOG_STATUSES                                                                    \
    "Exit status: 0 everything read; 1 read with warnings (a file left out, bytes not\n"  \
    "in code page 949, lines not in the log's form, a last line without its line end,\n" \
    "files named by a lost clock); 2 will not work (bad arguments, a path that does\n"    \
    "not exist, no log file, none in the time window)."
const char kFooter[] = HAILOG_PATHS "\n" HAILOG_STATUSES;

// Shown by --help and the manual page alike.
const char kExamples[] =
    "  hailog summary DEV/ResidentFlash/Log       # runs, restarts, ignition, updates, hours with no file\n"
    "  hailog --errors --since \"2024-06-11 06:00\" DEV\n"
    "  hailog html DEV -o day.html                # the period on one page\n"
    "  hailog html DEV --since \"2024-06-11 18:00\" --until \"2024-06-12 06:00\" -o night.html\n"
    "  hailog fleet --json FLEET                  # one line per terminal, most troubled first";

const char* const kVerbs[] = {"list", "summary", "html", "fleet"};
// Options of the tool itself, not of the listing.
const char* const kToolOptions[] = {"-h", "--help", "--version", "--manual-page"};

// `hailog PATH` and `hailog --follow PATH` are the listing, as before verbs.
std::vector<std::string> WithVerb(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return args;
    const std::string& first = args.front();
    for (const char* verb : kVerbs)
        if (first == verb)
            return args;
    for (const char* option : kToolOptions)
        if (first == option)
            return args;
    args.insert(args.begin(), "list");
    return args;
}

struct Inputs {
    std::vector<std::string> paths;
    std::vector<LogFile> files;
    Problems problems;
    unsigned jobs = DefaultJobs();
    TimeWindow window;
};

// --since and --until as given, read once every verb's are parsed.
struct WindowText {
    std::string since, until;
};

// Finds the files the paths name that meet the window; false (after saying
// why) when there are none.
bool FindInputs(Inputs& inputs)
{
    if (!FindLogFiles(inputs.paths, inputs.files, inputs.problems))
        return false;
    const bool anyFile = !inputs.files.empty();
    KeepFilesMeeting(inputs.files, inputs.window);
    if (inputs.files.empty()) {
        // One line for one trouble: say it only if no warning said why.
        if (anyFile)
            std::cerr << "hailog: no log file meets the time window given\n";
        else if (inputs.problems.Count() == 0)
            std::cerr << "hailog: no log files to read\n";
        return false;
    }
    return true;
}

// Reads every file once, in hour order, into the sink's events.
void ReadEvents(Inputs& inputs, EventSink& sink, bool keepLines)
{
    Progress progress(inputs.files.size(), "files");
    inputs.problems.ClearBeforeWarning(&progress);
    SummaryReader reader(inputs.files, sink, ReaderSettings{keepLines, inputs.window});
    ReadInOrder(inputs.files, ReadSettings{inputs.jobs, &progress}, inputs.problems, reader);
    reader.Finish();
    inputs.problems.ClearBeforeWarning(nullptr);
}

int Status(const Problems& problems) { return problems.Count() > 0 ? kWarnings : kClean; }

// The text takes the events as they are read; JSON needs one time order.
int Summarise(Inputs& inputs, bool json, bool allRestarts)
{
    if (!FindInputs(inputs))
        return kWillNotWork;
    if (json) {
        EventStore store;
        ReadEvents(inputs, store, false);
        store.Visit([](const Event& event) { WriteJsonLine(event, std::cout); });
    } else {
        TextSummary text(HoursOf(inputs.files, inputs.window), allRestarts);
        ReadEvents(inputs, text, false);
        text.Write(std::cout);
    }
    std::cout << std::flush;
    return Status(inputs.problems);
}

int DrawPage(Inputs& inputs, const std::string& output, std::string terminal)
{
    if (!FindInputs(inputs))
        return kWillNotWork;
    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    if (!out) {
        std::cerr << "hailog: " << output << ": cannot be written\n";
        return kWillNotWork;
    }
    if (terminal.empty())
        terminal = TerminalOfPaths(inputs.paths);
    Page page(HoursOf(inputs.files, inputs.window));
    ReadEvents(inputs, page, true);
    page.Write(terminal, out);
    out.close();
    if (!out) {
        std::cerr << "hailog: " << output << ": writing failed\n";
        return kWillNotWork;
    }
    return Status(inputs.problems);
}

void AddPaths(CLI::App& verb, std::vector<std::string>& paths, unsigned& jobs)
{
    verb.add_option("PATH", paths, "log files, Log folders or copies of devices")->required();
    verb.add_option("-j,--jobs", jobs, "threads that read and decode (default: one per core); the answer is the same")
        ->check(CLI::Range(1u, 256u));
}

void AddWindow(CLI::App& verb, WindowText& text)
{
    verb.add_option("--since", text.since,
                    "only from this time on: a date (from its start), \"YYYY-MM-DD HH:MM[:SS]\" (a space or T), "
                    "now, today, yesterday, or relative to now: -2h, -7d, \"3 days ago\"");
    verb.add_option("--until", text.until,
                    "only up to this time: the same forms, each to its end (a date's last second, a minute's "
                    "59th)");
}

// False, after saying why, when a bound is no time or the window is empty.
bool ReadWindow(const WindowText& text, TimeWindow& window)
{
    if (text.since.empty() && text.until.empty())
        return true;
    const std::optional<Seconds> now = Now();
    if (!now) {
        std::cerr << "hailog: HAILOG_NOW: not a time of the form \"YYYY-MM-DD[ HH:MM[:SS]]\"\n";
        return false;
    }
    for (const auto& [given, bound, into] : {std::tuple{&text.since, Bound::Since, &window.since},
                                             std::tuple{&text.until, Bound::Until, &window.until}}) {
        if (given->empty())
            continue;
        *into = ParseBound(*given, bound, *now);
        if (!*into) {
            std::cerr << "hailog: " << *given << ": not a time of the form " << kTimeForms << "\n";
            return false;
        }
    }
    if (window.since && window.until && *window.since > *window.until) {
        std::cerr << "hailog: --since " << text.since << " comes after --until " << text.until << "\n";
        return false;
    }
    return true;
}

// What the verbs' options fill in, and the verbs.
struct Verbs {
    ListOptions list;
    Inputs summary, page;
    FleetOptions fleet;
    WindowText listWindow, summaryWindow, pageWindow, fleetWindow;
    bool json = false, allRestarts = false;
    std::string output, terminal;
    CLI::App *listVerb = nullptr, *summaryVerb = nullptr, *htmlVerb = nullptr, *fleetVerb = nullptr;
};

void DefineList(CLI::App& app, Verbs& v)
{
    v.listVerb = app.add_subcommand(
        "list", "show the lines in hour order (the default verb); with a filter, each line with its full "
                "date and time");
    v.list.jobs = DefaultJobs();
    AddPaths(*v.listVerb, v.list.paths, v.list.jobs);
    v.listVerb->add_flag("--follow", v.list.follow, "keep showing what is appended, once a second");
    v.listVerb->add_option("--number", v.list.filter.numbers, "only messages with this number (repeatable)")
        ->take_all();
    v.listVerb->add_option("--function", v.list.filter.function,
                           "only messages of this function (CPatchList::RM, or just RM)");
    v.listVerb->add_flag("--errors", v.list.filter.errorsOnly, "only error messages (tag <E>)");
    AddWindow(*v.listVerb, v.listWindow);
    v.listVerb->footer(kFooter);
}

void DefineSummary(CLI::App& app, Verbs& v)
{
    v.summaryVerb = app.add_subcommand(
        "summary", "what happened, in time order: runs, restarts, ignition-off periods, the navigation "
                   "application, start-up updates, refused build options, hours with no file, a log that "
                   "stopped, the clock lost");
    AddPaths(*v.summaryVerb, v.summary.paths, v.summary.jobs);
    v.summaryVerb->add_flag("--json", v.json, "one JSON object a line per event");
    v.summaryVerb->add_flag("--all-restarts", v.allRestarts,
                            "list every restart's time (more than six are otherwise folded into their count, "
                            "first, last and busiest hour)");
    AddWindow(*v.summaryVerb, v.summaryWindow);
    v.summaryVerb->footer(kFooter);
}

void DefineHtml(CLI::App& app, Verbs& v)
{
    v.htmlVerb = app.add_subcommand(
        "html", "the period on one self-contained page: a timeline with the events as marks, the summary beneath");
    AddPaths(*v.htmlVerb, v.page.paths, v.page.jobs);
    v.htmlVerb->add_option("-o,--output", v.output, "the page to write")->required();
    v.htmlVerb->add_option("--terminal", v.terminal,
                           "the terminal's name in the page's title (default: the name of the folder read)");
    AddWindow(*v.htmlVerb, v.pageWindow);
    v.htmlVerb->footer(kFooter);
}

void DefineFleet(CLI::App& app, Verbs& v)
{
    v.fleet.jobs = DefaultJobs();
    v.fleetVerb = app.add_subcommand(
        "fleet", "one line per terminal (each sub-folder of ROOT is one terminal's device copy or Log folder): "
                 "runs, stops without closing, restarts, updates applied and kept, build-option failures and "
                 "hours with no file, and what still needs a visit, most severe first");
    v.fleetVerb->add_option("ROOT", v.fleet.roots, "folders holding one folder per terminal")->required();
    v.fleetVerb->add_flag("--json", v.fleet.json, "one JSON object a line per terminal, with its \"terminal\"");
    v.fleetVerb->add_option("-j,--jobs", v.fleet.jobs, "terminals read at once (default: one per core)")
        ->check(CLI::Range(1u, 256u));
    v.fleetVerb->add_option("--restarts-a-day", v.fleet.restartsADay,
                            "an application restarted more often than this in a terminal's last 24 hours of log "
                            "needs a visit (default 12)")
        ->check(CLI::Range(1, 1000000));
    AddWindow(*v.fleetVerb, v.fleetWindow);
    v.fleetVerb->footer(kFooter);
}

int RunVerb(Verbs& v)
{
    if (*v.listVerb)
        return ReadWindow(v.listWindow, v.list.filter.window) ? List(v.list) : kWillNotWork;
    if (*v.summaryVerb)
        return ReadWindow(v.summaryWindow, v.summary.window) ? Summarise(v.summary, v.json, v.allRestarts)
                                                               : kWillNotWork;
    if (*v.fleetVerb)
        return ReadWindow(v.fleetWindow, v.fleet.window) ? Fleet(v.fleet) : kWillNotWork;
    return ReadWindow(v.pageWindow, v.page.window) ? DrawPage(v.page, v.output, v.terminal) : kWillNotWork;
}

int Run(int argc, char** argv)
{
    CLI::App app("hailog: reads a terminal's hourly logs on a PC, decoded from code page 949");
    app.name("hailog");
    tools::AddVersionAndManual(app, {HAILOG_PATHS, kExamples, HAILOG_STATUSES});
    app.require_subcommand(1, 1);
    Verbs verbs;
    DefineList(app, verbs);
    DefineSummary(app, verbs);
    DefineHtml(app, verbs);
    DefineFleet(app, verbs);
    std::vector<std::string> args = WithVerb(argc, argv);
    std::reverse(args.begin(), args.end()); // CLI11 takes them last first
    try {
        app.parse(args);
    } catch (const CLI::Success& done) { // --help, --version, --manual-page
        return app.exit(done);
    } catch (const CLI::ParseError& error) {
        std::cerr << "hailog: " << error.what() << " (hailog --help tells more)\n";
        return kWillNotWork;
    }
    return RunVerb(verbs);
}

} // namespace

int main(int argc, char** argv)
{
#ifdef _WIN32
    // UTF-8 out, with the same line ends as on Linux.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::ios::sync_with_stdio(false);
    try {
        return Run(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << "hailog: " << error.what() << "\n";
        return kWillNotWork;
    }
}
