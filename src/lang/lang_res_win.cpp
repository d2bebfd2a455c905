#include "lang/lang_res.h"

#include "base/paths.h"

#include <windows.h>

#include <vector>

namespace {

// Size of the value buffer of one ini lookup.
constexpr DWORD kIniValueBuffer = 10241;

}  // namespace

std::string LanguageIniPath()
{
    return FolderPart(ProgramPath()) + "HELP\\" + kLanguageFolderName + "\\" + kLanguageIniName;
}

std::string ReadLanguageIniStringFrom(const std::string& iniPath, const std::string& key,
                                      const std::string& def)
{
    if (GetFileAttributesA(iniPath.c_str()) == INVALID_FILE_ATTRIBUTES) return def;
    std::vector<char> buffer(kIniValueBuffer, '\0');
    const DWORD n = GetPrivateProfileStringA(kLanguageIniSection, key.c_str(), "", buffer.data(),
                                             kIniValueBuffer, iniPath.c_str());
    const std::string value = UnwrapBarredValue(std::string(buffer.data(), n));
    return value.empty() ? def : value;
}

std::string ReadLanguageIniString(const std::string& key, const std::string& def)
{
    return ReadLanguageIniStringFrom(LanguageIniPath(), key, def);
}
