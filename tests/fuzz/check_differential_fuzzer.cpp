// hailpatch check against the power-cut harness's own judgement, on packages
// and terminals generated from the input's bytes
// (tests/hailpatch/check_differential.cpp): check's verdict must be 2 exactly
// when the harness sees a breach of what must always hold, and name every
// file the harness finds lost.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/hailpatch/check_differential.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string differs = hailpatch_test::CheckAgreesWithOracle(data, size, 1);
    if (!differs.empty()) {
        std::fprintf(stderr, "check and try disagree: %s\n", differs.c_str());
        std::abort();
    }
    return 0;
}
