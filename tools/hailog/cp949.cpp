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
            }
    }
    bool Ok() const { return ok_; }
    std::uint32_t Pair(unsigned char lead, unsigned char trail) const
    {
        return pairs_[(lead - kFirstLead) * 256 + trail];
    }

private:
    bool ok_;
    std::uint32_t pairs_[(kLastLead - kFirstLead + 1) * 256];
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

} // namespace

bool AppendCp949(const char* cp949, size_t size, std::string& utf8, size_t& badBytes)
{
    const PairTable& table = Table();
    if (!table.Ok())
        return false;
    const size_t start = utf8.size();
    // Two bytes of 949 are at most three of UTF-8; a single byte is one.
    utf8.resize(start + size + size / 2 + 1);
    char* out = &utf8[start];
    const unsigned char* in = reinterpret_cast<const unsigned char*>(cp949);
    const unsigned char* end = in + size;
    while (in < end) {
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
        const unsigned length = entry >> 24;
        out[0] = static_cast<char>(entry & 0xFF);
        out[1] = static_cast<char>((entry >> 8) & 0xFF);
        out[2] = static_cast<char>((entry >> 16) & 0xFF);
        out += length;
        in += 2;
    }
    utf8.resize(static_cast<size_t>(out - utf8.data()));
    return true;
}

bool DecodeCp949(const std::string& cp949, Decoded& out)
{
    out = Decoded();
    return AppendCp949(cp949.data(), cp949.size(), out.utf8, out.badBytes);
}

} // namespace hailog
