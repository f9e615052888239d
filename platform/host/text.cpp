// Text conversion as the device performs it: code page 949 (the PC's own
// table, native.h) for CP_ACP, UTF-8, and the UTF-16 units held one per WCHAR.
//
// Decoding follows what the Win32 implementation we test against (Wine 8)
// produces for malformed input, byte for byte, so that the conformance cases
// give the same answer on both backends:
//  - UTF-8: a sequence that goes wrong yields one U+FFFD for its lead byte and
//    the continuation bytes taken so far; a sequence cut off by the end of the
//    input yields one U+FFFD for all that remains.
//  - Code page 949: a lead byte (0x81-0xFE) takes the next byte with it unless
//    that byte is NUL or missing; a pair or a byte without a character becomes
//    "?" (U+003F). The user-defined rows 0xC9 and 0xFE map to the private use
//    area, 0x80 to U+0080 and 0xFF to U+F8F7, as Windows' table has them
//    (0xFF still counts as invalid for MB_ERR_INVALID_CHARS).
// Encoding to 949 works per unit and never substitutes a look-alike: a unit
// 949 cannot hold becomes the default character ("?").
#include <string.h>

#include <string>
#include <vector>

#include "platform/host/backend_internal.h"
#include "platform/host/host_control.h"
#include "platform/host/native.h"

