#include "package/pack_file.h"

#include <algorithm>

namespace {

int SeekTo(std::FILE* f, int64_t position, int origin)
{
#ifdef _WIN32
    return _fseeki64(f, position, origin);
#else
    return fseeko(f, static_cast<off_t>(position), origin);
#endif
}

int64_t TellOf(std::FILE* f)
{
#ifdef _WIN32
    return _ftelli64(f);
#else
    return static_cast<int64_t>(ftello(f));
#endif
}

}  // namespace

uint32_t GetU32LE(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void PutU32LE(unsigned char* p, uint32_t value)
{
    p[0] = static_cast<unsigned char>(value);
    p[1] = static_cast<unsigned char>(value >> 8);
    p[2] = static_cast<unsigned char>(value >> 16);
    p[3] = static_cast<unsigned char>(value >> 24);
}

bool TPackFile::Open(const std::string& fileName)
{
    Close();
    // fopen shares the file for reading and writing on Windows as well.
    file_ = std::fopen(fileName.c_str(), "rb");
    if (!file_) return false;
    if (SeekTo(file_, 0, SEEK_END) != 0) {
        Close();
        return false;
    }
    size_ = std::max<int64_t>(TellOf(file_), 0);
    position_ = size_;
    Seek(0);
    return true;
}

void TPackFile::Close()
{
    if (file_) std::fclose(file_);
    file_ = nullptr;
    size_ = 0;
    position_ = 0;
}

bool TPackFile::Seek(int64_t position)
{
    if (!file_ || position < 0) return false;
    // Already there (the records are read one after the other): a seek
    // would only throw the read-ahead away. After an error or the end a
    // seek also clears the stream's state, so it is done then.
    if (position == position_ && position <= size_ && !std::ferror(file_) && !std::feof(file_)) return true;
    // Past the end nothing is read; no need to ask the C library to go there.
    if (SeekTo(file_, std::min(position, size_), SEEK_SET) != 0) return false;
    position_ = position;
    return true;
}

size_t TPackFile::Read(void* buffer, size_t count)
{
    if (!file_ || position_ >= size_ || count == 0) return 0;
    const uint64_t left = static_cast<uint64_t>(size_ - position_);
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(count, left));
    const size_t got = std::fread(buffer, 1, wanted, file_);
    position_ += static_cast<int64_t>(got);
    return got;
}

bool TPackFile::ReadU32(uint32_t& value)
{
    unsigned char b[4] = {0, 0, 0, 0};
    const size_t got = Read(b, 4);
    value = GetU32LE(b);
    return got == 4;
}

std::string TPackFile::ReadBytes(uint64_t count)
{
    if (!file_ || position_ >= size_) return "";
    const uint64_t left = static_cast<uint64_t>(size_ - position_);
    std::string data(static_cast<size_t>(std::min(count, left)), '\0');
    data.resize(Read(data.data(), data.size()));
    return data;
}
