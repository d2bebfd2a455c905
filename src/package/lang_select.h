// The language section of the package that every lookup uses: chosen once per
// process from the first package reader that asks, then shared by all.
#pragma once

#include <string>

// Marker stored when no section fits: every lookup gives its default.
inline constexpr const char* kNoLanguageEntry = "*";

// The entry of the language block (a 0x02-list of 0x01-lists whose item 0 is
// the language name) for the user's language; else the only entry; else the
// "English" entry; else kNoLanguageEntry.
std::string SelectLanguageEntry(const std::string& languageBlock);

// The process-wide chosen entry; the first call chooses it from
// `languageBlock`, later calls ignore their argument.
const std::string& ChosenLanguageEntry(const std::string& languageBlock);

// Whether an entry has been chosen (a text longer than one character).
bool HasLanguageEntry(const std::string& entry);

// Forgets the chosen entry, so that a test can start as a fresh process.
void ResetLanguageCache();