namespace host {
namespace detail {

namespace {

const unsigned kReplacement = 0xFFFD;

bool IsLeadByte949(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

// Rows 0xC9 and 0xFE, trail 0xA1-0xFE: 94 private-use characters per row.
bool UserDefined949ToUnicode(unsigned char lead, unsigned char trail, unsigned* cp) {
    if ((lead != 0xC9 && lead != 0xFE) || trail < 0xA1 || trail > 0xFE) return false;
    *cp = 0xE000 + (lead == 0xFE ? 94u : 0u) + (trail - 0xA1u);
    return true;
}

bool UnicodeToUserDefined949(unsigned cp, unsigned char* lead, unsigned char* trail) {
    if (cp < 0xE000 || cp >= 0xE000 + 2 * 94) return false;
    unsigned index = cp - 0xE000;
    *lead = index < 94 ? 0xC9 : 0xFE;
    *trail = (unsigned char)(0xA1 + index % 94);
    return true;
}

} // namespace

unsigned UnitValue(WCHAR unit) {
    // A WCHAR is one UTF-16 unit; a negative or oversized value is a unit
    // that was sign-extended on the way in, and the device would see its low
    // 16 bits. A positive value beyond the BMP can only come from a host
    // wide literal and is taken as the code point it spells.
    long value = (long)unit;
    if (value < 0 || value > 0x10FFFF) return (unsigned)(value & 0xFFFF);
    return (unsigned)value;
}

bool IsSurrogate(unsigned cp) { return cp >= 0xD800 && cp <= 0xDFFF; }

size_t DecodeUtf8(const unsigned char* s, size_t n, unsigned* cp) {
    unsigned char lead = s[0];
    if (lead < 0x80) {
        *cp = lead;
        return 1;
    }
    size_t trail = lead >= 0xC2 && lead <= 0xDF ? 1 : lead >= 0xE0 && lead <= 0xEF ? 2
                 : lead >= 0xF0 && lead <= 0xF4 ? 3 : 0;
    *cp = kInvalidCodePoint;
    if (trail == 0) return 1;
    if (trail >= n) return n; // cut off by the end of the input
    unsigned value = lead & (0x3F >> trail);
    for (size_t i = 1; i <= trail; ++i) {
        if ((s[i] & 0xC0) != 0x80) return i;
        value = (value << 6) | (s[i] & 0x3F);
        // Overlong forms, surrogates and values past U+10FFFF show in the
        // lead byte and the first continuation byte.
        if (i == 1 && trail == 2 && (value < 0x20 || (value >= 0x360 && value < 0x380))) return 2;
        if (i == 1 && trail == 3 && (value < 0x10 || value >= 0x110)) return 2;
    }
    *cp = value;
    return trail + 1;
}

void AppendUtf8(unsigned cp, std::string* out) {
    if (cp < 0x80) {
        *out += (char)cp;
    } else if (cp < 0x800) {
        *out += (char)(0xC0 | (cp >> 6));
        *out += (char)(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out += (char)(0xE0 | (cp >> 12));
        *out += (char)(0x80 | ((cp >> 6) & 0x3F));
        *out += (char)(0x80 | (cp & 0x3F));
    } else {
        *out += (char)(0xF0 | (cp >> 18));
        *out += (char)(0x80 | ((cp >> 12) & 0x3F));
        *out += (char)(0x80 | ((cp >> 6) & 0x3F));
        *out += (char)(0x80 | (cp & 0x3F));
    }
}

void AppendUtf16(unsigned cp, std::wstring* out) {
    if (cp < 0x10000) {
        *out += (WCHAR)cp;
    } else {
        cp -= 0x10000;
        *out += (WCHAR)(0xD800 + (cp >> 10));
        *out += (WCHAR)(0xDC00 + (cp & 0x3FF));
    }
}

size_t NextCodePoint(const WCHAR* units, size_t n, unsigned* cp) {
    unsigned first = UnitValue(units[0]);
    if (first >= 0xD800 && first <= 0xDBFF && n > 1) {
        unsigned second = UnitValue(units[1]);
        if (second >= 0xDC00 && second <= 0xDFFF) {
            *cp = 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
            return 2;
        }
    }
    *cp = IsSurrogate(first) ? kInvalidCodePoint : first;
    return 1;
}

bool Utf8ToUnits(const char* text, size_t length, std::wstring* out) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
    bool valid = true;
    size_t i = 0;
    while (i < length) {
        unsigned cp;
        i += DecodeUtf8(s + i, length - i, &cp);
        if (cp == kInvalidCodePoint) {
            valid = false;
            cp = kReplacement;
        }
        AppendUtf16(cp, out);
    }
    return valid;
}

bool UnitsToUtf8(const WCHAR* units, size_t length, std::string* out) {
    bool valid = true;
    size_t i = 0;
    while (i < length) {
        unsigned cp;
        i += NextCodePoint(units + i, length - i, &cp);
        if (cp == kInvalidCodePoint) {
            valid = false;
            cp = kReplacement;
        }
        AppendUtf8(cp, out);
    }
    return valid;
}

bool Cp949ToUnits(const char* text, size_t length, std::wstring* out) {
    native::Cp949Codec codec;
    const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
    bool valid = true;
    size_t i = 0;
    while (i < length) {
        unsigned char b = s[i];
        unsigned cp = b;
        size_t used = 1;
        if (b == 0x80) {
            cp = 0x0080;
        } else if (b == 0xFF) {
            cp = 0xF8F7; // mapped, yet refused under MB_ERR_INVALID_CHARS
            valid = false;
        } else if (IsLeadByte949(b)) {
            cp = '?';
            bool pair = i + 1 < length && s[i + 1] != 0;
            if (!pair) {
                valid = false;
            } else if (UserDefined949ToUnicode(b, s[i + 1], &cp)) {
                used = 2;
            } else if (codec.Decode(text + i, &cp)) {
                used = 2;
            } else {
                valid = false;
                used = 2;
            }
        }
        AppendUtf16(cp, out);
        i += used;
    }
    return valid;
}

bool UnitsToCp949(const WCHAR* units, size_t length, const char* defaultChar,
                  std::string* out) {
    native::Cp949Codec codec;
    std::string fallback = defaultChar != NULL && defaultChar[0] != 0
                               ? std::string(defaultChar, strnlen(defaultChar, 2))
                               : std::string("?");
    bool allMapped = true;
    for (size_t i = 0; i < length; ++i) {
        unsigned cp = UnitValue(units[i]);
        unsigned char lead, trail;
        char bytes[2];
        size_t produced = 0;
        if (cp < 0x80 || cp == 0x80) {
            *out += (char)cp;
        } else if (cp == 0xF8F7) {
            *out += (char)0xFF;
        } else if (UnicodeToUserDefined949(cp, &lead, &trail)) {
            *out += (char)lead;
            *out += (char)trail;
        } else {
            if (!IsSurrogate(cp) && codec.Encode(cp, bytes, &produced)) {
                out->append(bytes, produced);
            } else {
                *out += fallback;
                allMapped = false;
            }
        }
    }
    return allMapped;
}

std::string Utf16ToUtf8(const WCHAR* text) {
    std::string out;
    if (text != NULL) UnitsToUtf8(text, wcslen(text), &out);
    return out;
}

std::wstring Utf8ToUtf16(const std::string& text) {
    std::wstring out;
    Utf8ToUnits(text.data(), text.size(), &out);
    return out;
}

} // namespace detail

std::wstring Widen(const std::string& utf8) { return detail::Utf8ToUtf16(utf8); }

std::string Narrow(const std::wstring& utf16) {
    std::string out;
    detail::UnitsToUtf8(utf16.data(), utf16.size(), &out);
    return out;
}

std::string Utf8ToCp949(const std::string& utf8) {
    std::wstring units = Widen(utf8);
    std::string out;
    detail::UnitsToCp949(units.data(), units.size(), NULL, &out);
    return out;
}

std::string Cp949ToUtf8(const std::string& cp949) {
    std::wstring units;
    detail::Cp949ToUnits(cp949.data(), cp949.size(), &units);
    return Narrow(units);
}

size_t Utf8CharacterLength(const char* text, size_t length) {
    unsigned cp;
    size_t used = detail::DecodeUtf8(reinterpret_cast<const unsigned char*>(text), length, &cp);
    return cp == detail::kInvalidCodePoint ? 0 : used;
}

} // namespace host

namespace {

const DWORD kErrInvalidChars = 0x00000008;   // MB_ERR_INVALID_CHARS
const DWORD kWcErrInvalidChars = 0x00000080; // WC_ERR_INVALID_CHARS

enum CodePage { kCodePage949, kCodePageUtf8, kCodePageUnknown };

CodePage SelectCodePage(UINT codePage) {
    if (codePage == CP_ACP || codePage == 949) return kCodePage949;
    if (codePage == CP_UTF8) return kCodePageUtf8;
    return kCodePageUnknown;
}

// Copies the converted units or bytes out under Windows' rules: length 0
// asks for the count; a buffer too small takes what fits and the call fails.
template <typename Unit, typename Text>
int DeliverConverted(const Text& converted, Unit* destination, int destinationLength) {
    int needed = (int)converted.size();
    if (destinationLength == 0) return needed;
    int count = needed < destinationLength ? needed : destinationLength;
    for (int i = 0; i < count; ++i) destination[i] = converted[i];
    if (needed > destinationLength) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    return needed;
}

int FailWith(DWORD error) {
    SetLastError(error);
    return 0;
}

} // namespace

extern "C" int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR source,
                                          int sourceLength, LPWSTR destination,
                                          int destinationLength) {
    CodePage page = SelectCodePage(codePage);
    if (page == kCodePageUnknown || source == NULL || sourceLength == 0 ||
        destinationLength < 0 || (destinationLength > 0 && destination == NULL))
        return FailWith(ERROR_INVALID_PARAMETER);
    size_t length = sourceLength < 0 ? strlen(source) + 1 : (size_t)sourceLength;
    std::wstring units;
    bool valid = page == kCodePage949 ? host::detail::Cp949ToUnits(source, length, &units)
                                      : host::detail::Utf8ToUnits(source, length, &units);
    if (!valid && (flags & kErrInvalidChars)) return FailWith(ERROR_NO_UNICODE_TRANSLATION);
    return DeliverConverted(units, destination, destinationLength);
}

