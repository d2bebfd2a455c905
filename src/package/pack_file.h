// Read-only binary file with 64-bit positions, portable between the native
// build and Windows. Opened with sharing allowed (the launcher reads its own
// running image). Reads past the end come back short, never fail hard.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

class TPackFile {
public:
    TPackFile() = default;
    explicit TPackFile(const std::string& fileName) { Open(fileName); }
    ~TPackFile() { Close(); }
    TPackFile(const TPackFile&) = delete;
    TPackFile& operator=(const TPackFile&) = delete;

    bool Open(const std::string& fileName);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }
    // Length of the file when it was opened.
    int64_t Size() const { return size_; }
    // False for a negative position or a failed seek; positions beyond the
    // end are allowed (reads there return nothing).
    bool Seek(int64_t position);
    int64_t Position() const { return position_; }
    // Number of bytes read (short at the end of the file).
    size_t Read(void* buffer, size_t count);
    // Reads a little-endian u32; missing bytes read as zero. False when short.
    bool ReadU32(uint32_t& value);
    // Reads up to `count` bytes, clamped to what is left in the file.
    std::string ReadBytes(uint64_t count);

private:
    std::FILE* file_ = nullptr;
    int64_t size_ = 0;
    int64_t position_ = 0;
};

uint32_t GetU32LE(const unsigned char* p);
void PutU32LE(unsigned char* p, uint32_t value);
