// LangRes0: strings of the language ini file
// <program folder>HELP\English\Velmora.language.ini, section STRINGS.
#pragma once

#include <string>

inline constexpr const char* kLanguageFolderName = "English";
inline constexpr const char* kLanguageIniName = "Velmora.language.ini";
inline constexpr const char* kLanguageIniSection = "STRINGS";
// Placeholder that FormatLanguageIniString replaces.
inline constexpr const char* kLanguageIniArgument = "<?>";

// Path of the language ini file below the folder of the running program.
std::string LanguageIniPath();

// Value of `key` in section STRINGS of the language ini file; `def` when the
// file, the key or its value is missing. A value written between bars keeps
// its blanks: "| a |" gives " a ".
std::string ReadLanguageIniString(const std::string& key, const std::string& def);
// The same from a given ini file.
std::string ReadLanguageIniStringFrom(const std::string& iniPath, const std::string& key,
                                      const std::string& def);

// ReadLanguageIniString with every "<?>" replaced by `argument`.
std::string FormatLanguageIniString(const std::string& key, const std::string& def,
                                    const std::string& argument);

// Removes one bar at each end of a value written between bars; "" for "|".
std::string UnwrapBarredValue(const std::string& value);
