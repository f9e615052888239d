// Code page 949 as a reader on the PC shows it: each pair looked up in a
// table that Cp949Codec fills at the first call, so both PCs read the same
// bytes the same way, at the speed of a copy. Most of a log is ASCII, which
// is copied eight bytes at a time.
#include <stdint.h>
#include <string.h>

#include <memory>
#include <string>

#include "platform/host/native.h"

namespace host {
namespace native {

namespace {

const unsigned kFirstLead = 0x81, kLastLead = 0xFE;
const size_t kPairs = (kLastLead - kFirstLead + 1) * 256;

size_t PairIndex(unsigned char lead, unsigned char trail) { return (lead - kFirstLead) * 256 + trail; }

// Windows' table fills these rows with private-use characters; iconv's has
// none: a reader shows neither.
bool IsUserDefinedRow(unsigned lead) { return lead == 0xC9 || lead == 0xFE; }

void AppendUtf8(unsigned cp, std::string* out) {
    if (cp < 0x80) {
        *out += (char)cp;
    } else if (cp < 0x800) {
        *out += (char)(0xC0 | (cp >> 6));
        *out += (char)(0x80 | (cp & 0x3F));
    } else {
        *out += (char)(0xE0 | (cp >> 12));
        *out += (char)(0x80 | ((cp >> 6) & 0x3F));
        *out += (char)(0x80 | (cp & 0x3F));
    }
}

// Each entry: up to three UTF-8 bytes, and their count in the top byte; 0
// for a pair that is no character. Beside it, the same question in a table
// small enough to stay in the cache: a scan asks it of every character.
class PairTable {
public:
    PairTable() : valid_() {
        Cp949Codec codec;
        std::string utf8;
        for (unsigned lead = kFirstLead; lead <= kLastLead; ++lead)
            for (unsigned trail = 0x41; trail < 256; ++trail) {
                const char pair[2] = {(char)lead, (char)trail};
                unsigned cp = 0;
                uint32_t& entry = pairs_[PairIndex(lead, trail)];
                entry = 0;
                if (IsUserDefinedRow(lead) || !codec.Decode(pair, &cp) || cp < 0x80 || cp > 0xFFFF)
                    continue;
                utf8.clear();
                AppendUtf8(cp, &utf8);
                for (size_t i = 0; i < utf8.size(); ++i) entry |= (uint32_t)(unsigned char)utf8[i] << (8 * i);
                entry |= (uint32_t)utf8.size() << 24;
                const size_t index = PairIndex(lead, trail);
                valid_[index / 64] |= (uint64_t)1 << (index % 64);
            }
        for (unsigned trail = 0; trail < 0x41; ++trail)
            for (unsigned lead = kFirstLead; lead <= kLastLead; ++lead) pairs_[PairIndex(lead, trail)] = 0;
    }
    uint32_t Pair(unsigned char lead, unsigned char trail) const { return pairs_[PairIndex(lead, trail)]; }
    bool Valid(unsigned char lead, unsigned char trail) const {
        const size_t index = PairIndex(lead, trail);
        return (valid_[index / 64] >> (index % 64)) & 1;
    }

private:
    uint32_t pairs_[kPairs];
    uint64_t valid_[kPairs / 64];
};

const PairTable& Table() {
    static const std::unique_ptr<PairTable> table(new PairTable());
    return *table;
}

bool IsControl(unsigned char c) { return (c < 0x20 && c != '\t' && c != '\n') || c == 0x7F; }

// Whether all eight bytes are printable ASCII (0x20 .. 0x7E).
bool AllPlain(uint64_t w) {
    const uint64_t ones = 0x0101010101010101ULL, highs = 0x8080808080808080ULL;
    const uint64_t high = w & highs;
    const uint64_t low = (w - 0x20 * ones) & ~w & highs;
    const uint64_t del = ((w ^ (0x7F * ones)) - ones) & ~(w ^ (0x7F * ones)) & highs;
    return (high | low | del) == 0;
}

char* Escape(unsigned char c, char* out) {
    static const char kHex[] = "0123456789ABCDEF";
    out[0] = '\\';
    out[1] = 'x';
    out[2] = kHex[c >> 4];
    out[3] = kHex[c & 0xF];
    return out + 4;
}

// Skips the printable ASCII at `in`, eight bytes at a time: most of a log.
const unsigned char* SkipPlain(const unsigned char* in, const unsigned char* end) {
    uint64_t word;
    while (end - in >= 8 && (memcpy(&word, in, 8), AllPlain(word))) in += 8;
    return in;
}

// Only the count, from the small table.
size_t CountInvalid(const PairTable& table, const char* bytes, size_t size) {
    const unsigned char* in = reinterpret_cast<const unsigned char*>(bytes);
    const unsigned char* const end = in + size;
    size_t bad = 0;
    for (in = SkipPlain(in, end); in != end; in = SkipPlain(in, end)) {
        const unsigned char c = *in;
        if (c < 0x80) {
            ++in;
        } else if (c >= kFirstLead && c <= kLastLead && in + 1 < end && table.Valid(c, in[1])) {
            in += 2;
        } else {
            ++bad;
            ++in;
        }
    }
    return bad;
}

size_t Show(const PairTable& table, const char* bytes, size_t size, std::string* utf8) {
    const unsigned char* in = reinterpret_cast<const unsigned char*>(bytes);
    const unsigned char* const end = in + size;
    // Room for all that is left as pairs (three bytes of UTF-8 for two) and
    // for one \xNN; more only when the text holds escapes.
    const size_t start = utf8->size();
    size_t room = start + size + size / 2 + 4;
    utf8->resize(room);
    char* out = &(*utf8)[0] + start;
    size_t bad = 0;
    while (in != end) {
        uint64_t word;
        if (end - in >= 8 && (memcpy(&word, in, 8), AllPlain(word))) {
            memcpy(out, in, 8);
            out += 8;
            in += 8;
            continue;
        }
        const unsigned char c = *in;
        const uint32_t entry = c >= kFirstLead && c <= kLastLead && in + 1 < end ? table.Pair(c, in[1]) : 0;
        if (entry != 0) {
            out[0] = (char)(entry & 0xFF);
            out[1] = (char)((entry >> 8) & 0xFF);
            out[2] = (char)((entry >> 16) & 0xFF);
            out += entry >> 24;
            in += 2;
            continue;
        }
        ++in;
        if (c < 0x80 && !IsControl(c)) {
            *out++ = (char)c;
            continue;
        }
        bad += c >= 0x80;
        const size_t at = (size_t)(out - utf8->data()), left = (size_t)(end - in);
        if (at + 4 + left + left / 2 + 4 > room) {
            room = 2 * room + 8;
            utf8->resize(room);
        }
        out = Escape(c, &(*utf8)[0] + at);
    }
    utf8->resize((size_t)(out - utf8->data()));
    return bad;
}

} // namespace

bool IsCp949Pair(unsigned char lead, unsigned char trail) {
    return lead >= kFirstLead && lead <= kLastLead && Table().Valid(lead, trail);
}

size_t AppendCp949Shown(const char* bytes, size_t size, std::string* utf8) {
    return utf8 == NULL ? CountInvalid(Table(), bytes, size) : Show(Table(), bytes, size, utf8);
}

} // namespace native
} // namespace host
