// A fresh simulated device per test: its own device root (Hailnet and Log
// folders, SD card), the virtual clock at a fixed local time, the supervisor
// state zeroed and the process's one log store emptied and re-read.
#ifndef HAILWATCH_TESTS_LOG_DEVICE_FIXTURE_H
#define HAILWATCH_TESTS_LOG_DEVICE_FIXTURE_H

#include <gtest/gtest.h>

#include <string>

#include "platform/host/host_control.h"

namespace logtest {

// 2024-03-05 13:59:58, a Tuesday: two seconds before an hour changes.
extern const SYSTEMTIME kStartTime;
extern const DWORD kStartTick;
// The device path of the hour's log file for the start time and the next hour.
extern const char kLogThisHour[];
extern const char kLogNextHour[];

// The expected bytes of one log line stamped "MM:SS [K] " with the message
// given in UTF-8, converted to code page 949 here.
std::string Line(const char* minuteSecond, const std::string& utf8Message);

enum class Logging { Off, Buffered, RealTime };

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates or removes the LogMsg and LogMsgRT markers, then has the store
    // re-read them, as log-control request 2 does.
    void SetLogging(Logging mode);
    // Only the marker files, for code that is to read them itself.
    void SetMarkers(Logging mode);

    static void MakeFile(const std::string& devicePath);
    static void RemoveFile(const std::string& devicePath);
    static bool FileExists(const std::string& devicePath);
    // The file's bytes; empty if it does not exist.
    static std::string ReadFile(const std::string& devicePath);

private:
    void EmptyLogStore();
    std::string root_;
};

} // namespace logtest

#endif
