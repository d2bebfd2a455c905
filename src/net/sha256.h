// SHA-256: on Windows through the system's crypto provider (the AES
// provider, Windows XP SP3 and later), elsewhere through libgcrypt. Where
// neither offers it the answer says so, so that a caller can refuse what it
// cannot check.
#pragma once

#include <cstddef>
#include <string>

// Lower-case hexadecimal digits of the bytes.
std::string HexDigits(const unsigned char* bytes, std::size_t count);

enum class THashResult {
    Ok,
    Unavailable,
    Unreadable
};

// The digest as 64 lower-case hexadecimal digits; `hex` is "" unless Ok.
// Unreadable: the file could not be opened or not be read to its end.
THashResult Sha256OfData(const std::string& data, std::string& hex);
THashResult Sha256OfFile(const std::string& path, std::string& hex);
