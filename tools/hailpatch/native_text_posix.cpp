// Code page 949 and file names on Linux: names are UTF-8 bytes, and iconv
// converts between UTF-8 and 949.
#include "native_text.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace hailpatch {

namespace {

// One iconv conversion of the whole of `input`. Answers the offset of the
// first byte it could not convert, or npos.
size_t Convert(const char* to, const char* from, const std::string& input, std::string* out)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return 0;
    }
    std::string result;
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    size_t failedAt = std::string::npos;
    char buffer[256];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof(buffer);
        size_t done = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        result.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (done == static_cast<size_t>(-1) && errno != E2BIG) {
            failedAt = input.size() - inLeft;
            break;
        }
    }
    iconv_close(cd);
    if (out != nullptr) {
        *out = result;
    }
    return failedAt;
}

bool IsAscii(const std::string& text)
{
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

// Text in `encoding` as UTF-8, a byte that forms no character as \xNN.
std::string Readable(const char* encoding, const std::string& bytes)
{
    std::string shown;
    std::string rest = bytes;
    while (!rest.empty()) {
        std::string part;
        size_t failedAt = Convert("UTF-8", encoding, rest, &part);
        shown += part;
        if (failedAt == std::string::npos) {
            break;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof(escaped), "\\x%02X",
                      static_cast<unsigned char>(rest[failedAt]));
        shown += escaped;
        rest.erase(0, failedAt + 1);
    }
    return shown;
}

} // namespace

size_t FindInvalid949(const std::string& bytes)
{
    return Convert("UTF-8", "CP949", bytes, nullptr);
}

std::string Cp949ToUtf8(const std::string& bytes)
{
    return Readable("CP949", bytes);
}

bool Utf8To949(const std::string& utf8, std::string* out)
{
    return Convert("CP949", "UTF-8", utf8, out) == std::string::npos;
}

bool NameTo949(const fs::path& name, std::string* out)
{
    return Utf8To949(name.string(), out);
}

bool IsPcName(const fs::path& path)
{
    return IsAscii(path.native()) || Convert("UTF-16LE", "UTF-8", path.string(), nullptr) == std::string::npos;
}

std::string DisplayName(const fs::path& path)
{
    const std::string& bytes = path.native();
    return IsAscii(bytes) ? bytes : Readable("UTF-8", bytes);
}

fs::path PathOfArgument(const std::string& argument)
{
    return fs::path(argument);
}

std::vector<std::string> Utf8Arguments(int argc, char** argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

void PrepareConsole()
{
}

FILE* OpenListAsText(const fs::path& list, std::string* error)
{
    std::ifstream in(list, std::ios::binary);
    if (!in) {
        *error = std::strerror(errno);
        return nullptr;
    }
    std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        *error = "read error";
        return nullptr;
    }
    std::string text;
    for (size_t i = 0; i < raw.size() && raw[i] != '\x1a'; ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') {
            continue;
        }
        text += raw[i];
    }
    FILE* file = std::tmpfile();
    if (file == nullptr || std::fwrite(text.data(), 1, text.size(), file) != text.size()) {
        *error = "no temporary file to read it through";
        if (file != nullptr) {
            std::fclose(file);
        }
        return nullptr;
    }
    std::rewind(file);
    return file;
}

} // namespace hailpatch
