// Baseline of bench/extract: the least a program must do to turn the records
// of a one-volume package into files. Streams each record through zlib's
// inflate in fixed 256 KiB pieces and hands every piece to write(2) as it
// comes; no checks beyond zlib's, no time stamps.
//   inflate_stream_baseline PACKAGE DIR
// Prints the largest inflated record in bytes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t kPiece = 256 << 10;

uint32_t U32(const unsigned char* p)
{
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// Takes the inflated bytes of one record: its "|name|time|" header up to the
// NUL, then the data, which goes to the named file.
class TEntrySink {
public:
    explicit TEntrySink(const std::string& dir) : dir_(dir) {}
    ~TEntrySink() { Close(); }
    bool Take(const unsigned char* p, size_t n)
    {
        if (fd_ < 0 && !headerDone_) {
            const void* nul = std::memchr(p, 0, n);
            const size_t take = nul ? static_cast<size_t>(static_cast<const unsigned char*>(nul) - p) : n;
            header_.append(reinterpret_cast<const char*>(p), take);
            if (!nul) return true;
            headerDone_ = true;
            std::string name = header_.substr(1, header_.find('|', 1) - 1);
            name = name.substr(0, name.find('*'));
            fd_ = open((dir_ + "/" + name).c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            if (fd_ < 0) return false;
            p += take + 1;
            n -= take + 1;
        }
        return n == 0 || fd_ < 0 || write(fd_, p, n) == static_cast<ssize_t>(n);
    }
    void Close()
    {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
        header_.clear();
        headerDone_ = false;
    }

private:
    std::string dir_;
    std::string header_;
    bool headerDone_ = false;
    int fd_ = -1;
};

}  // namespace

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
    if (std::fread(head, 1, sizeof head, f) != sizeof head) return 1;
    const uint64_t stored = uint64_t{U32(head + 248)} << 32 | U32(head + 252);
    if (head[0] == 'M' && head[1] == 'Z' && head[256] == 'P' && head[257] == 'E' && stored > 0)
        end = static_cast<int64_t>(stored);
    unsigned char trailer[74];
    std::fseek(f, end - 74, SEEK_SET);
    if (std::fread(trailer, 1, 74, f) != 74) return 1;
    const int blocks = trailer[1] ? trailer[1] : 2;
    int64_t pos = U32(trailer + 4);
    std::fseek(f, pos, SEEK_SET);

    std::vector<unsigned char> in(kPiece), out(kPiece);
    TEntrySink sink(argv[2]);
    size_t largest = 0;
    int record = 0;
    while (end - pos > 74) {
        unsigned char lb[4];
        if (std::fread(lb, 1, 4, f) != 4) return 1;
        const int32_t len = static_cast<int32_t>(U32(lb));
        size_t left = len < 0 ? static_cast<size_t>(-static_cast<int64_t>(len)) : static_cast<size_t>(len);
        pos += 4 + static_cast<int64_t>(left);
        if (++record <= blocks) {
            std::fseek(f, static_cast<long>(left), SEEK_CUR);
            continue;
        }
        size_t total = 0;
        if (len <= 0) {  // stored
            while (left > 0) {
                const size_t n = std::fread(in.data(), 1, std::min(left, kPiece), f);
                if (n == 0 || !sink.Take(in.data(), n)) return 1;
                left -= n;
                total += n;
            }
        } else {
            z_stream s{};
            if (inflateInit(&s) != Z_OK) return 1;
            int rc = Z_OK;
            while (rc != Z_STREAM_END) {
                if (s.avail_in == 0) {
                    if (left == 0) return 1;
                    const size_t n = std::fread(in.data(), 1, std::min(left, kPiece), f);
                    if (n == 0) return 1;
                    left -= n;
                    s.next_in = in.data();
                    s.avail_in = static_cast<uInt>(n);
                }
                s.next_out = out.data();
                s.avail_out = static_cast<uInt>(out.size());
                rc = inflate(&s, Z_NO_FLUSH);
                if (rc != Z_OK && rc != Z_STREAM_END) return 1;
                const size_t n = out.size() - s.avail_out;
                if (!sink.Take(out.data(), n)) return 1;
                total += n;
            }
            inflateEnd(&s);
            if (left > 0) std::fseek(f, static_cast<long>(left), SEEK_CUR);
        }
        sink.Close();
        largest = total > largest ? total : largest;
    }
    std::printf("%zu\n", largest);
    return 0;
}
