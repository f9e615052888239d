// ParseManifest on any bytes, with a file name looked up in what it parsed.
//
// Input: the manifest text, a zero byte, then the name asked for. Checked:
// counting and parsing agree; the sequence number is the one its line says
// (none for a manifest of version 1); every entry is the exact rendering of
// its own line of the input (so nothing is taken that the text does not say); no two
// entries name one file; and the name is found exactly when an entry names
// the same file by an independent reading of the matching rule (letters of
// ASCII folded, a 949 lead byte and its trail byte taken as they stand).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "patch/PackageManifest.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail)
{
    std::fprintf(stderr, "manifest: %s [%s]\n", what, detail.c_str());
    std::abort();
}

std::string Folded(const std::string& path)
{
    std::string out;
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (c >= 0x81 && c <= 0xFE && i + 1 < path.size()) {
            out += path.substr(i, 2);
            ++i;
        } else {
            out += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        }
    }
    return out;
}

std::string Rendered(const ManifestEntry& entry)
{
    std::string line;
    char two[3];
    for (BYTE byte : entry.hash) {
        std::snprintf(two, sizeof(two), "%02x", byte);
        line += two;
    }
    return line + " " + std::to_string(entry.size) + " " + entry.path;
}

// The input's lines after the header (and a numbered manifest's SEQUENCE
// line), line ends taken off.
std::vector<std::string> LinesAfterHeader(const std::string& text, std::string* sequenceLine)
{
    std::vector<std::string> lines;
    size_t start = text.find('\n') + 1;
    if (text.rfind("HAILWATCH MANIFEST 2", 0) == 0) {
        size_t end = text.find('\n', start);
        *sequenceLine = text.substr(start, end - start);
        if (!sequenceLine->empty() && sequenceLine->back() == '\r') sequenceLine->pop_back();
        start = end + 1;
    }
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const uint8_t* zero = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    size_t textLength = zero != nullptr ? static_cast<size_t>(zero - data) : size;
    // The text in a buffer of exactly its length, so a read past it shows.
    std::vector<char> text(data, data + textLength);
    std::string query = zero != nullptr ? std::string(reinterpret_cast<const char*>(zero + 1),
                                                      size - textLength - 1)
                                        : std::string();
    query = query.substr(0, std::strlen(query.c_str()));

    int counted = -1;
    DWORD sequence = 0;
    int countOk = ParseManifest(text.data(), text.size(), nullptr, 0, &counted, &sequence);
    std::vector<ManifestEntry> entries(counted > 0 ? counted : 1);
    int parsed = -1;
    DWORD parsedSequence = 0;
    int parseOk = ParseManifest(text.data(), text.size(), entries.data(), counted, &parsed,
                                &parsedSequence);
    if (countOk == 0) {
        if (counted != 0) Fail("a refused manifest counts entries", std::to_string(counted));
        return 0;
    }
    if (!parseOk) {
        // Counting does not look for repeated names; parsing does.
        return 0;
    }
    if (parsed != counted) Fail("counting and parsing differ", std::to_string(parsed));
    std::string whole(text.begin(), text.end());
    std::string sequenceLine;
    std::vector<std::string> lines = LinesAfterHeader(whole, &sequenceLine);
    if (lines.size() != static_cast<size_t>(parsed)) Fail("entries are not the lines", whole);
    std::string rendered = parsedSequence != 0 ? "SEQUENCE " + std::to_string(parsedSequence) : "";
    if (sequence != parsedSequence || rendered != sequenceLine) Fail("the number is not its line", sequenceLine);
    for (int i = 0; i < parsed; ++i) {
        if (Rendered(entries[i]) != lines[i]) Fail("an entry is not its line", lines[i]);
        if (std::strlen(entries[i].path) == 0 || std::strlen(entries[i].path) >= PATCH_PATH_SIZE) {
            Fail("a path of bad length", entries[i].path);
        }
        for (int j = 0; j < i; ++j) {
            if (Folded(entries[i].path) == Folded(entries[j].path)) Fail("a name given twice", entries[i].path);
        }
    }
    int found = FindManifestEntry(entries.data(), parsed, query.c_str());
    int expected = -1;
    for (int i = 0; i < parsed && expected < 0; ++i) {
        if (Folded(entries[i].path) == Folded(query)) expected = i;
    }
    if (found != expected) Fail("the lookup disagrees with the rule", query);
    return 0;
}