extern "C" int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR source,
                                          int sourceLength, LPSTR destination,
                                          int destinationLength, LPCSTR defaultChar,
                                          LPBOOL usedDefaultChar) {
    CodePage page = SelectCodePage(codePage);
    if (page == kCodePageUnknown || source == NULL || sourceLength == 0 ||
        destinationLength < 0 || (destinationLength > 0 && destination == NULL))
        return FailWith(ERROR_INVALID_PARAMETER);
    // UTF-8 has no default character; Windows refuses one.
    if (page == kCodePageUtf8 && (defaultChar != NULL || usedDefaultChar != NULL))
        return FailWith(ERROR_INVALID_PARAMETER);
    size_t length = sourceLength < 0 ? wcslen(source) + 1 : (size_t)sourceLength;
    std::string bytes;
    if (page == kCodePageUtf8) {
        bool valid = host::detail::UnitsToUtf8(source, length, &bytes);
        if (!valid && (flags & kWcErrInvalidChars)) return FailWith(ERROR_NO_UNICODE_TRANSLATION);
    } else {
        bool allMapped = host::detail::UnitsToCp949(source, length, defaultChar, &bytes);
        if (usedDefaultChar != NULL) *usedDefaultChar = allMapped ? FALSE : TRUE;
    }
    return DeliverConverted(bytes, destination, destinationLength);
}

