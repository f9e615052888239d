#include <algorithm>
#include <iostream>

#include "commands.h"
#include "package_check.h"

namespace hailpatch {

void Complain(const std::string& text)
{
    std::cerr << "hailpatch: " << text << "\n";
}

int RunCheck(const fs::path& package, const fs::path& device, const fs::path& publicKey)
{
    CheckReport report;
    std::string error;
    if (!CheckPackage(package, device, &report, &error)) {
        Complain(error);
        return kStatusBadInput;
    }
    PrintReport(report, std::cout);
    int status = report.Status();
    if (!publicKey.empty()) {
        status = std::max(status, ReportSignature(package, publicKey));
    }
    return status;
}

} // namespace hailpatch
