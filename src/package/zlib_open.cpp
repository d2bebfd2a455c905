#include "package/zlib_open.h"

#include "package/files.h"

#include <algorithm>
#include <vector>
#include <zlib.h>

namespace {

std::string ZLibMessage(const z_stream& stream, int code)
{
    if (stream.msg) return stream.msg;
    return zError(code);
}

// inflateInit with the version the records were written for; zlib only
// checks that the major version matches.
void InitInflate(z_stream& stream)
{
    int rc = inflateInit_(&stream, "1.1.4", static_cast<int>(sizeof(z_stream)));
    if (rc != Z_OK) throw EZLibError(ZLibMessage(stream, rc));
}

// Below this the output is handed on in one piece per call.
constexpr std::size_t kOutputPiece = 256 * 1024;

}  // namespace

std::string InflateToString(const std::string& compressed)
{
    // The first guess is the input size rounded up to 256 bytes; then the
    // buffer doubles, so a highly compressed record takes few rounds.
    std::size_t delta = (compressed.size() + 255) / 256 * 256;
    if (delta == 0) delta = 256;
    std::string out(delta, '\0');

    z_stream stream{};
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = static_cast<uInt>(compressed.size());
    InitInflate(stream);
    std::size_t total = 0;
    for (;;) {
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + total);
        stream.avail_out = static_cast<uInt>(std::min<std::size_t>(out.size() - total, 1u << 30));
        int rc = inflate(&stream, Z_NO_FLUSH);
        total = static_cast<std::size_t>(reinterpret_cast<char*>(stream.next_out) - out.data());
        if (rc == Z_STREAM_END) break;
        if (rc != Z_OK) {
            // Z_NEED_DICT would never progress: it counts as damage too.
            std::string message = ZLibMessage(stream, rc == Z_NEED_DICT ? Z_DATA_ERROR : rc);
            inflateEnd(&stream);
            throw EZLibError(message);
        }
        if (total == out.size()) {
            FilesPump();
            out.resize(out.size() + std::max(delta, out.size()));
        }
    }
    int rc = inflateEnd(&stream);
    if (rc != Z_OK) throw EZLibError(ZLibMessage(stream, rc));
    out.resize(total);
    return out;
}

struct TInflater::TState {
    z_stream Stream{};
    // Not zero-filled: a small entry touches only what it writes (an
    // extraction makes one of these per record).
    std::unique_ptr<char[]> out{new char[kOutputPiece]};
};

TInflater::TInflater() : state_(new TState)
{
    InitInflate(state_->Stream);
}

TInflater::~TInflater()
{
    inflateEnd(&state_->Stream);
}

void TInflater::Feed(const char* data, std::size_t count, const TOutput& output)
{
    z_stream& s = state_->Stream;
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    s.avail_in = static_cast<uInt>(count);
    while (!finished_) {
        s.next_out = reinterpret_cast<Bytef*>(state_->out.get());
        s.avail_out = static_cast<uInt>(kOutputPiece);
        int rc = inflate(&s, Z_NO_FLUSH);
        std::size_t produced = kOutputPiece - s.avail_out;
        if (rc == Z_STREAM_END)
            finished_ = true;
        else if (rc == Z_BUF_ERROR && s.avail_in == 0)
            break;  // everything taken in, nothing pending: wants more input
        else if (rc != Z_OK)
            throw EZLibError(ZLibMessage(s, rc == Z_NEED_DICT ? Z_DATA_ERROR : rc));
        if (produced > 0) output(state_->out.get(), produced);
        // A full output piece may leave more output pending inside zlib.
        if (s.avail_in == 0 && s.avail_out != 0) break;
    }
}
