#include "spill.h"

#include <stdexcept>

namespace hailog {

std::FILE* TemporaryFile()
{
    std::FILE* file = std::tmpfile();
    if (!file)
        throw std::runtime_error("cannot make a temporary file to hold what does not fit in memory");
    // Parts of the answer go out a line at a time: write them in large pieces.
    std::setvbuf(file, nullptr, _IOFBF, 1 << 18);
    return file;
}

Spill::Spill(size_t memoryLimit) : limit_(memoryLimit) {}

Spill::~Spill()
{
    if (file_)
        std::fclose(file_);
}

void Spill::Append(std::string_view bytes)
{
    size_ += bytes.size();
    if (!file_ && memory_.size() + bytes.size() <= limit_) {
        memory_.append(bytes);
        return;
    }
    if (!file_) {
        file_ = TemporaryFile();
        std::fwrite(memory_.data(), 1, memory_.size(), file_);
        std::string().swap(memory_);
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
        throw std::runtime_error("cannot write a temporary file (is the disk full?)");
}

void Spill::ForEach(size_t record, const std::function<void(std::string_view)>& take)
{
    if (!file_) {
        if (!memory_.empty())
            take(memory_);
        return;
    }
    std::fflush(file_);
    std::rewind(file_);
    const size_t piece = record * ((64 * 1024) / record + 1);
    std::string buffer(piece, '\0');
    for (size_t got; (got = std::fread(&buffer[0], 1, piece, file_)) > 0;)
        take(std::string_view(buffer.data(), got));
    std::fseek(file_, 0, SEEK_END);
}

} // namespace hailog
