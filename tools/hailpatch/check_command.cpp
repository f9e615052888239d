#include <chrono>
#include <cstdio>
#include <iostream>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "commands.h"
#include "package_check.h"

namespace hailpatch {

namespace {

// One line on standard error while the power cuts run, when they take over
// a second and standard error is a terminal: a script never sees it.
class CutProgress {
public:
    CutProgress() : start_(Clock::now()), shown_(start_) {}
    // Clears the line, so that the report starts on a clean one.
    void Clear()
    {
        if (width_ != 0) {
            std::cerr << '\r' << std::string(width_, ' ') << '\r' << std::flush;
            width_ = 0;
        }
    }
    void Show(std::size_t done, std::size_t all)
    {
        Clock::time_point now = Clock::now();
        if (!IsTerminal() || now - start_ < std::chrono::seconds(1) || now - shown_ < std::chrono::milliseconds(250)) {
            return;
        }
        shown_ = now;
        char line[96];
        std::snprintf(line, sizeof(line), "hailpatch: power cuts after %zu of %zu changes", done, all);
        std::string text(line);
        std::size_t width = text.size();
        text.append(width_ > width ? width_ - width : 0, ' ');
        width_ = width;
        std::cerr << '\r' << text << std::flush;
    }

private:
    using Clock = std::chrono::steady_clock;
    static bool IsTerminal()
    {
#ifdef _WIN32
        return _isatty(_fileno(stderr)) != 0;
#else
        return isatty(STDERR_FILENO) != 0;
#endif
    }
    Clock::time_point start_;
    Clock::time_point shown_;
    std::size_t width_ = 0;
};

} // namespace

void Complain(const std::string& text)
{
    std::cerr << "hailpatch: " << text << "\n";
}

int RunCheck(const CheckCommand& command)
{
    CutProgress progress;
    CheckOptions options;
    options.package = command.package;
    options.device = command.device;
    options.publicKey = command.publicKey;
    options.progress = [&progress](std::size_t done, std::size_t all) { progress.Show(done, all); };
    CheckReport report;
    std::string error;
    bool checked = CheckPackage(options, &report, &error);
    progress.Clear();
    if (!checked) {
        Complain(error);
        return kStatusBadInput;
    }
    if (command.json) {
        PrintJson(report, std::cout);
    } else {
        PrintReport(report, std::cout);
    }
    return report.Status();
}

} // namespace hailpatch
