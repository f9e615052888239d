// Text and names for the PC tools, over the host backend: code page 949
// through its codec (platform/host/native.h), UTF-8 as the device reads it,
// and the PC's names as std::filesystem holds them (UTF-8 bytes on Linux,
// Unicode on Windows). Every report shows a byte that forms no character
// the same way, as \xNN.
#ifndef HAILWATCH_TOOLS_PC_TEXT_H
#define HAILWATCH_TOOLS_PC_TEXT_H

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/host/host_control.h"
#include "platform/host/native.h"

namespace tools {

namespace fs = std::filesystem;

namespace detail {

inline std::string Escaped(unsigned char byte)
{
    char text[8];
    std::snprintf(text, sizeof(text), "\\x%02X", byte);
    return text;
}

// The bytes of the 949 character at `at` and its code point; 0 when the byte
// there begins none. 0x80 and 0xFF begin none; a lead byte needs its trail.
inline size_t Next949(host::native::Cp949Codec* codec, const std::string& bytes, size_t at, unsigned* codePoint)
{
    unsigned char lead = static_cast<unsigned char>(bytes[at]);
    *codePoint = lead;
    if (lead < 0x80) {
        return 1;
    }
    if (lead == 0x80 || lead == 0xFF || at + 1 >= bytes.size()) {
        return 0;
    }
    return codec->Decode(bytes.data() + at, codePoint) ? 2 : 0;
}

} // namespace detail

// Offset of the first byte of `bytes` that begins no character of code page
// 949, or npos when all of it is 949 text.
inline size_t FindInvalid949(const std::string& bytes)
{
    host::native::Cp949Codec codec;
    unsigned codePoint;
    for (size_t at = 0; at < bytes.size();) {
        size_t length = detail::Next949(&codec, bytes, at, &codePoint);
        if (length == 0) {
            return at;
        }
        at += length;
    }
    return std::string::npos;
}

// 949 text as UTF-8 for a report; a byte that begins no character shows as
// \xNN and the next byte is read afresh.
inline std::string Show949(const std::string& bytes)
{
    host::native::Cp949Codec codec;
    std::wstring units;
    std::string shown;
    unsigned codePoint;
    for (size_t at = 0; at < bytes.size();) {
        size_t length = detail::Next949(&codec, bytes, at, &codePoint);
        if (length == 0) {
            shown += host::Narrow(units) + detail::Escaped(static_cast<unsigned char>(bytes[at]));
            units.clear();
            ++at;
            continue;
        }
        units += static_cast<wchar_t>(codePoint);
        at += length;
    }
    return shown + host::Narrow(units);
}

// UTF-8 text in code page 949; false when 949 lacks one of its characters
// (or the text is not UTF-8).
inline bool Utf8To949(const std::string& utf8, std::string* out)
{
    host::native::Cp949Codec codec;
    std::wstring units = host::Widen(utf8);
    std::string bytes;
    for (wchar_t unit : units) {
        char pair[2];
        size_t produced = 0;
        if (unit < 0x80) {
            bytes += static_cast<char>(unit);
        } else if (codec.Encode(static_cast<unsigned>(unit), pair, &produced)) {
            bytes.append(pair, produced);
        } else {
            return false;   // U+FFFD stands for what was not UTF-8: 949 lacks it too
        }
    }
    *out = bytes;
    return true;
}

// A PC path as native.h takes it: UTF-8, '/' between names.
inline std::string NativeName(const fs::path& path)
{
    return path.generic_u8string();
}

// A file's name on this PC as the terminal will see it in code page 949;
// false when 949 cannot hold it.
inline bool NameTo949(const fs::path& name, std::string* out)
{
    return Utf8To949(name.u8string(), out);
}

// Offset of the first byte of `text` that begins no UTF-8 character, or npos.
inline size_t FindInvalidUtf8(const std::string& text)
{
    for (size_t at = 0; at < text.size();) {
        size_t length = host::Utf8CharacterLength(text.data() + at, text.size() - at);
        if (length == 0) {
            return at;
        }
        at += length;
    }
    return std::string::npos;
}

// Whether every name in `path` has the form this PC gives names: UTF-8 (a
// card copied on Linux without converting its names holds 949 bytes
// instead; on Windows names are Unicode, and always are).
inline bool IsPcName(const fs::path& path)
{
    return FindInvalidUtf8(path.u8string()) == std::string::npos;
}

// A path for messages, in UTF-8; a byte that is not shows as \xNN.
inline std::string DisplayName(const fs::path& path)
{
    std::string text = path.u8string();
    std::string shown;
    for (size_t bad = FindInvalidUtf8(text); bad != std::string::npos; bad = FindInvalidUtf8(text)) {
        shown += text.substr(0, bad) + detail::Escaped(static_cast<unsigned char>(text[bad]));
        text.erase(0, bad + 1);
    }
    return shown + text;
}

// The path a command-line argument names (arguments are UTF-8: see
// host::native::Utf8Arguments).
inline fs::path PathOfArgument(const std::string& argument)
{
    return fs::u8path(argument);
}

} // namespace tools

#endif
