// WriteLog with any text, held to the rule for a log line: the minute and
// second stamp, then the message, cut to at most 1,023 bytes (never inside a
// double-byte character, and then ending in CR LF), in the hour's file.
//
// Input: a byte whose low bit chooses the system's message convention
// ("<I> Source[n] text\r\n") over the bare text, bytes for the minute, the
// second and n, then the text (up to its first zero byte, as "%s" takes it).
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "log/WriteLog.h"
#include "log/LogBuffer.h"
#include "platform/host/host_control.h"
#include "tests/fuzz/fuzz_device.h"

namespace {

const char kTarget[] = "WriteLog";
const size_t kLongestLine = 1023;
const DWORD kStartTick = 100000;

std::string g_root;

// Code page 949: a lead byte and the byte after it are one character.
bool IsLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

// What a cut keeps of a text too long for a line: whole characters up to
// two bytes short of the limit, then CR LF.
std::string CutToLine(const std::string& text)
{
    const size_t room = kLongestLine - 2;
    size_t keep = 0;
    while (keep < room) {
        size_t step = IsLeadByte(static_cast<unsigned char>(text[keep])) && keep + 1 < text.size() ? 2 : 1;
        if (keep + step > room)
            break;
        keep += step;
    }
    return text.substr(0, keep) + "\r\n";
}

std::string Bounded(const std::string& text)
{
    return text.size() > kLongestLine ? CutToLine(text) : text;
}

std::string TwoDigits(int value)
{
    char out[4];
    std::snprintf(out, sizeof(out), "%02d", value);
    return out;
}

std::string ExpectedLine(const std::string& message, int minute, int second)
{
    return Bounded(TwoDigits(minute) + ":" + TwoDigits(second) + " [K] " + Bounded(message));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_root = fuzzdevice::MakeScratchFolder("hailwatch-fuzz-log") + "/device";
    fuzzdevice::WriteNativeFile(g_root + "/ResidentFlash/Hailnet/LogMsg", "");
    fuzzdevice::WriteNativeFile(g_root + "/ResidentFlash/Hailnet/LogMsgRT", "");
    fuzzdevice::WriteNativeFile(g_root + "/ResidentFlash/Log/.keep", "");
    host::SetDeviceRoot(g_root);
    host::Reset();
    // Read once, with both markers: every line is written at once.
    CLogBuffer::GetInstance();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    const bool convention = (data[0] & 1) != 0;
    const int minute = data[1] % 60;
    const int second = data[2] % 60;
    const int number = data[3];
    std::string text(reinterpret_cast<const char*>(data) + 4, size - 4);
    text = text.substr(0, text.find('\0'));

    host::Reset();
    SYSTEMTIME now = {2024, 5, 2, 14, 10, static_cast<WORD>(minute), static_cast<WORD>(second), 0};
    host::UseVirtualClock(kStartTick, now);
    host::CaptureDebugOutput(true);
    SetLogEcho(1);
    const std::string logFolder = g_root + "/ResidentFlash/Log";
    fuzzdevice::EmptyFolder(logFolder);

    std::string message;
    if (convention) {
        WriteLog("%s %s[%d] %s\r\n", "<I>", "Fuzz::Text", number, text.c_str());
        message = "<I> Fuzz::Text[" + std::to_string(number) + "] " + text + "\r\n";
    } else {
        WriteLog("%s", text.c_str());
        message = text;
    }

    const std::string expected = ExpectedLine(message, minute, second);
    const std::vector<std::string> files = fuzzdevice::FolderNames(logFolder);
    if (files != std::vector<std::string>{"hailwatch-2024051410.log"})
        fuzzdevice::Fail(kTarget, "the line is not in the hour's file alone", size);
    if (fuzzdevice::ReadNativeFile(logFolder + "/" + files[0]) != expected)
        fuzzdevice::Fail(kTarget, "the file holds another line than the rule gives", size);
    const std::vector<std::string> echoed = fuzzdevice::EchoedLines();
    if (echoed.size() != 1 || echoed[0] != expected)
        fuzzdevice::Fail(kTarget, "the debugger echo differs from the line", size);
    return 0;
}
