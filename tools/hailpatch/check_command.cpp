#include <iostream>
#include <string>

#include "commands.h"
#include "package_check.h"
#include "progress_line.h"

namespace hailpatch {

namespace {

// How far the power cuts have got, on the one progress line of the tools.
class CutProgress {
public:
    void Show(std::size_t done, std::size_t all)
    {
        if (line_.Due()) {
            line_.Show("hailpatch: power cuts after " + std::to_string(done) + " of " + std::to_string(all) +
                       " changes");
        }
    }
    void Clear() { line_.Clear(); }

private:
    tools::ProgressLine line_;
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
