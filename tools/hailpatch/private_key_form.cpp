#include "private_key_form.h"

#include <algorithm>
#include <vector>

namespace hailpatch {

namespace {

const unsigned kBits = 2048;
const size_t kModulusBytes = kBits / 8;
const size_t kHalfBytes = kBits / 16;
const unsigned char kPrivateKeyBlob = 0x07;
const unsigned char kBlobVersion = 2;
const unsigned kRsaSign = 0x2400;
const unsigned kRsa2 = 0x32415352;
const size_t kHeaderBytes = 20;   // BLOBHEADER and RSAPUBKEY
// The blob's numbers after its header, in order, with their sizes: modulus,
// prime1, prime2, exponent1, exponent2, coefficient, privateExponent.
const size_t kPartBytes[] = {kModulusBytes, kHalfBytes, kHalfBytes, kHalfBytes,
                             kHalfBytes,    kHalfBytes, kModulusBytes};
const size_t kBlobBytes = kHeaderBytes + 2 * kModulusBytes + 5 * kHalfBytes;  // 1,172
// Where RSAPrivateKey's numbers n, e, d, p, q, dp, dq, qinv sit in the blob's
// parts (-1: the exponent, kept in the header).
const int kPartOfNumber[] = {0, -1, 6, 1, 2, 3, 4, 5};
// rsaEncryption, 1.2.840.113549.1.1.1, with its NULL parameters.
const unsigned char kRsaAlgorithm[] = {0x30, 0x0d, 0x06, 0x09, 0x2a, 0x86, 0x48, 0x86, 0xf7,
                                       0x0d, 0x01, 0x01, 0x01, 0x05, 0x00};
const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const char kPkcs8Label[] = "PRIVATE KEY";
const char kPkcs1Label[] = "RSA PRIVATE KEY";

using Bytes = std::vector<unsigned char>;

unsigned ReadDword(const std::string& blob, size_t at)
{
    unsigned value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(blob[at + static_cast<size_t>(i)]);
    }
    return value;
}

void PutDword(std::string* out, unsigned value)
{
    for (int i = 0; i < 4; ++i) {
        out->push_back(static_cast<char>((value >> (8 * i)) & 0xff));
    }
}

// ---- DER, written ----------------------------------------------------------

void PutLength(Bytes* out, size_t length)
{
    if (length < 0x80) {
        out->push_back(static_cast<unsigned char>(length));
        return;
    }
    Bytes digits;
    for (; length > 0; length >>= 8) {
        digits.insert(digits.begin(), static_cast<unsigned char>(length & 0xff));
    }
    out->push_back(static_cast<unsigned char>(0x80 | digits.size()));
    out->insert(out->end(), digits.begin(), digits.end());
}

void PutElement(Bytes* out, unsigned char tag, const Bytes& content)
{
    out->push_back(tag);
    PutLength(out, content.size());
    out->insert(out->end(), content.begin(), content.end());
}

// A non-negative INTEGER from its bytes, most significant first.
void PutInteger(Bytes* out, Bytes number)
{
    number.erase(number.begin(), std::find_if(number.begin(), number.end(), [](unsigned char b) { return b != 0; }));
    if (number.empty() || number[0] >= 0x80) {
        number.insert(number.begin(), 0);
    }
    PutElement(out, 0x02, number);
}

// `length` bytes of the blob from `at`, turned most significant first.
Bytes Reversed(const std::string& blob, size_t at, size_t length)
{
    Bytes number;
    for (size_t i = length; i > 0; --i) {
        number.push_back(static_cast<unsigned char>(blob[at + i - 1]));
    }
    return number;
}

std::string Base64Lines(const Bytes& data)
{
    std::string text;
    std::string line;
    for (size_t i = 0; i < data.size(); i += 3) {
        unsigned group = static_cast<unsigned>(data[i]) << 16;
        group |= i + 1 < data.size() ? static_cast<unsigned>(data[i + 1]) << 8 : 0;
        group |= i + 2 < data.size() ? data[i + 2] : 0;
        for (size_t k = 0; k < 4; ++k) {
            line += k <= data.size() - i ? kBase64[(group >> (18 - 6 * k)) & 0x3f] : '=';
        }
        if (line.size() == 64) {
            text += line + "\n";
            line.clear();
        }
    }
    return line.empty() ? text : text + line + "\n";
}

// ---- DER, read -------------------------------------------------------------

// A cursor over DER bytes; every read is bounded by the element it is in.
class Reader {
public:
    Reader(const unsigned char* data, size_t size) : at_(data), end_(data + size) {}
    bool AtEnd() const { return at_ == end_; }
    // The next element, which must carry `tag`; its content in `inner`.
    bool Element(unsigned char tag, Reader* inner)
    {
        if (end_ - at_ < 2 || *at_ != tag) {
            return false;
        }
        ++at_;
        size_t length = *at_++;
        if (length >= 0x80) {
            size_t digits = length & 0x7f;
            if (digits == 0 || digits > 2 || static_cast<size_t>(end_ - at_) < digits) {
                return false;
            }
            length = 0;
            for (size_t i = 0; i < digits; ++i) {
                length = (length << 8) | *at_++;
            }
        }
        if (static_cast<size_t>(end_ - at_) < length) {
            return false;
        }
        *inner = Reader(at_, length);
        at_ += length;
        return true;
    }
    // A non-negative INTEGER, most significant byte first, without leading zeros.
    bool Integer(Bytes* number)
    {
        Reader inner(nullptr, 0);
        if (!Element(0x02, &inner) || inner.AtEnd() || (*inner.at_ & 0x80) != 0) {
            return false;
        }
        number->assign(inner.at_, inner.end_);
        number->erase(number->begin(), std::find_if(number->begin(), number->end(), [](unsigned char b) { return b != 0; }));
        return true;
    }
    bool Exactly(const unsigned char* bytes, size_t size)
    {
        if (static_cast<size_t>(end_ - at_) < size || !std::equal(bytes, bytes + size, at_)) {
            return false;
        }
        at_ += size;
        return true;
    }
    const unsigned char* Begin() const { return at_; }
    size_t Size() const { return static_cast<size_t>(end_ - at_); }

private:
    const unsigned char* at_;
    const unsigned char* end_;
};

bool Base64Decode(const std::string& text, Bytes* data)
{
    unsigned group = 0;
    int bits = 0;
    size_t padding = 0;
    for (char c : text) {
        if (c == '\n' || c == '\r' || c == ' ' || c == '\t') {
            continue;
        }
        const char* digit = c == '=' ? nullptr : std::find(kBase64, kBase64 + 64, c);
        if (c == '=') {
            ++padding;
            continue;
        }
        if (digit == kBase64 + 64 || padding != 0) {
            return false;
        }
        group = (group << 6) | static_cast<unsigned>(digit - kBase64);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            data->push_back(static_cast<unsigned char>((group >> bits) & 0xff));
        }
    }
    return padding <= 2;
}

