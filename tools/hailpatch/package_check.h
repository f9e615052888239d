// `hailpatch check`: what the terminal does with a package. The package is
// run through the terminal's own start-up on a model terminal (a stock one,
// or a copy of a real one), cut by a power failure at every change it makes;
// each line's effects, the bulk move, the time blocked and the verdict come
// from those runs. What a run cannot show (the list's encoding and bytes,
// keywords read as prefixes, ignored lines) is found by reading the list with
// the terminal's own line rules.
#ifndef HAILPATCH_PACKAGE_CHECK_H
#define HAILPATCH_PACKAGE_CHECK_H

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

#include "check_report.h"

namespace hailpatch {

namespace fs = std::filesystem;

struct CheckOptions {
    fs::path package;
    fs::path device;      // empty: a stock terminal
    fs::path install;     // or a terminal whose install folder is a copy of this
    fs::path publicKey;   // the terminal holds it as update.pub
    // Told how far the power cuts have got, when they take long.
    std::function<void(std::size_t done, std::size_t all)> progress;
};

// Checks the package. False with one line in `error` for input that cannot
// be checked (a missing folder, an unreadable file, DEV that is no device).
bool CheckPackage(const CheckOptions& options, CheckReport* report, std::string* error);

} // namespace hailpatch

#endif
