// fopen in text mode (no "b"), as the interpreter reads the patch list: CR LF
// comes back as LF, and a 0x1A byte ends the file.
#include <string.h>

#include <string>
#include <vector>

#include "tests/conformance/cases.h"
#include "tests/conformance/work_folder.h"

namespace conformance {
namespace {

std::string Hex(const std::string& bytes)
{
    std::string out;
    char two[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        snprintf(two, sizeof(two), "%02x", static_cast<unsigned char>(bytes[i]));
        out += two;
    }
    return out;
}

// The pieces fgets hands out with a buffer of `size` bytes, joined with '|'.
std::string Pieces(const std::wstring& path, const char* mode, int size)
{
    FILE* stream = fopen(ToAnsi(path).c_str(), mode);
    if (stream == NULL)
        return "<no file>";
    std::vector<char> buffer(size);
    std::string joined;
    while (fgets(&buffer[0], size, stream) != NULL)
        joined += (joined.empty() ? "" : "|") + Hex(&buffer[0]);
    fclose(stream);
    return joined;
}

} // namespace

void TextModeCases()
{
    ResetWorkFolder();
    const std::wstring path = WorkPath(L"list.txt");
    WriteFileText(path, "ab\r\ncd\rx\r\r\nef\x1A" "gh\r\nij");

    // "ab\n", "cd\rx\r\n", "ef": a CR stays unless LF follows it.
    std::string got = Pieces(path, "r", 64);
    ok(got == "61620a|63640d780d0a|6566", "\"r\": got %s", got.c_str());
    got = Pieces(path, "rt", 64);
    ok(got == "61620a|63640d780d0a|6566", "\"rt\": got %s", got.c_str());
    got = Pieces(path, "rb", 64);
    ok(got == "61620d0a|63640d780d0d0a|65661a67680d0a|696a", "\"rb\" keeps every byte: got %s",
       got.c_str());

    FILE* stream = fopen(ToAnsi(path).c_str(), "r");
    ok(stream != NULL, "fopen \"r\" failed");
    if (stream != NULL) {
        char line[64];
        while (fgets(line, sizeof(line), stream) != NULL) {
        }
        ok(feof(stream) && !ferror(stream), "after 0x1A: end %d, error %d", feof(stream) != 0,
           ferror(stream) != 0);
        ok(fgets(line, sizeof(line), stream) == NULL, "a read after 0x1A returned text");
        fclose(stream);
    }

    // The translation comes before fgets counts: a CR LF split by the buffer
    // size is one LF when whole, a CR then an LF when the CR is doubled.
    WriteFileText(path, "12345678\r\n");
    got = Pieces(path, "r", 10);
    ok(got == "31323334353637380a", "CR LF at the buffer's end: got %s", got.c_str());
    WriteFileText(path, "1234567\r\r\n");
    got = Pieces(path, "r", 9);
    ok(got == "313233343536370d|0a", "CR CR LF at the buffer's end: got %s", got.c_str());

    WriteFileText(path, "\x1A" "KILL(Hailnet)\r\n");
    got = Pieces(path, "r", 64);
    ok(got.empty(), "0x1A first: got %s", got.c_str());

    // A CR LF pair across a large block of the file, read with fread.
    std::string big(4095, 'x');
    WriteFileText(path, big + "\r\nz\x1Aq");
    stream = fopen(ToAnsi(path).c_str(), "r");
    std::string read;
    if (stream != NULL) {
        std::vector<char> buffer(8192);
        size_t n = fread(&buffer[0], 1, buffer.size(), stream);
        read.assign(&buffer[0], n);
        fclose(stream);
    }
    ok(read == big + "\nz", "fread in text mode: %u bytes, tail %s", static_cast<unsigned>(read.size()),
       Hex(read.size() > 4 ? read.substr(read.size() - 4) : read).c_str());

    // Writing in text mode stores LF as CR LF.
    stream = fopen(ToAnsi(path).c_str(), "w");
    ok(stream != NULL, "fopen \"w\" failed");
    if (stream != NULL) {
        fputs("a\nb\r\n", stream);
        fclose(stream);
    }
    got = Hex(ReadFileText(path));
    ok(got == "610d0a620d0d0a", "text-mode write: got %s", got.c_str());
}

} // namespace conformance
