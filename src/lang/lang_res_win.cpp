#include "lang/lang_res.h"

#include <windows.h>

#include <vector>

namespace {

// Size of the value buffer of one ini lookup.
constexpr DWORD kIniValueBuffer = 10241;

std::string ProgramFolder()
{
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return "";
        if (n < path.size()) {
            std::string full(path.data(), n);
            const size_t cut = full.find_last_of("\\/:");
            return cut == std::string::npos ? std::string() : full.substr(0, cut + 1);
        }
        if (path.size() >= 32768) return "";
        path.resize(path.size() * 2);
    }
}

} // namespace

std::string LanguageIniPath()
{
    return ProgramFolder() + "HELP\\" + kLanguageFolderName + "\\" + kLanguageIniName;
}

std::string ReadLanguageIniStringFrom(const std::string& iniPath, const std::string& key, const std::string& def)
{
    if (GetFileAttributesA(iniPath.c_str()) == INVALID_FILE_ATTRIBUTES) return def;
    std::vector<char> buffer(kIniValueBuffer, '\0');
    const DWORD n = GetPrivateProfileStringA(kLanguageIniSection, key.c_str(), "", buffer.data(), kIniValueBuffer,
                                             iniPath.c_str());
    const std::string value = UnwrapBarredValue(std::string(buffer.data(), n));
    return value.empty() ? def : value;
}

std::string ReadLanguageIniString(const std::string& key, const std::string& def)
{
    return ReadLanguageIniStringFrom(LanguageIniPath(), key, def);
}
