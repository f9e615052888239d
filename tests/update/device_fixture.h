// A device of a test's own under the temporary folder, its files put and
// read by device path, and the host made ready as a fresh process of the
// supervisor would find it: the update tests that run several starts.
#ifndef HAILWATCH_TESTS_DEVICE_FIXTURE_H
#define HAILWATCH_TESTS_DEVICE_FIXTURE_H

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>

#include "log/WriteLog.h"
#include "platform/host/host_control.h"

class DeviceFixture : public ::testing::Test {
protected:
    // The device "hailwatch-TAG-PID" with `folders` ('/'-separated) in it.
    void MakeDevice(const std::string& tag, std::initializer_list<const char*> folders)
    {
        root_ = std::filesystem::temp_directory_path() / ("hailwatch-" + tag + "-" + std::to_string(getpid()));
        std::filesystem::remove_all(root_);
        for (const char* folder : folders) {
            std::filesystem::create_directories(root_ / folder);
        }
        host::SetDeviceRoot(root_.string());
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    void Put(const std::string& devicePath, const std::string& content)
    {
        std::filesystem::path native = host::NativePath(devicePath);
        std::filesystem::create_directories(native.parent_path());
        std::ofstream(native, std::ios::binary) << content;
    }
    std::string Read(const std::string& devicePath)
    {
        std::ifstream in(host::NativePath(devicePath), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return in ? bytes.str() : "(missing)";
    }
    bool Exists(const std::string& devicePath) { return std::filesystem::exists(host::NativePath(devicePath)); }

    // The host as a new process of the supervisor finds it: this device, the
    // same wall clock at every start, the log captured from its first line.
    void FreshProcess()
    {
        host::Reset();
        host::SetDeviceRoot(root_.string());
        host::UseVirtualClock(0, SYSTEMTIME{2024, 5, 2, 14, 10, 0, 0, 0});
        host::CaptureDebugOutput(true);
        SetLogEcho(1);
    }

    std::filesystem::path root_;
};

#endif
