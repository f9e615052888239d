// hailpatch check against the try engine, on packages generated from the
// input's bytes (tests/hailpatch/check_differential.cpp): check's line by
// line changes must add up to what try observed, and its verdict must be 2
// exactly when try's observation shows a package that will not work.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/hailpatch/check_differential.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string differs = hailpatch_test::CheckAgreesWithTry(data, size);
    if (!differs.empty()) {
        std::fprintf(stderr, "check and try disagree: %s\n", differs.c_str());
        std::abort();
    }
    return 0;
}
