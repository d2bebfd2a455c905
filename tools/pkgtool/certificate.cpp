#include "pkgtool/certificate.h"

#include "net/sha256.h"

#include <cstdint>

namespace {

constexpr const char* kPemBegin = "-----BEGIN CERTIFICATE-----";
constexpr const char* kPemEnd = "-----END CERTIFICATE-----";

// Base64 with line breaks and blanks between the groups; false on any other
// character or a broken end.
bool DecodeBase64(const std::string& text, std::string& bytes)
{
    uint32_t bits = 0;
    int count = 0, padding = 0;
    for (const char c : text) {
        int v = -1;
        if (c >= 'A' && c <= 'Z')
            v = c - 'A';
        else if (c >= 'a' && c <= 'z')
            v = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            v = c - '0' + 52;
        else if (c == '+')
            v = 62;
        else if (c == '/')
            v = 63;
        else if (c == '=')
            ++padding;
        else if (c == '\r' || c == '\n' || c == ' ' || c == '\t')
            continue;
        else
            return false;
        if (v < 0) continue;
        if (padding) return false;  // data after the padding
        bits = (bits << 6) | static_cast<uint32_t>(v);
        if (++count % 4 == 0) {
            bytes += static_cast<char>(bits >> 16);
            bytes += static_cast<char>(bits >> 8);
            bytes += static_cast<char>(bits);
            bits = 0;
        }
    }
    const int rest = count % 4;
    if (rest == 1 || (rest && rest + padding != 4) || (!rest && padding)) return false;
    if (rest >= 2) bytes += static_cast<char>(rest == 2 ? bits >> 4 : bits >> 10);
    if (rest == 3) bytes += static_cast<char>(bits >> 2);
    return true;
}

// An outer DER SEQUENCE whose length covers exactly the data.
bool IsDerSequence(const std::string& der)
{
    const auto* p = reinterpret_cast<const unsigned char*>(der.data());
    if (der.size() < 4 || p[0] != 0x30) return false;
    size_t length = p[1], header = 2;
    if (p[1] & 0x80) {
        const size_t n = p[1] & 0x7F;
        if (n == 0 || n > 4 || der.size() < 2 + n) return false;
        length = 0;
        for (size_t i = 0; i < n; ++i) length = (length << 8) | p[2 + i];
        header = 2 + n;
    }
    return header + length == der.size();
}

}  // namespace

bool CertificateThumbprint(const std::string& data, std::string& hex, std::string& error)
{
    std::string der = data;
    const size_t begin = data.find(kPemBegin);
    if (begin != std::string::npos) {
        const size_t start = begin + std::char_traits<char>::length(kPemBegin);
        const size_t end = data.find(kPemEnd, start);
        der.clear();
        if (end == std::string::npos || !DecodeBase64(data.substr(start, end - start), der)) {
            error = "broken PEM certificate";
            return false;
        }
    }
    if (!IsDerSequence(der)) {
        error = "not a certificate (PEM or DER)";
        return false;
    }
    if (Sha256OfData(der, hex) != THashResult::Ok) {
        error = "SHA-256 is not available";
        return false;
    }
    return true;
}
