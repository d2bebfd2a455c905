// Small text, number and date helpers shared by the whole launcher.
//
// Conventions of this module:
// - Strings are 8-bit ANSI bytes. Positions are 1-based; 0 means "not found".
// - "Ignoring case" means both sides are upper-cased first with AnsiUpperCase.
// - "Blanks" are all characters up to and including the space (0x00..0x20),
//   which is what TrimBlanks removes.
//
// Date-time type: TDateTime is a signed 64-bit count of seconds of LOCAL time
// since 1899-12-30 00:00:00 (the same epoch the update agent stores). The value
// kDateTimeNow (-1) stands for the current local date and time wherever a
// TDateTime is accepted. Use EncodeDateTime / DecodeDateTime to convert.
//
// The user's date, time and decimal separators come from SystemSeparators():
// natively "/", ":" and "."; on Windows they are read from the user's locale.
// Tests may override them with SetUserSeparators.
#pragma once

#include <cstdint>
#include <string>

// ---- upper case and trimming ------------------------------------------------

// ANSI upper case: CharUpperBuffA on Windows, ASCII letters natively.
std::string AnsiUpperCase(const std::string& text);
// Removes characters 0x00..0x20 from both ends.
std::string TrimBlanks(const std::string& text);

// ---- replacing text ---------------------------------------------------------

// Replaces every occurrence of `search`, leftmost first, never matching inside
// inserted text. The replacement keeps its own letter case. An empty search
// returns the text unchanged. With an empty replacement the text closes up and
// a match formed across the gap is removed too.
std::string ReplaceAll(const std::string& text, const std::string& search, const std::string& replacement,
                       bool ignore_case);
// Replaces the first occurrence and searches again from the start until none
// is left; refused (text unchanged) when `replacement` contains `search`.
std::string ReplaceAllRepeated(const std::string& text, const std::string& search,
                               const std::string& replacement);
std::string ReplaceChar(const std::string& text, char old_char, char new_char);
// Keeps only the characters that are in `allowed` and not in `removed`.
std::string KeepChars(const std::string& text, const std::string& allowed, const std::string& removed);

// ---- substrings -------------------------------------------------------------

std::string TextBefore(const std::string& text, const std::string& separator, const std::string& def = "",
                       bool trim = false);
std::string TextAfter(const std::string& text, const std::string& separator, const std::string& def = "",
                      bool trim = false);
// Empty search texts are never found.
int PosText(const std::string& search, const std::string& text);
int PosFrom(const std::string& search, const std::string& text, int from, bool ignore_case);
int LastPos(const std::string& search, const std::string& text);
// Ignoring case: 0 when absent, else 1 + the count of characters after the
// last occurrence (1 means the text ends with `search`).
int LastPosFromEnd(const std::string& search, const std::string& text);
// An empty prefix gives false.
bool StartsWith(const std::string& prefix, const std::string& text, bool ignore_case);
// An empty suffix gives true.
bool EndsWith(const std::string& suffix, const std::string& text, bool ignore_case);
bool SameTextTrimmed(const std::string& a, const std::string& b);
std::string ReverseText(const std::string& text);
// A text that is just `ch` becomes empty; otherwise, when `always` or the text
// both begins and ends with `ch`, `ch` is removed repeatedly from both ends.
std::string StripChar(const std::string& text, char ch, bool always);
std::string EncloseWith(const std::string& text, char ch, bool strip_first);
std::string Dequote(const std::string& text, bool always);
std::string QuoteText(const std::string& text);
// A program path for a command line: in double quotes when it holds a blank
// (space or tab), so that it is not read as a shorter path plus arguments.
std::string QuoteProgramPath(const std::string& path);

// ---- numbers and Boolean values ---------------------------------------------

// The one decimal reader: blanks around it are skipped, a sign is optional;
// false for anything else and for numbers beyond 64 bits.
bool ParseDecimal(const std::string& text, int64_t& value);
// The number, or `def` when the text is not one.
int64_t DecimalOr(const std::string& text, int64_t def);

// "1234567.89" -> "1,234,567.89"; commas go only between digits.
std::string InsertThousandsSeparators(const std::string& digits);
// Fixed notation with a point and `decimals` places (0..30), whatever the
// locale: FormatDecimal(2.345, 1) = "2.3".
std::string FormatDecimal(double value, int decimals);
// The C library's strtod on plain decimal text (the point as separator).
double DecimalToDouble(const char* text, char** end);
// Accepts "1,5" and "1,234.5"; `def` when the text is not a number.
double ParseLooseFloat(const std::string& text, double def);
// Fixed-point text with the user's decimal separator; `strip` drops needless
// zeros and a needless separator (10.00 -> 10, 0.50 -> .5, 0.00 -> 0).
std::string FormatFixed(double value, int decimals, bool strip);
// Leading zeros up to `digits`; a minus sign goes in front: ZeroPad(-5, 3) = "-005".
std::string ZeroPad(int64_t number, int digits);
// width > 0: fill in front up to width. width < -2: a text longer than |width|
// is cut to |width| with its last kept character replaced by ".", then filled.
std::string PadLeft(const std::string& text, int width, char fill = ' ');
// "1.2.3", 4, 4 -> "0001.0002.0003.0000". Fields beyond 18 digits saturate.
std::string NormalizeVersion(const std::string& version, int field_width, int field_count);
// A seed for the pseudo-random texts: the high-resolution clock.
uint32_t ClockSeed();
// Re-seeded from the clock on every call; low and high inclusive (swapped when reversed).
std::string RandomIntText(int low, int high);
std::string BoolText(bool value);
char BoolDigit(bool value);

// ---- dates and times --------------------------------------------------------

using TDateTime = int64_t;
constexpr TDateTime kDateTimeNow = -1;

struct TDateTimeParts {
    int Year = 1899, Month = 12, Day = 30;
    int Hour = 0, Minute = 0, Second = 0;
};

TDateTime EncodeDateTime(const TDateTimeParts& parts);
// kDateTimeNow is resolved to the current local time first.
TDateTimeParts DecodeDateTime(TDateTime value);
TDateTime NowLocalDateTime();

struct TUserSeparators {
    char Date = '/';
    char Time = ':';
    char Decimal = '.';
};
// The separators in effect (an override, else the system's).
TUserSeparators UserSeparators();
// Platform source of the separators (locale on Windows).
TUserSeparators SystemSeparators();
void SetUserSeparators(const TUserSeparators& separators);
void ResetUserSeparators();

// "01-FEB-2024".
std::string DateText(TDateTime value = kDateTimeNow);
// DateText + separator + "HH:NN:SS" (":" is the user's time separator).
std::string DateTimeText(const std::string& separator, TDateTime value = kDateTimeNow);
// "dd/mm/yy HH:NN:SS" ("yyyy" when asked) with the user's separators.
std::string LogTimeStamp(bool four_digit_year, TDateTime value = kDateTimeNow);
