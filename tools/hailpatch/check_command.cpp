#include <iostream>

#include "commands.h"
#include "package_check.h"

namespace hailpatch {

void Complain(const std::string& text)
{
    std::cerr << "hailpatch: " << text << "\n";
}

int RunCheck(const fs::path& package, const fs::path& device)
{
    CheckReport report;
    std::string error;
    if (!CheckPackage(package, device, &report, &error)) {
        Complain(error);
        return kStatusBadInput;
    }
    PrintReport(report, std::cout);
    return report.Status();
}

} // namespace hailpatch
