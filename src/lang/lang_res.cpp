#include "lang/lang_res.h"

std::string UnwrapBarredValue(const std::string& value)
{
    if (value == "|") return "";
    if (value.size() > 1 && value.front() == '|' && value.back() == '|')
        return value.substr(1, value.size() - 2);
    return value;
}

std::string FormatLanguageIniString(const std::string& key, const std::string& def,
                                    const std::string& argument)
{
    std::string text = ReadLanguageIniString(key, def);
    const std::string placeholder = kLanguageIniArgument;
    for (size_t pos = text.find(placeholder); pos != std::string::npos;
         pos = text.find(placeholder, pos + argument.size())) {
        text.replace(pos, placeholder.size(), argument);
    }
    return text;
}

#ifndef _WIN32
// Ini files are a Windows feature; elsewhere every lookup gives its default.
std::string LanguageIniPath()
{
    return "";
}

std::string ReadLanguageIniStringFrom(const std::string&, const std::string&, const std::string& def)
{
    return def;
}

std::string ReadLanguageIniString(const std::string&, const std::string& def)
{
    return def;
}
#endif
