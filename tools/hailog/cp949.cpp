#include "cp949.h"

#include <cstdint>
#include <cstring>
#include <memory>

namespace hailog {
namespace {

const unsigned kFirstLead = 0x81, kLastLead = 0xFE;

// Each entry: up to three UTF-8 bytes, and their count in the top byte;
// 0 for a pair that is no character.
class PairTable {
public:
    PairTable() : ok_(HaveCp949Converter())
    {
        std::string utf8;
        for (unsigned lead = kFirstLead; ok_ && lead <= kLastLead; ++lead)
            for (unsigned trail = 0; trail < 256; ++trail) {
                std::uint32_t& entry = pairs_[(lead - kFirstLead) * 256 + trail];
                entry = 0;
                if (trail < 0x41 || !ConvertCp949Pair(static_cast<unsigned char>(lead),
                                                      static_cast<unsigned char>(trail), utf8))
                    continue;
                if (utf8.empty() || utf8.size() > 3)
                    continue;
                for (size_t i = 0; i < utf8.size(); ++i)
                    entry |= static_cast<std::uint32_t>(static_cast<unsigned char>(utf8[i])) << (8 * i);
                entry |= static_cast<std::uint32_t>(utf8.size()) << 24;
                const size_t index = (lead - kFirstLead) * 256 + trail;
                valid_[index / 64] |= std::uint64_t(1) << (index % 64);
            }
    }
    bool Ok() const { return ok_; }
    std::uint32_t Pair(unsigned char lead, unsigned char trail) const
    {
        return pairs_[(lead - kFirstLead) * 256 + trail];
    }
    // The same question in a table small enough to stay in the cache: a
    // scan asks it of every character of a month.
    bool Valid(unsigned char lead, unsigned char trail) const
    {
        const size_t index = (lead - kFirstLead) * 256 + trail;
        return (valid_[index / 64] >> (index % 64)) & 1;
    }

private:
    static const size_t kPairs = (kLastLead - kFirstLead + 1) * 256;
    bool ok_;
    std::uint32_t pairs_[kPairs];
    std::uint64_t valid_[kPairs / 64] = {};
};

const PairTable& Table()
{
    static const std::unique_ptr<PairTable> table(new PairTable());
    return *table;
}

// A byte below 0x80 as shown: itself, or '?' for a control character.
inline char Shown(unsigned char c)
{
    return (c < 0x20 && c != '\t' && c != '\n') || c == 0x7F ? '?' : static_cast<char>(c);
}

// Whether all eight bytes are printable ASCII (0x20 .. 0x7E), which are
// copied as they are, eight at a time: most of a log is.
inline bool AllPlain(std::uint64_t w)
{
    const std::uint64_t ones = 0x0101010101010101ULL, highs = 0x8080808080808080ULL;
    const std::uint64_t high = w & highs;                          // 0x80 and up
    const std::uint64_t low = (w - 0x20 * ones) & ~w & highs;      // below 0x20
    const std::uint64_t del = ((w ^ (0x7F * ones)) - ones) & ~(w ^ (0x7F * ones)) & highs; // 0x7F
    return (high | low | del) == 0;
}

// Copies bytes up to the first that is not printable ASCII, eight at a time.
inline const unsigned char* CopyPlain(const unsigned char* in, const unsigned char* end, char*& out)
{
    while (end - in >= 8) {
        std::uint64_t word;
        std::memcpy(&word, in, 8);
        if (!AllPlain(word))
            break;
        if (out) {
            std::memcpy(out, in, 8);
            out += 8;
        }
        in += 8;
    }
    return in;
}

char* Decode(const PairTable& table, const unsigned char* in, const unsigned char* end, char* out,
             size_t& badBytes)
{
    for (;;) {
        in = CopyPlain(in, end, out);
        if (in == end)
            return out;
        const unsigned char c = *in;
        if (c < 0x80) {
            *out++ = Shown(c);
            ++in;
            continue;
        }
        const std::uint32_t entry =
            c >= kFirstLead && c <= kLastLead && in + 1 < end ? table.Pair(c, in[1]) : 0;
        if (entry == 0) {
            *out++ = '?';
            ++badBytes;
            ++in;
            continue;
        }
        out[0] = static_cast<char>(entry & 0xFF);
        out[1] = static_cast<char>((entry >> 8) & 0xFF);
        out[2] = static_cast<char>((entry >> 16) & 0xFF);
        out += entry >> 24;
        in += 2;
    }
}

} // namespace

bool AppendCp949(const char* cp949, size_t size, std::string& utf8, size_t& badBytes)
{
    const PairTable& table = Table();
    if (!table.Ok())
        return false;
    const size_t start = utf8.size();
    // Two bytes of 949 are at most three of UTF-8; a single byte is one.
    utf8.resize(start + size + size / 2 + 1);
    const unsigned char* in = reinterpret_cast<const unsigned char*>(cp949);
    char* out = Decode(table, in, in + size, &utf8[start], badBytes);
    utf8.resize(static_cast<size_t>(out - utf8.data()));
    return true;
}

void AppendUtf8Of(std::string& utf8, std::string_view cp949)
{
    size_t bad = 0;
    AppendCp949(cp949.data(), cp949.size(), utf8, bad);
}

std::string Utf8Of(std::string_view cp949)
{
    std::string utf8;
    AppendUtf8Of(utf8, cp949);
    return utf8;
}

size_t Cp949CharLength(std::string_view cp949, size_t at)
{
    const unsigned char c = static_cast<unsigned char>(cp949[at]);
    const PairTable& table = Table();
    return c >= kFirstLead && c <= kLastLead && at + 1 < cp949.size() && table.Ok() &&
                   table.Valid(c, static_cast<unsigned char>(cp949[at + 1]))
               ? 2
               : 1;
}

bool ScanLogLines(const char* cp949, size_t size, std::vector<std::uint32_t>& lineEnds, size_t& badBytes)
{
    const PairTable& table = Table();
    if (!table.Ok())
        return false;
    const unsigned char* const begin = reinterpret_cast<const unsigned char*>(cp949);
    const unsigned char* const end = begin + size;
    char* none = nullptr;
    for (const unsigned char* in = begin; in != end;) {
        in = CopyPlain(in, end, none);
        // Korean text mixes characters, spaces and signs: the rest of the
        // line is gone through byte by byte, and the next line's start, ASCII
        // as the log's form is, eight at a time again.
        while (in < end) {
            const unsigned char c = *in;
            if (c == '\n') {
                lineEnds.push_back(static_cast<std::uint32_t>(in - begin));
                ++in;
                break;
            }
            if (c < 0x80) {
                ++in;
            } else if (c >= kFirstLead && c <= kLastLead && in + 1 < end && table.Valid(c, in[1])) {
                in += 2;
            } else {
                ++badBytes;
                ++in;
            }
        }
    }
    return true;
}

} // namespace hailog
