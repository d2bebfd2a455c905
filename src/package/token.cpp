#include "package/token.h"

#include "base/text_utils.h"

#include <random>
#include <vector>

namespace {

// Every character of the hexadecimal text is shifted by this much.
constexpr int kCharShift = 50;

// Only for the stand-in text of a failed token: a small generator will do.
std::minstd_rand& TokenRandom()
{
    static std::minstd_rand generator(ClockSeed());
    return generator;
}

std::string FailedTokenText()
{
    return std::to_string(std::uniform_int_distribution<int>(0, 99998)(TokenRandom()));
}

int HexDigit(unsigned char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

void SeedTokenRandom(uint32_t seed)
{
    TokenRandom().seed(seed);
}

bool TryUnscrambleToken(const std::string& text, std::string& token)
{
    std::string hex(text);
    for (char& c : hex) c = static_cast<char>(static_cast<unsigned char>(c) - kCharShift);

    // r[1..n] in the comments is r[0..n-1] here.
    std::vector<unsigned char> r;
    r.reserve(hex.size() / 2 + 1);
    for (size_t i = 0; i < hex.size(); i += 2) {
        int value;
        if (i + 1 < hex.size()) {
            const int hi = HexDigit(static_cast<unsigned char>(hex[i]));
            const int lo = HexDigit(static_cast<unsigned char>(hex[i + 1]));
            value = (hi < 0 || lo < 0) ? -1 : hi * 16 + lo;
        } else {
            value = HexDigit(static_cast<unsigned char>(hex[i]));
        }
        r.push_back(static_cast<unsigned char>(value & 0xFF));
    }

    const size_t n = r.size();
    if (n <= 4) return false;
    // The last byte but one is the sum of all others.
    unsigned sum = 0;
    for (size_t i = 0; i < n; ++i)
        if (i != n - 2) sum += r[i];
    if ((sum & 0xFF) != r[n - 2]) return false;

    const unsigned char key = static_cast<unsigned char>(r[0] ^ r[n - 1]);
    for (size_t i = 1; i + 1 < n; ++i) r[i] ^= key;

    const size_t head = r[1];
    const size_t tail = r[2];
    // Padding that claims more than the text holds is a broken token.
    if (head + tail + 4 > n) return false;
    const size_t length = n - head - tail - 4;
    token.assign(r.begin() + static_cast<std::ptrdiff_t>(head + 3),
                 r.begin() + static_cast<std::ptrdiff_t>(head + 3 + length));
    return true;
}

std::string UnscrambleToken(const std::string& text)
{
    std::string token;
    return TryUnscrambleToken(text, token) ? token : FailedTokenText();
}

std::string ScrambleToken(const std::string& token, uint32_t seed)
{
    std::mt19937 generator(seed);
    auto randomByte = [&generator]() { return static_cast<unsigned char>(generator() & 0xFF); };

    // Layout before keying: salt, head count, tail count, head padding, the
    // token, tail padding (tail count - 1 bytes), check byte, key byte.
    const size_t head = generator() % 8;
    const size_t tail = 1 + generator() % 8;
    std::vector<unsigned char> r;
    r.push_back(randomByte());
    r.push_back(static_cast<unsigned char>(head));
    r.push_back(static_cast<unsigned char>(tail));
    for (size_t i = 0; i < head; ++i) r.push_back(randomByte());
    r.insert(r.end(), token.begin(), token.end());
    for (size_t i = 0; i + 1 < tail; ++i) r.push_back(randomByte());
    r.push_back(0);
    r.push_back(randomByte());

    const size_t n = r.size();
    const unsigned char key = static_cast<unsigned char>(r[0] ^ r[n - 1]);
    for (size_t i = 1; i + 2 < n; ++i) r[i] ^= key;
    unsigned sum = 0;
    for (size_t i = 0; i < n; ++i)
        if (i != n - 2) sum += r[i];
    r[n - 2] = static_cast<unsigned char>(sum & 0xFF);

    static const char kHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(n * 2);
    for (unsigned char b : r) {
        text += static_cast<char>(kHex[b >> 4] + kCharShift);
        text += static_cast<char>(kHex[b & 0x0F] + kCharShift);
    }
    return text;
}

std::string ScrambleToken(const std::string& token)
{
    return ScrambleToken(token, ClockSeed());
}

bool ScrambledTokensMatch(const std::string& a, const std::string& b)
{
    std::string first, second;
    return TryUnscrambleToken(a, first) && TryUnscrambleToken(b, second) && first == second;
}
