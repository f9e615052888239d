// One line of a golden case's device tree, as both the host runner and the
// Win32 lister (golden_device) write it: "\Folder\ 0xNN" for a folder and
// "\Folder\file 0xNN content" for a file, the content's first 64 bytes
// shown, printable ASCII and UTF-8 as they are and every other byte \xNN.
#ifndef HAILWATCH_TESTS_GOLDEN_TREE_LINE_H
#define HAILWATCH_TESTS_GOLDEN_TREE_LINE_H

#include <cstdio>
#include <string>

namespace golden {

inline std::string ShownAttributes(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof(text), "0x%02x", value);
    return text;
}

inline std::string ShownContent(const std::string& bytes)
{
    const std::size_t shownBytes = 64;
    std::string shown;
    for (unsigned char c : bytes.substr(0, shownBytes)) {
        if (c >= 0x20 && c != 0x7f) {
            shown += static_cast<char>(c);
        } else {
            char code[8];
            std::snprintf(code, sizeof(code), "\\x%02x", unsigned(c));
            shown += code;
        }
    }
    return bytes.size() > shownBytes ? shown + "..." : shown;
}

// `path` (UTF-8, backslashes) with what stands there.
inline std::string FolderLine(const std::string& path, unsigned attributes)
{
    return path + "\\ " + ShownAttributes(attributes);
}

inline std::string FileLine(const std::string& path, unsigned attributes, const std::string& bytes)
{
    return path + " " + ShownAttributes(attributes) + " " + ShownContent(bytes);
}

} // namespace golden

#endif
