// Baseline of bench/extract: the least a program must do to turn the records
// of a one-volume package into files. Reads each record whole, inflates it
// with plain zlib, and appends the data to its file. No checks beyond zlib's.
//   inflate_baseline PACKAGE DIR
// Prints the largest inflated record in bytes.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>
#include <zlib.h>

static uint32_t U32(const unsigned char* p)
{
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

int main(int argc, char** argv)
{
    if (argc != 3) return 2;
    FILE* f = std::fopen(argv[1], "rb");
    if (!f) return 1;
    mkdir(argv[2], 0755);
    std::fseek(f, 0, SEEK_END);
    int64_t end = std::ftell(f);
    unsigned char head[260] = {};
    std::fseek(f, 0, SEEK_SET);
    std::fread(head, 1, sizeof head, f);
    uint64_t stored = uint64_t{U32(head + 248)} << 32 | U32(head + 252);
    if (head[0] == 'M' && head[1] == 'Z' && head[256] == 'P' && head[257] == 'E' && stored > 0)
        end = static_cast<int64_t>(stored);
    unsigned char trailer[74];
    std::fseek(f, end - 74, SEEK_SET);
    std::fread(trailer, 1, 74, f);
    int blocks = trailer[1] ? trailer[1] : 2;
    int64_t pos = U32(trailer + 4);
    std::fseek(f, pos, SEEK_SET);

    std::vector<unsigned char> in, out;
    size_t largest = 0;
    int record = 0;
    while (end - pos > 74) {
        unsigned char lb[4];
        if (std::fread(lb, 1, 4, f) != 4) return 1;
        int32_t len = static_cast<int32_t>(U32(lb));
        size_t n = len < 0 ? static_cast<size_t>(-static_cast<int64_t>(len)) : static_cast<size_t>(len);
        in.resize(n);
        if (n && std::fread(in.data(), 1, n, f) != n) return 1;
        pos += 4 + static_cast<int64_t>(n);
        if (++record <= blocks) continue;
        const unsigned char* entry = in.data();
        size_t size = n;
        if (len > 0) {
            z_stream s{};
            inflateInit(&s);
            s.next_in = in.data();
            s.avail_in = static_cast<uInt>(n);
            size_t total = 0;
            if (out.size() < 2 * n + 1024) out.resize(2 * n + 1024);
            for (;;) {
                s.next_out = out.data() + total;
                s.avail_out = static_cast<uInt>(out.size() - total);
                int rc = inflate(&s, Z_NO_FLUSH);
                total = out.size() - s.avail_out;
                if (rc == Z_STREAM_END) break;
                if (rc != Z_OK) return 1;
                if (s.avail_out == 0) out.resize(out.size() * 2);
            }
            inflateEnd(&s);
            entry = out.data();
            size = total;
        }
        largest = size > largest ? size : largest;
        const void* nul = std::memchr(entry, 0, size);
        if (!nul) continue;
        size_t hl = static_cast<const unsigned char*>(nul) - entry;
        std::string header(reinterpret_cast<const char*>(entry), hl);
        std::string name = header.substr(1, header.find('|', 1) - 1);
        name = name.substr(0, name.find('*'));
        FILE* o = std::fopen((std::string(argv[2]) + "/" + name).c_str(), "ab");
        if (!o) return 1;
        std::fwrite(entry + hl + 1, 1, size - hl - 1, o);
        std::fclose(o);
    }
    std::printf("%zu\n", largest);
    return 0;
}
