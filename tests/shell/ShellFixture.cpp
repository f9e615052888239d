#include "tests/shell/ShellFixture.h"

#include "app/Shell.h"

namespace shelltest {
namespace {
const std::string kRule(63, '#');
}

std::string StartBanner()
{
    return logtest::Line("59:58", kRule + "\r\n") +
           logtest::Line(
               "59:58", "<I> ###################### Hailwatch Start ######################\r\n") +
           logtest::Line("59:58", kRule + "\r\n");
}

std::string EndBanner(const char* minuteSecond)
{
    return logtest::Line(minuteSecond, kRule + "\r\n") +
           logtest::Line(
               minuteSecond, "<I> ####################### Hailwatch End #######################\r\n") +
           logtest::Line(minuteSecond, kRule + "\r\n");
}

void ShellTest::StartShell()
{
    ASSERT_TRUE(InitInstance(nullptr, SW_SHOW));
    window_ = FindWindowW(L"HAILWATCH", L"Hailwatch");
    ASSERT_NE(window_, nullptr);
    zero_ = GetTickCount();
}

std::vector<std::string> ShellTest::LogLines()
{
    std::string bytes = ReadFile(logtest::kLogThisHour);
    std::vector<std::string> lines;
    for (size_t at = 0; at < bytes.size();) {
        size_t end = bytes.find("\r\n", at);
        end = end == std::string::npos ? bytes.size() : end + 2;
        lines.push_back(bytes.substr(at, end - at));
        at = end;
    }
    return lines;
}

std::string ShellTest::FirstLines(size_t count)
{
    std::vector<std::string> lines = LogLines();
    std::string text;
    for (size_t i = 0; i < count && i < lines.size(); ++i)
        text += lines[i];
    return text;
}

std::string ShellTest::LastLines(size_t count)
{
    std::vector<std::string> lines = LogLines();
    std::string text;
    for (size_t i = lines.size() > count ? lines.size() - count : 0; i < lines.size(); ++i)
        text += lines[i];
    return text;
}

void ShellTest::InstallSibling(const std::string& title, bool running)
{
    const std::string image = "\\ResidentFlash\\Hailnet\\" + title + ".exe";
    MakeFile(image);
    host::ProgramSetup setup;
    setup.title = host::Widen(title);
    host::RegisterProgram(image, setup);
    if (running)
        host::StartProgram(image);
}

int ShellTest::CountTo(const std::wstring& title, UINT message)
{
    int count = 0;
    for (const host::TraceEntry& entry : host::Trace())
        count += entry.title == title && entry.message == message ? 1 : 0;
    return count;
}

} // namespace shelltest
