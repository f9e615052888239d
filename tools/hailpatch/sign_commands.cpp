// `hailpatch keygen` and `sign`.
#include <iostream>

#include "check_report.h"
#include "commands.h"
#include "key_files.h"
#include "package_signing.h"
#include "tools/common/pc_text.h"

namespace hailpatch {

int RunKeygen(const fs::path& name)
{
    std::string error;
    if (!GenerateKeyPair(name, &error)) {
        Complain(error);
        return kStatusBadInput;
    }
    std::cout << tools::DisplayName(fs::path(name).concat(".key")) << ": the private key; keep it to "
              << "yourself, it never goes into a package\n"
              << tools::DisplayName(fs::path(name).concat(".pub")) << ": the public key; copy it as it "
              << "is to each terminal's \\ResidentFlash\\Hailnet\\update.pub\n";
    return kStatusClean;
}

int RunSign(const fs::path& package, const fs::path& key,
            const std::optional<unsigned long long>& sequenceAfter)
{
    std::string error;
    unsigned long sequence = 0;
    if (!ChooseSequence(sequenceAfter, &sequence, &error) ||
        !SignPackage(package, key, sequence, &error)) {
        Complain(error);
        return kStatusBadInput;
    }
    std::cout << "signed: " << tools::DisplayName(package / kManifestFile) << ", "
              << tools::DisplayName(package / kSignatureFile) << "; sequence number " << sequence << "\n";
    return kStatusClean;
}

} // namespace hailpatch