// ---- wsprintfW -------------------------------------------------------------
// The user32 formatter: %c %C %d %i %u %x %X %s %S %p and %%, the flags '-',
// '0' and '#', width and precision, size prefixes h (narrow text, short), l
// and w (wide text; long is 32 bits as on Windows). The output holds at most
// 1024 units with its terminator; longer output is cut there. A type it does
// not know is copied as is and takes no argument.
namespace {

const int kWsprintfLimit = 1024;

class WideSink {
public:
    explicit WideSink(LPWSTR buffer) : buffer_(buffer), count_(0) {}
    void Put(unsigned unit) {
        if (count_ < kWsprintfLimit - 1) buffer_[count_++] = (WCHAR)unit;
    }
    void PutRepeated(unsigned unit, int times) {
        for (int i = 0; i < times; ++i) Put(unit);
    }
    int Finish() {
        buffer_[count_] = 0;
        return count_;
    }

private:
    LPWSTR buffer_;
    int count_;
};

struct FieldFormat {
    bool left;
    bool zero;
    bool alternate;
    int width;
    int precision; // -1: none
    char size;     // 0, 'h', 'l' or 'w'
};

const WCHAR* ParseFieldFormat(const WCHAR* p, FieldFormat* field) {
    field->left = field->zero = field->alternate = false;
    field->width = 0;
    field->precision = -1;
    field->size = 0;
    for (;; ++p) {
        if (*p == L'-') field->left = true;
        else if (*p == L'0') field->zero = true;
        else if (*p == L'#') field->alternate = true;
        else break;
    }
    for (; *p >= L'0' && *p <= L'9'; ++p)
        if (field->width < kWsprintfLimit) field->width = field->width * 10 + (*p - L'0');
    if (*p == L'.') {
        field->precision = 0;
        for (++p; *p >= L'0' && *p <= L'9'; ++p)
            if (field->precision < kWsprintfLimit) field->precision = field->precision * 10 + (*p - L'0');
    }
    if (*p == L'h' || *p == L'l' || *p == L'w') field->size = (char)*p++;
    return p;
}

void PutPadded(WideSink* sink, const FieldFormat& field, const std::wstring& text, WCHAR pad) {
    int padding = field.width - (int)text.size();
    if (!field.left) sink->PutRepeated(pad, padding);
    for (size_t i = 0; i < text.size(); ++i) sink->Put(host::detail::UnitValue(text[i]));
    if (field.left) sink->PutRepeated(L' ', padding);
}

std::wstring NarrowArgumentText(const char* text, int precision) {
    size_t length = precision < 0 ? strlen(text) : strnlen(text, (size_t)precision);
    std::wstring units;
    host::detail::Cp949ToUnits(text, length, &units);
    return units;
}

std::wstring WideArgumentText(const WCHAR* text, int precision) {
    size_t length = 0;
    while (text[length] != 0 && (precision < 0 || (int)length < precision)) ++length;
    return std::wstring(text, length);
}

void PutString(WideSink* sink, const FieldFormat& field, bool narrow, va_list* args) {
    std::wstring text;
    if (narrow) {
        const char* s = va_arg(*args, const char*);
        text = s == NULL ? std::wstring(L"(null)") : NarrowArgumentText(s, field.precision);
    } else {
        const WCHAR* s = va_arg(*args, const WCHAR*);
        text = s == NULL ? std::wstring(L"(null)") : WideArgumentText(s, field.precision);
    }
    PutPadded(sink, field, text, L' ');
}

void PutChar(WideSink* sink, const FieldFormat& field, bool narrow, va_list* args) {
    int value = va_arg(*args, int);
    std::wstring text;
    if (narrow) {
        char byte = (char)value;
        host::detail::Cp949ToUnits(&byte, 1, &text);
    } else {
        text = std::wstring(1, (WCHAR)(value & 0xFFFF));
    }
    PutPadded(sink, field, text, L' ');
}

std::wstring Digits(unsigned long long value, unsigned base, bool upper) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::wstring out;
    do {
        out.insert(out.begin(), (WCHAR)digits[value % base]);
        value /= base;
    } while (value != 0);
    return out;
}