// The base64 body between BEGIN and END lines of `label`.
bool PemBody(const std::string& pem, const std::string& label, Bytes* der)
{
    const std::string begin = "-----BEGIN " + label + "-----";
    const std::string end = "-----END " + label + "-----";
    size_t start = pem.find(begin);
    size_t stop = start == std::string::npos ? start : pem.find(end, start);
    if (stop == std::string::npos) {
        return false;
    }
    start += begin.size();
    return Base64Decode(pem.substr(start, stop - start), der);
}

// RSAPrivateKey's eight numbers, from its DER.
bool ReadRsaPrivateKey(Reader reader, std::vector<Bytes>* numbers)
{
    Reader key(nullptr, 0);
    Bytes version;
    if (!reader.Element(0x30, &key) || !key.Integer(&version) || !version.empty()) {
        return false;  // version 0: two primes
    }
    numbers->resize(8);
    for (Bytes& number : *numbers) {
        if (!key.Integer(&number)) {
            return false;
        }
    }
    return key.AtEnd();
}

// PrivateKeyInfo around RSAPrivateKey: version 0, rsaEncryption, the key.
bool ReadPkcs8(Reader reader, std::vector<Bytes>* numbers)
{
    Reader info(nullptr, 0);
    Reader key(nullptr, 0);
    Bytes version;
    return reader.Element(0x30, &info) && info.Integer(&version) && version.empty() &&
           info.Exactly(kRsaAlgorithm, sizeof(kRsaAlgorithm)) && info.Element(0x04, &key) &&
           ReadRsaPrivateKey(key, numbers);
}

