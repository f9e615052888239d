// A fresh, empty device root per test, removed afterwards.
#ifndef HAILWATCH_TESTS_DEVICE_ROOT_FIXTURE_H
#define HAILWATCH_TESTS_DEVICE_ROOT_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/host/host_control.h"

class DeviceRootTest : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/hailwatch-backend-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        root_ = folder;
        host::SetDeviceRoot(root_);
        host::Reset();
    }
    void TearDown() override {
        host::Reset();
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

    // Native path of a relative native name under the root.
    std::string Native(const std::string& relative) const { return root_ + "/" + relative; }
    void MakeFolder(const std::string& relative) const {
        std::filesystem::create_directories(Native(relative));
    }
    void MakeFile(const std::string& relative, const std::string& contents = "x") const {
        std::ofstream(Native(relative), std::ios::binary) << contents;
    }
    std::string Contents(const std::string& relative) const {
        std::ifstream in(Native(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool NativeExists(const std::string& relative) const {
        return std::filesystem::exists(Native(relative));
    }

    std::string root_;
};

// Wine's conformance style: poison the last error, then check result and
// error together.
inline void PoisonLastError() { SetLastError(0xDEADBEEF); }

#endif
