// check against an oracle of its own: a package generated from a small
// vocabulary, on a generated terminal, is checked, and the same package is
// run by the power-cut harness (a fresh tree written before every start, the
// power cut after every file call by call count), which judges what must
// always hold from its own trees. check's verdict must be 2 exactly when the
// oracle sees a breach, name the files the oracle finds lost, and its line
// by line changes must add up to the tree of an uninterrupted start.
#ifndef HAILPATCH_CHECK_DIFFERENTIAL_H
#define HAILPATCH_CHECK_DIFFERENTIAL_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace hailpatch_test {

// Builds a terminal and a package from `size` bytes (any bytes make some),
// checks and tries it; empty when they agree, else what differs with the
// package's list. `resumedCuts`: how many of the first start's cut points
// also have every call of the start that resumes cut.
std::string CheckAgreesWithOracle(const std::uint8_t* data, std::size_t size, int resumedCuts = 2);

} // namespace hailpatch_test

#endif