bool BlobOfNumbers(const std::vector<Bytes>& numbers, std::string* blob)
{
    const Bytes& exponent = numbers[1];
    if (numbers[0].size() != kModulusBytes || (numbers[0][0] & 0x80) == 0 || exponent.empty() ||
        exponent.size() > 4) {
        return false;
    }
    std::vector<std::string> parts(7);
    for (size_t i = 0; i < 8; ++i) {
        int part = kPartOfNumber[i];
        if (part < 0) {
            continue;
        }
        size_t size = kPartBytes[part];
        if (numbers[i].size() > size) {
            return false;
        }
        parts[static_cast<size_t>(part)].assign(numbers[i].rbegin(), numbers[i].rend());
        parts[static_cast<size_t>(part)].resize(size, '\0');
    }
    unsigned e = 0;
    for (unsigned char b : exponent) {
        e = (e << 8) | b;
    }
    blob->assign(1, static_cast<char>(kPrivateKeyBlob));
    blob->push_back(static_cast<char>(kBlobVersion));
    blob->append(2, '\0');
    PutDword(blob, kRsaSign);
    PutDword(blob, kRsa2);
    PutDword(blob, kBits);
    PutDword(blob, e);
    for (const std::string& part : parts) {
        *blob += part;
    }
    return true;
}

} // namespace

bool PrivateKeyPem(const std::string& blob, std::string* pem, std::string* error)
{
    if (blob.size() != kBlobBytes || blob[0] != static_cast<char>(kPrivateKeyBlob) || ReadDword(blob, 8) != kRsa2 ||
        ReadDword(blob, 12) != kBits) {
        *error = "the key made is not a 2048-bit RSA private key";
        return false;
    }
    size_t offsets[7];
    size_t at = kHeaderBytes;
    for (size_t part = 0; part < 7; ++part) {
        offsets[part] = at;
        at += kPartBytes[part];
    }
    Bytes numbers;
    PutInteger(&numbers, Bytes());  // version 0
    for (size_t i = 0; i < 8; ++i) {
        int part = kPartOfNumber[i];
        PutInteger(&numbers, part < 0 ? Reversed(blob, 16, 4)
                                      : Reversed(blob, offsets[part], kPartBytes[part]));
    }
    Bytes key;
    PutElement(&key, 0x30, numbers);
    Bytes info;
    PutInteger(&info, Bytes());
    info.insert(info.end(), kRsaAlgorithm, kRsaAlgorithm + sizeof(kRsaAlgorithm));
    PutElement(&info, 0x04, key);
    Bytes der;
    PutElement(&der, 0x30, info);
    *pem = std::string("-----BEGIN ") + kPkcs8Label + "-----\n" + Base64Lines(der) + "-----END " + kPkcs8Label +
           "-----\n";
    return true;
}

bool PrivateKeyBlob(const std::string& pem, std::string* blob, std::string* error)
{
    Bytes der;
    std::vector<Bytes> numbers;
    bool read = false;
    if (pem.find(std::string("-----BEGIN ") + kPkcs1Label + "-----") != std::string::npos) {
        read = PemBody(pem, kPkcs1Label, &der) && ReadRsaPrivateKey(Reader(der.data(), der.size()), &numbers);
    } else {
        read = PemBody(pem, kPkcs8Label, &der) && ReadPkcs8(Reader(der.data(), der.size()), &numbers);
    }
    if (!read) {
        *error = "not a private key made by hailpatch keygen";
        return false;
    }
    if (!BlobOfNumbers(numbers, blob)) {
        *error = "not a " + std::to_string(kBits) + "-bit RSA key";
        return false;
    }
    return true;
}

} // namespace hailpatch
