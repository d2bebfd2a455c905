// Language identifiers (SLangId): Windows language ids to language names.
#pragma once

#include <cstdint>
#include <string>

// 51 rows "|NAME = NN": 43 primary language ids (two digits, name padded to 13
// characters) and 8 regional variants (four digits, name padded to 20).
extern const char* const kLanguageIdTable;

// Upper-case language name of a Windows language id ("ENGLISH" for 9,
// "CHINESE(SIMPLIFIED)" for 2052), or "" when the table has none. The first
// row containing the zero-padded number wins: 26 gives "CROATIAN".
std::string LanguageNameOfId(int languageId);

// Language name of the user: the primary language of the thread locale
// (English when its low 16 bits are 0).
std::string UserLanguageName();

// The thread locale that UserLanguageName reads. Windows asks the system;
// elsewhere it is English (0x409).
uint32_t UserThreadLocale();

// Tests replace the thread locale; ResetUserThreadLocale goes back to the
// system's.
void SetUserThreadLocale(uint32_t locale);
void ResetUserThreadLocale();
