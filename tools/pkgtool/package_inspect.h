// Reads a package or span set back for display (pkgtool inspect). Records are
// walked with bounded reads; inflating is streamed and capped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "package/package_reader.h"
#include "pkgtool/pe_signature.h"

// Inflated bytes beyond which a record is not inflated further.
inline constexpr uint64_t kInspectInflateLimit = 1ull << 30;

struct TInspectRecord {
    int Volume = 1;
    int64_t Offset = 0;     // of the length field
    int32_t Length = 0;     // as stored
    uint64_t BodySize = 0;  // bytes of the record body present in the file
    std::string Name;       // name item, with "*" and arguments
    std::string TimeStamp;  // time item as stored
    uint64_t DataSize = 0;  // file bytes of the entry
    std::string Problem;    // "" when the record reads cleanly
};

struct TInspectVolume {
    std::string FileName;
    int64_t FileSize = 0;
    int64_t PackageEnd = 0;
    TPackTrailer Trailer;
    uint32_t ComputedChecksum = 0;
    int Records = 0;
    // The Authenticode certificate table the image names (first volume).
    std::optional<TPeCertificateTable> Signature;
};

struct TInspectLanguage {
    std::string Name;
    std::vector<std::pair<std::string, std::string>> Strings;
};

struct TInspectReport {
    std::vector<TInspectVolume> Volumes;
    std::vector<TInspectLanguage> Languages;
    std::vector<std::string> AgentItems;  // tokens unscrambled in AgentToken
    std::vector<std::string> WebItems;
    bool HasWebBlock = false;
    std::string AgentToken, WebToken;  // unscrambled; "" when invalid
    bool AgentTokenValid = false, WebTokenValid = false;
    std::vector<TInspectRecord> Records;
    std::vector<std::string> Problems;  // package-level findings
};

// False with `error` when the file is missing or holds no package.
bool InspectPackage(const std::string& fileName, TInspectReport& report, std::string& error);

std::string FormatInspectText(const TInspectReport& report);
std::string FormatInspectJson(const TInspectReport& report);

// "YYYY-MM-DD hh:mm:ss" of a DOS date-time, "" when not a valid one.
std::string DosDateTimeText(uint32_t dosDateTime);

// What a volume's certificate table means: "yes, N bytes after the package
// end" when it lies behind the package, where signing tools append it.
std::string SignatureText(const TInspectVolume& volume);
