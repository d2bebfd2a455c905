// Private-profile (ini) files.
#include "lang/sysinfo.h"

#include <windows.h>

#include <vector>

namespace {
constexpr DWORD IniBufferSize = 10241;
}

std::string ReadIniString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& def)
{
    if (section.empty() || key.empty()) return def;
    std::vector<char> buf(IniBufferSize, 0);
    const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buf.data(),
                                             IniBufferSize, file.c_str());
    if (n == 0) return def;
    return std::string(buf.data(), n);
}

int64_t ReadIniInt(const std::string& file, const std::string& section, const std::string& key, int64_t def)
{
    const std::string text = ReadIniString(file, section, key, std::to_string(def));
    // Whole text as a signed decimal number, else the default.
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i == text.size()) return def;
    uint64_t v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return def;
        const uint64_t d = static_cast<uint64_t>(text[i] - '0');
        if (v > (static_cast<uint64_t>(INT64_MAX) + (negative ? 1 : 0) - d) / 10) return def;
        v = v * 10 + d;
    }
    return negative ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
}

bool WriteIniString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value)
{
    if (file.empty() || section.empty() || key.empty()) return false;
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != 0;
}

bool WriteIniInt(const std::string& file, const std::string& section, const std::string& key, int64_t value)
{
    return WriteIniString(file, section, key, std::to_string(value));
}
