// The differential test of check against try, on a fixed seed, so that a
// failure is the same failure at every run (the fuzz build explores further:
// tests/fuzz/check_differential_fuzzer.cpp).
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tests/hailpatch/check_differential.h"

TEST(HailpatchCheckDifferential, CheckAgreesWithTryOnGeneratedPackages)
{
    std::mt19937 random(15);
    const int kPackages = 150;
    for (int i = 0; i < kPackages; ++i) {
        std::vector<std::uint8_t> bytes(32);
        for (std::uint8_t& byte : bytes) {
            byte = static_cast<std::uint8_t>(random());
        }
        std::string differs = hailpatch_test::CheckAgreesWithTry(bytes.data(), bytes.size());
        ASSERT_TRUE(differs.empty()) << "package " << i << ": " << differs;
    }
}
