// Where Linux and Windows differ for the package tools: code page 949 text,
// the names of files on the PC, the command line, and reading the list as
// the terminal's C runtime reads a text file. One implementation per system:
// native_text_posix.cpp (iconv) and native_text_win32.cpp (the code-page
// calls of Windows, code page 949).
#ifndef HAILPATCH_NATIVE_TEXT_H
#define HAILPATCH_NATIVE_TEXT_H

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace hailpatch {

namespace fs = std::filesystem;

// Offset of the first byte of `bytes` that starts no character of code page
// 949, or std::string::npos when all of it is valid 949 text.
size_t FindInvalid949(const std::string& bytes);

// 949 text as UTF-8 for the screen; a byte that forms no character shows as
// \xNN.
std::string Cp949ToUtf8(const std::string& bytes);

// UTF-8 text in code page 949; false when 949 lacks one of its characters
// (or the text is not UTF-8).
bool Utf8To949(const std::string& utf8, std::string* out);

// A file's name on this PC, as the terminal will see it in code page 949;
// false when 949 cannot represent it.
bool NameTo949(const fs::path& name, std::string* out);

// Whether every name in `path` has the form this PC gives names: UTF-8 on
// Linux (a card copied without converting its names holds code page 949
// bytes instead); on Windows always, its names being Unicode.
bool IsPcName(const fs::path& path);

// A name for messages, in UTF-8 (a byte that is not shows as \xNN).
std::string DisplayName(const fs::path& path);

// The path a command-line argument names (arguments are UTF-8 here; see
// Utf8Arguments).
fs::path PathOfArgument(const std::string& argument);

// The command line in UTF-8, whatever the system gives the program.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Standard output shows UTF-8.
void PrepareConsole();

// Opens the list for ReadPatchLine so that it reads what the terminal's
// runtime hands it in text mode: CR LF becomes LF and a byte 0x1A ends the
// text. Null (with `error` set) when the file cannot be read.
FILE* OpenListAsText(const fs::path& list, std::string* error);

} // namespace hailpatch

#endif
