// The Authenticode certificate table of a PE image: what the security
// directory of its optional header names. Signing tools append the table at
// the end of the file, behind the package, and enter it there.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// First bytes of a file that hold every header the lookup reads.
inline constexpr size_t kPeHeadBytes = 4096;

struct TPeCertificateTable {
    uint64_t Offset = 0;  // file offset of the table
    uint64_t Size = 0;
};

// The table that `head` (the first bytes of a file, see kPeHeadBytes) names;
// nullopt when it is no PE image or its security directory is empty.
std::optional<TPeCertificateTable> PeCertificateTable(const std::string& head);
