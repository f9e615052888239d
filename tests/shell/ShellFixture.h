// The shell on a fresh simulated device: start-up as the device does it, the
// main window, and the log file's lines.
#ifndef HAILWATCH_TESTS_SHELL_FIXTURE_H
#define HAILWATCH_TESTS_SHELL_FIXTURE_H

#include <string>
#include <vector>

#include "tests/log/DeviceFixture.h"

namespace shelltest {

using logtest::Line;
using logtest::Logging;

// The banners' lines as the file must hold them, stamped at the start time.
std::string StartBanner();
std::string EndBanner(const char* minuteSecond);

class ShellTest : public logtest::DeviceTest {
protected:
    // InitInstance; the window it made, and the tick its timers count from.
    void StartShell();
    // The log file of the start hour cut into CR LF lines.
    static std::vector<std::string> LogLines();
    static std::string FirstLines(size_t count);
    static std::string LastLines(size_t count);
    // A sibling program with this title, installed in \ResidentFlash\Hailnet.
    static void InstallSibling(const std::string& title, bool running);
    // Messages posted or sent to the sibling with this title.
    static int CountTo(const std::wstring& title, UINT message);

    HWND window_ = nullptr;
    DWORD zero_ = 0;
};

} // namespace shelltest

#endif