void PutNumber(WideSink* sink, const FieldFormat& field, WCHAR type, va_list* args) {
    int raw = va_arg(*args, int);
    if (field.size == 'h') raw = (type == L'd' || type == L'i') ? (int)(short)raw : (int)(unsigned short)raw;
    bool negative = (type == L'd' || type == L'i') && raw < 0;
    unsigned long long magnitude = negative ? (unsigned long long)(-(long long)raw)
                                            : (unsigned long long)(unsigned)raw;
    bool hex = type == L'x' || type == L'X';
    std::wstring digits = Digits(magnitude, hex ? 16 : 10, type == L'X');
    if (field.precision >= 0 && (int)digits.size() < field.precision)
        digits.insert(0, (size_t)(field.precision - (int)digits.size()), L'0');
    std::wstring prefix = negative ? L"-" : L"";
    if (hex && field.alternate && magnitude != 0) prefix = type == L'X' ? L"0X" : L"0x";
    if (field.zero && !field.left) {
        int zeros = field.width - (int)(prefix.size() + digits.size());
        if (zeros > 0) digits.insert(0, (size_t)zeros, L'0');
    }
    PutPadded(sink, field, prefix + digits, L' ');
}

void PutPointer(WideSink* sink, const FieldFormat& field, va_list* args) {
    unsigned long long value = (unsigned long long)(ULONG_PTR)va_arg(*args, void*);
    std::wstring digits = Digits(value, 16, true);
    digits.insert(0, sizeof(void*) * 2 - digits.size(), L'0');
    PutPadded(sink, field, digits, L' ');
}

// Formats one conversion whose type is `type`; false for a type it does not
// know, which the caller copies.
bool PutField(WideSink* sink, const FieldFormat& field, WCHAR type, va_list* args) {
    switch (type) {
    case L's': PutString(sink, field, field.size == 'h', args); return true;
    case L'S': PutString(sink, field, field.size != 'l' && field.size != 'w', args); return true;
    case L'c': PutChar(sink, field, field.size == 'h', args); return true;
    case L'C': PutChar(sink, field, field.size != 'l' && field.size != 'w', args); return true;
    case L'd': case L'i': case L'u': case L'x': case L'X': PutNumber(sink, field, type, args); return true;
    case L'p': PutPointer(sink, field, args); return true;
    default: return false;
    }
}

int FormatWide(LPWSTR buffer, LPCWSTR format, va_list* args) {
    WideSink sink(buffer);
    for (const WCHAR* p = format; *p != 0;) {
        if (*p != L'%') {
            sink.Put(host::detail::UnitValue(*p++));
            continue;
        }
        FieldFormat field;
        p = ParseFieldFormat(p + 1, &field);
        if (*p == 0) break;
        if (!PutField(&sink, field, *p, args)) sink.Put(host::detail::UnitValue(*p));
        ++p;
    }
    return sink.Finish();
}

} // namespace

extern "C" int wsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
    va_list args;
    va_start(args, format);
    int written = FormatWide(buffer, format, &args);
    va_end(args);
    return written;
}
