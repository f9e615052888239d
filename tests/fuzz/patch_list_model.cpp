#include "tests/fuzz/patch_list_model.h"

#include <vector>

#include "tests/fuzz/field_model.h"

namespace fuzzmodel {
namespace {

// Bytes a line may hold, its LF included, and still be read whole.
constexpr size_t kLongestLine = 1023;
constexpr size_t kMaxFields = 25;
// The update folder the fuzz target runs the list from.
const std::string kFolder = "\\SDMMC\\AirUpdate";
// A copy whose joined paths are longer than this may be skipped as too long
// for the interpreter's buffers; the model does not say which.
constexpr size_t kSurelyShortPath = 200;

enum class Verdict { Acts, Silent, Unsure };

// The file as a text-mode read returns it: CR LF is LF, 0x1A ends it.
std::string ReadAsText(const std::string& bytes)
{
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\x1A')
            break;
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            continue;
        text += bytes[i];
    }
    return text;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

// A line read whole, without a zero byte that would end it early.
bool IsPlain(const std::string& line)
{
    return line.size() <= kLongestLine && line.find('\0') == std::string::npos;
}

bool StartsWith(const std::string& line, const char* keyword)
{
    return line.compare(0, std::string(keyword).size(), keyword) == 0;
}

Verdict CopyVerdict(const std::vector<std::string>& fields)
{
    if (fields.size() < 2 || fields[1].empty())
        return Verdict::Silent;
    size_t longest = std::max(kFolder.size(), fields[1].size()) + 1 + fields[0].size();
    return longest <= kSurelyShortPath ? Verdict::Acts : Verdict::Unsure;
}

Verdict JudgeLine(std::string line, int pass)
{
    if (line.size() < 2 || line[0] == '#' || line[0] == '/' || line[0] == ' ')
        return Verdict::Silent;
    for (char& byte : line) {
        if (byte == '/')
            byte = '\\';
    }
    std::vector<std::string> fields = ExpectedFields(line, '(', ')', kMaxFields);
    if (fields.empty() || fields[0].empty())
        return Verdict::Silent;
    if (pass == 1)
        return StartsWith(line, "RUN") || StartsWith(line, "WAITREBOOT") ? Verdict::Acts
                                                                         : Verdict::Silent;
    if (StartsWith(line, "KILL") || StartsWith(line, "RMDIR") || StartsWith(line, "MKDIR") ||
        StartsWith(line, "RM"))
        return Verdict::Acts;
    if (StartsWith(line, "CP"))
        return CopyVerdict(fields);
    return StartsWith(line, "SLEEP") ? Verdict::Acts : Verdict::Silent;
}

} // namespace

ListForecast ForecastList(const std::string& fileBytes, int pass)
{
    ListForecast forecast = {0, true};
    std::vector<std::string> lines = SplitLines(ReadAsText(fileBytes));
    for (size_t i = 0; i < lines.size(); ++i) {
        // A line read in pieces, and the line after it (which may be taken
        // for its tail), are left to the golden cases.
        if (!IsPlain(lines[i]) || (i > 0 && !IsPlain(lines[i - 1]))) {
            forecast.complete = false;
            continue;
        }
        // A byte-order mark before the first line is not part of it; it
        // still counts towards the piece the line is read in.
        std::string line = lines[i];
        if (i == 0 && StartsWith(line, "\xEF\xBB\xBF"))
            line.erase(0, 3);
        Verdict verdict = JudgeLine(line, pass);
        if (verdict == Verdict::Acts)
            ++forecast.commands;
        else if (verdict == Verdict::Unsure)
            forecast.complete = false;
    }
    return forecast;
}

} // namespace fuzzmodel
