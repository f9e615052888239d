// The differential test of check against the power-cut harness's own
// judgement, on a fixed seed, so that a failure is the same failure at every
// run (the fuzz build explores further: tests/fuzz/check_differential_fuzzer.cpp).
// HAILWATCH_DIFFERENTIAL_PACKAGES sets how many packages (default 40).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <vector>

#include "tests/hailpatch/check_differential.h"

TEST(HailpatchCheckDifferential, CheckAgreesWithTheOracleOnGeneratedPackages)
{
    // The oracle writes a whole tree before every start: in memory, where
    // there is a file system there.
    if (std::filesystem::is_directory("/dev/shm")) {
        setenv("TMPDIR", "/dev/shm", 1);
    }
    const char* count = std::getenv("HAILWATCH_DIFFERENTIAL_PACKAGES");
    const int packages = count != nullptr ? std::atoi(count) : 40;
    std::mt19937 random(22);
    for (int i = 0; i < packages; ++i) {
        std::vector<std::uint8_t> bytes(32);
        for (std::uint8_t& byte : bytes) {
            byte = static_cast<std::uint8_t>(random());
        }
        std::string differs = hailpatch_test::CheckAgreesWithOracle(bytes.data(), bytes.size());
        ASSERT_TRUE(differs.empty()) << "package " << i << ": " << differs;
    }
}
