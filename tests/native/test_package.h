// Builds package files byte by byte for the extraction tests, independently
// of the production writer, so that damaged and hostile packages can be
// made as well.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>
#include <zlib.h>

class TTestPackage {
public:
    enum TKind {
        Compressed,
        Stored
    };

    static std::string Header(const std::string& name, uint32_t stamp)
    {
        return "|" + name + "|" + std::to_string(stamp) + "|";
    }
    static std::string Deflate(const std::string& data, int level = 6)
    {
        uLongf n = compressBound(static_cast<uLong>(data.size()));
        std::string out(n, '\0');
        compress2(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(data.data()),
                  static_cast<uLong>(data.size()), level);
        out.resize(n);
        return out;
    }

    // A file record: header, NUL, data.
    TTestPackage& File(const std::string& name, const std::string& data, TKind kind = Compressed,
                       uint32_t stamp = 0)
    {
        return Entry(Header(name, stamp) + std::string(1, '\0') + data, kind);
    }
    // A record holding any entry bytes.
    TTestPackage& Entry(const std::string& entry, TKind kind = Compressed)
    {
        if (kind == Compressed) return Raw(static_cast<int32_t>(Deflate(entry).size()), Deflate(entry));
        return Raw(-static_cast<int32_t>(entry.size()), entry);
    }
    // A record with any length field and body.
    TTestPackage& Raw(int32_t length, const std::string& body)
    {
        records_.push_back(U32(static_cast<uint32_t>(length)) + body);
        ++fileCount;
        return *this;
    }

    // Volume `v` of a package split over `count` volumes: volume 1 holds
    // main.exe, each volume one part of part.bin ("v1", "v2", ...).
    static TTestPackage SplitVolume(int v, int count, TKind partKind = Compressed)
    {
        TTestPackage pkg;
        pkg.firstVolume = v == 1;
        pkg.imageSize = v == 1 ? 1024 : 0;
        pkg.packFlags = v < count ? 0x02 : 0;
        if (v == 1) pkg.File("main.exe*", "M");
        std::string part = "v";  // "v" + std::to_string(v) draws a false -Wrestrict from GCC 12 (i686)
        part += std::to_string(v);
        pkg.File("part.bin", part, partKind);
        return pkg;
    }

    // Settings of the trailer and the file.
    uint8_t blockCount = 2;
    uint32_t fileCount = 0;
    uint8_t packFlags = 0;
    bool computeChecksum = false;  // else 1234
    bool storedPackEnd = false;    // write the package end into the DOS header
    std::string appended;          // bytes after the package end
    std::string languageBlock = "\x02\x01"
                                "English\x01s1=Hello\x01\x02";
    std::string agentBlock = "|http:/|.info|.exe|token|0|";
    std::string webBlock = "|http://x/|setup.exe|0|tok|100|";
    std::size_t imageSize = 1024;
    bool firstVolume = true;  // later volumes carry no text blocks
    // Blocks written after the web block (a BlockCount above 3).
    std::vector<std::string> extraBlocks;
    // DataStart as stored; -1: where the text blocks start (the image size).
    int64_t dataStart = -1;
    // Entry k of the space table is spaceTotal + k.
    uint32_t spaceTotal = 1000;

    std::string Image() const
    {
        std::string image(imageSize, '\0');
        if (imageSize >= 260) {
            image[0] = 'M';
            image[1] = 'Z';
            std::memcpy(&image[256], "PE\0\0", 4);
        }
        return image;
    }

    std::string TextBlocks() const
    {
        if (!firstVolume) return "";
        std::string out = Block(languageBlock) + Block(agentBlock);
        if (blockCount >= 3) out += Block(webBlock);
        for (const std::string& b : extraBlocks) out += Block(b);
        return out;
    }

    std::string Build() const
    {
        std::string file = Image() + TextBlocks();
        for (const std::string& r : records_) file += r;
        std::size_t trailerAt = file.size();
        file += Trailer(1234);
        if (storedPackEnd) {
            uint64_t end = file.size();
            std::memcpy(&file[248], U32(static_cast<uint32_t>(end >> 32)).data(), 4);
            std::memcpy(&file[252], U32(static_cast<uint32_t>(end)).data(), 4);
        }
        if (computeChecksum) {
            uint32_t sum = Checksum(file, 74);
            file.replace(trailerAt, 74, Trailer(sum));
        }
        return file + appended;
    }

    // The sum the launcher compares with PackChecksum, over a whole file.
    static uint32_t Checksum(const std::string& file, uint32_t trailerSize)
    {
        int64_t size = static_cast<int64_t>(file.size());
        uint32_t stored = file.size() >= 256 ? GetU32(file, 252) : 0;
        bool pe = file.size() >= 258 && file.compare(0, 2, "MZ") == 0 && file.compare(256, 2, "PE") == 0;
        int64_t end = pe ? stored : 0;
        if (end > 0) size = end;
        int64_t remaining = size - trailerSize;
        std::size_t at = 0;
        if (end > 0) {
            remaining -= 512;
            at = 512;
        }
        uint32_t sum = 0;
        for (;;) {
            std::size_t got = std::min<std::size_t>(4096, file.size() > at ? file.size() - at : 0);
            for (std::size_t i = 0; i + 4 <= got; i += 4) {
                remaining -= 4;
                if (remaining > 4) sum += GetU32(file, at + i);
            }
            if (remaining > 4) sum += 1234;
            at += got;
            if (got != 4096) break;
        }
        return sum;
    }

    std::string Trailer(uint32_t checksum) const
    {
        std::string t(74, '\0');
        t[0] = 1;
        t[1] = static_cast<char>(blockCount);
        Put(t, 4, static_cast<uint32_t>(dataStart >= 0 ? dataStart : static_cast<int64_t>(imageSize)));
        Put(t, 8, fileCount);
        Put(t, 12, 0x4A3B2C1D);
        Put(t, 16, checksum);
        for (int k = 0; k < 9; ++k) Put(t, 28 + 4 * k, spaceTotal + k);
        t[65] = static_cast<char>(packFlags);
        Put(t, 70, 74);
        return t;
    }

    static std::string U32(uint32_t v)
    {
        std::string s(4, '\0');
        Put(s, 0, v);
        return s;
    }
    static void Put(std::string& s, std::size_t at, uint32_t v)
    {
        for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
    }
    static uint32_t GetU32(const std::string& s, std::size_t at)
    {
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
        return v;
    }

private:
    static std::string Block(const std::string& text)
    {
        return U32(static_cast<uint32_t>(text.size())) + text;
    }

    std::vector<std::string> records_;
};

// Pseudo-random bytes, the same for the same seed: data that does not compress.
inline std::string Bytes(std::size_t n, unsigned seed)
{
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        s[i] = static_cast<char>(seed >> 16);
    }
    return s;
}

// Names that would land outside the target folder (or on a device).
inline const char* const kHostileNames[] = {
    "..\\escape1.txt",
    "../escape2.txt",
    "sub\\..\\..\\escape3.txt",
    "\\rooted.txt",
    "/rooted2.txt",
    "C:\\abs.txt",
    "C:rel.txt",
    "\\\\server\\share\\x.txt",
    ".. \\escape4.txt",
    "ok.txt:stream",
    "NUL",
    "con.txt",
    "COM1",
    "lpt9.log",
    "CONOUT$",
    "sub\\. .\\x.txt",
    "..",
    "",
};
