#include "package/lang_id.h"
#include "base/text_utils.h"

#include <optional>

// One row per language, searched in order by a plain substring test of the
// zero-padded id, so the earlier of two rows with the same id wins.
const char* const kLanguageIdTable = "|AFRIKAANS    = 54"
                                     "|ALBANIAN     = 28"
                                     "|ARABIC       = 01"
                                     "|BASQUE       = 45"
                                     "|BELARUSIAN   = 35"
                                     "|BULGARIAN    = 02"
                                     "|CATALAN      = 03"
                                     "|CHINESE      = 04"
                                     "|CROATIAN     = 26"
                                     "|CZECH        = 05"
                                     "|DANISH       = 06"
                                     "|DUTCH        = 19"
                                     "|ENGLISH      = 09"
                                     "|ESTONIAN     = 37"
                                     "|FAEROESE     = 56"
                                     "|FARSI        = 41"
                                     "|FINNISH      = 11"
                                     "|FRENCH       = 12"
                                     "|GERMAN       = 07"
                                     "|GREEK        = 08"
                                     "|HEBREW       = 13"
                                     "|HUNGARIAN    = 14"
                                     "|ICELANDIC    = 15"
                                     "|INDONESIAN   = 33"
                                     "|ITALIAN      = 16"
                                     "|JAPANESE     = 17"
                                     "|KOREAN       = 18"
                                     "|LATVIAN      = 38"
                                     "|LITHUANIAN   = 39"
                                     "|NORWEGIAN    = 20"
                                     "|POLISH       = 21"
                                     "|PORTUGUESE   = 22"
                                     "|ROMANIAN     = 24"
                                     "|RUSSIAN      = 25"
                                     "|SERBIAN      = 26"
                                     "|SLOVAK       = 27"
                                     "|SLOVENIAN    = 36"
                                     "|SPANISH      = 10"
                                     "|SWEDISH      = 29"
                                     "|THAI         = 30"
                                     "|TURKISH      = 31"
                                     "|UKRAINIAN    = 34"
                                     "|VIETNAMESE   = 42"
                                     "|CHINESE(SIMPLIFIED) = 2052"
                                     "|CHINESE(TRADITIONAL)= 1028"
                                     "|DUTCH(FLEMISH)      = 2067"
                                     "|DUTCH(STANDARD)     = 1043"
                                     "|PORTUGUESE(PORTUGAL)= 2070"
                                     "|PORTUGUESE(BRAZIL)  = 1046"
                                     "|SERBIAN(LATIN)      = 2074"
                                     "|SERBIAN(CYRILIC)    = 3098"
                                     "|";

namespace {

std::optional<uint32_t>& LocaleOverride()
{
    static std::optional<uint32_t> locale;
    return locale;
}

}  // namespace

#ifndef _WIN32
uint32_t SystemThreadLocale()
{
    return 0x409;
}
#else
uint32_t SystemThreadLocale();  // lang_id_win.cpp
#endif

uint32_t UserThreadLocale()
{
    return LocaleOverride() ? *LocaleOverride() : SystemThreadLocale();
}

void SetUserThreadLocale(uint32_t locale)
{
    LocaleOverride() = locale;
}

void ResetUserThreadLocale()
{
    LocaleOverride().reset();
}

std::string LanguageNameOfId(int languageId)
{
    std::string number = std::to_string(languageId);
    if (number.size() < 2) number.insert(0, 2 - number.size(), '0');
    const std::string table(kLanguageIdTable);
    size_t start = 0;
    while (start < table.size()) {
        const size_t end = table.find('|', start + 1);
        if (end == std::string::npos) break;
        const std::string row = table.substr(start + 1, end - start - 1);
        if (row.find(number) != std::string::npos) return TrimBlanks(row.substr(0, row.find('=')));
        start = end;
    }
    return "";
}

std::string UserLanguageName()
{
    const uint32_t locale = UserThreadLocale();
    const int id = (locale & 0xFFFF) == 0 ? 9 : static_cast<int>(locale & 0x3FF);
    return LanguageNameOfId(id);
}
