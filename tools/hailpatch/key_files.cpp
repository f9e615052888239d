#include "key_files.h"

#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "key_crypto.h"
#include "native_text.h"
#include "pc_files.h"

namespace hailpatch {

namespace {

// A key file is a few kilobytes; anything much larger is no key.
const std::streamsize kKeyFileLimit = 64 * 1024;

bool WriteBytes(const fs::path& path, const std::string& bytes, std::string* error)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) *error = DisplayName(path) + ": cannot be written";
    return static_cast<bool>(out);
}

bool ReadKeyFile(const fs::path& path, std::string* text, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes(static_cast<size_t>(kKeyFileLimit) + 1);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!in && !in.eof()) {
        *error = DisplayName(path) + ": cannot be read";
        return false;
    }
    if (in.gcount() > kKeyFileLimit) {
        *error = DisplayName(path) + ": not a private key made by hailpatch keygen";
        return false;
    }
    text->assign(bytes.data(), static_cast<size_t>(in.gcount()));
    return true;
}

} // namespace

bool GenerateKeyPair(const fs::path& name, std::string* error)
{
    fs::path privatePath = name;
    fs::path publicPath = name;
    privatePath += ".key";
    publicPath += ".pub";
    std::error_code ec;
    for (const fs::path& path : {privatePath, publicPath}) {
        if (fs::exists(path, ec)) {
            *error = DisplayName(path) + ": exists already (a key is never overwritten)";
            return false;
        }
    }
    std::string privateText;
    std::string publicBlob;
    return NewKeyPair(&privateText, &publicBlob, error) && WritePrivateFile(privatePath, privateText, error) &&
           WriteBytes(publicPath, publicBlob, error);
}

bool SignBytes(const fs::path& keyFile, const std::string& data, std::string* signature, std::string* error)
{
    std::string text;
    if (!ReadKeyFile(keyFile, &text, error)) {
        return false;
    }
    if (!SignWithKey(text, data, signature, error)) {
        *error = DisplayName(keyFile) + ": " + *error;
        return false;
    }
    return true;
}

} // namespace hailpatch
