#include "pkgtool/pe_signature.h"

#include "package/pack_file.h"

namespace {

constexpr uint32_t kLfanewOffset = 0x3C;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kSecurityDirectory = 4;

uint16_t U16At(const std::string& s, size_t at)
{
    return static_cast<uint16_t>(static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1])
                                                                         << 8);
}

uint32_t U32At(const std::string& s, size_t at)
{
    return GetU32LE(reinterpret_cast<const unsigned char*>(s.data() + at));
}

}  // namespace

std::optional<TPeCertificateTable> PeCertificateTable(const std::string& head)
{
    if (head.size() < kLfanewOffset + 4 || head[0] != 'M' || head[1] != 'Z') return std::nullopt;
    const size_t pe = U32At(head, kLfanewOffset);
    // Signature, file header (20 bytes), then the optional header.
    const size_t optional = pe + 24;
    if (pe > head.size() || optional + 2 > head.size() || head.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
        return std::nullopt;
    const uint16_t magic = U16At(head, optional);
    if (magic != kPe32Magic && magic != kPe32PlusMagic) return std::nullopt;
    const size_t countAt = optional + (magic == kPe32Magic ? 92 : 108);
    const size_t directories = countAt + 4;
    const size_t entry = directories + kSecurityDirectory * 8;
    if (entry + 8 > head.size() || U32At(head, countAt) <= kSecurityDirectory) return std::nullopt;
    // The security entry holds a file offset, not a virtual address.
    TPeCertificateTable table{U32At(head, entry), U32At(head, entry + 4)};
    if (table.Offset == 0 || table.Size == 0) return std::nullopt;
    return table;
}
