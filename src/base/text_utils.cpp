#include "base/text_utils.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <ctime>
#include <optional>
#include <random>

#include "base/lists.h"

namespace {

constexpr int64_t kSecondsPerDay = 86400;

bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= 0x20;
}

// Upper-cases both sides when case is ignored.
void Fold(std::string& a, std::string& b, bool ignore_case)
{
    if (!ignore_case) return;
    a = AnsiUpperCase(a);
    b = AnsiUpperCase(b);
}

// Days from 1970-01-01 for a proleptic Gregorian date (Howard Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, int m, int d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

const int64_t kEpochDays = DaysFromCivil(1899, 12, 30);

std::optional<TUserSeparators>& SeparatorOverride()
{
    static std::optional<TUserSeparators> value;
    return value;
}

std::string Two(int n)
{
    return ZeroPad(n, 2);
}

}  // namespace

#ifndef _WIN32
// Native counterparts of the platform functions in text_utils_win.cpp.
std::string AnsiUpperCase(const std::string& text)
{
    std::string out = text;
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

TUserSeparators SystemSeparators()
{
    return TUserSeparators{};
}

std::string FormatDecimal(double value, int decimals)
{
    char buf[512];
    std::snprintf(buf, sizeof buf, "%.*f", std::clamp(decimals, 0, 30), value);
    return buf;
}

double DecimalToDouble(const char* text, char** end)
{
    return std::strtod(text, end);
}

TDateTime NowLocalDateTime()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return EncodeDateTime({tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec});
}
#endif

std::string TrimBlanks(const std::string& text)
{
    size_t first = 0, last = text.size();
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    return text.substr(first, last - first);
}

// ---- replacing text ---------------------------------------------------------

std::string ReplaceAll(const std::string& text, const std::string& search, const std::string& replacement,
                       bool ignore_case)
{
    if (search.empty() || text.size() < search.size()) return text;
    const std::string shadow = ignore_case ? AnsiUpperCase(text) : text;
    const std::string key = ignore_case ? AnsiUpperCase(search) : search;
    if (shadow.find(key) == std::string::npos) return text;

    if (!replacement.empty()) {
        // Inserted text is never searched again, so one left-to-right pass does it.
        std::string out;
        size_t pos = 0;
        for (size_t hit; (hit = shadow.find(key, pos)) != std::string::npos; pos = hit + key.size()) {
            out.append(text, pos, hit - pos);
            out += replacement;
        }
        out.append(text, pos, std::string::npos);
        return out;
    }

    // Deleting closes the gap, and a match may form across it: keep the kept
    // part on a stack and drop a match as soon as its last character arrives.
    std::string out, out_shadow;
    out.reserve(text.size());
    out_shadow.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        out_shadow += shadow[i];
        if (out_shadow.size() >= key.size() &&
            out_shadow.compare(out_shadow.size() - key.size(), key.size(), key) == 0) {
            out.resize(out.size() - key.size());
            out_shadow.resize(out_shadow.size() - key.size());
        }
    }
    return out;
}

std::string ReplaceAllRepeated(const std::string& text, const std::string& search,
                               const std::string& replacement)
{
    if (search.empty() || text.find(search) == std::string::npos ||
        replacement.find(search) != std::string::npos)
        return text;
    // A rule such as "ab" -> "bba" grows the text exponentially; give up (and
    // leave the text unchanged) long before memory runs out.
    const size_t size_cap = std::max<size_t>(text.size() * 16, 1 << 20);
    const uint64_t step_cap = 64ull * size_cap;

    // The kept part never contains a match; the rest waits reversed, so the
    // replacement can be pushed back in front of it and scanned again.
    std::string out;
    std::string rest(text.rbegin(), text.rend());
    uint64_t steps = 0;
    while (!rest.empty()) {
        out += rest.back();
        rest.pop_back();
        if (out.size() >= search.size() &&
            out.compare(out.size() - search.size(), search.size(), search) == 0) {
            out.resize(out.size() - search.size());
            rest.append(replacement.rbegin(), replacement.rend());
            if (out.size() + rest.size() > size_cap) return text;
        }
        if (++steps > step_cap) return text;
    }
    return out;
}

std::string ReplaceChar(const std::string& text, char old_char, char new_char)
{
    std::string out = text;
    if (old_char != new_char) std::replace(out.begin(), out.end(), old_char, new_char);
    return out;
}

std::string KeepChars(const std::string& text, const std::string& allowed, const std::string& removed)
{
    bool keep[256] = {};
    for (char c : allowed) keep[static_cast<unsigned char>(c)] = true;
    for (char c : removed) keep[static_cast<unsigned char>(c)] = false;
    std::string out;
    for (char c : text)
        if (keep[static_cast<unsigned char>(c)]) out += c;
    return out;
}

// ---- substrings -------------------------------------------------------------

std::string TextBefore(const std::string& text, const std::string& separator, const std::string& def,
                       bool trim)
{
    const size_t pos = separator.empty() ? std::string::npos : text.find(separator);
    if (pos == std::string::npos) return def;
    const std::string out = text.substr(0, pos);
    return trim ? TrimBlanks(out) : out;
}

std::string TextAfter(const std::string& text, const std::string& separator, const std::string& def,
                      bool trim)
{
    const size_t pos = separator.empty() ? std::string::npos : text.find(separator);
    if (pos == std::string::npos) return def;
    const std::string out = text.substr(pos + separator.size());
    return trim ? TrimBlanks(out) : out;
}

int PosText(const std::string& search, const std::string& text)
{
    return PosFrom(search, text, 1, true);
}

int PosFrom(const std::string& search, const std::string& text, int from, bool ignore_case)
{
    if (search.empty()) return 0;
    if (from < 1) from = 1;
    if (static_cast<size_t>(from) > text.size()) return 0;
    std::string s = search, t = text;
    Fold(s, t, ignore_case);
    const size_t pos = t.find(s, static_cast<size_t>(from - 1));
    return pos == std::string::npos ? 0 : static_cast<int>(pos + 1);
}

int LastPos(const std::string& search, const std::string& text)
{
    if (search.empty()) return 0;
    const size_t pos = text.rfind(search);
    return pos == std::string::npos ? 0 : static_cast<int>(pos + 1);
}

int LastPosFromEnd(const std::string& search, const std::string& text)
{
    if (search.empty()) return 0;
    std::string s = search, t = text;
    Fold(s, t, true);
    const size_t pos = t.rfind(s);
    if (pos == std::string::npos) return 0;
    return static_cast<int>(t.size() - (pos + s.size()) + 1);
}

bool StartsWith(const std::string& prefix, const std::string& text, bool ignore_case)
{
    if (prefix.empty() || prefix.size() > text.size()) return false;
    std::string p = prefix, t = text.substr(0, prefix.size());
    Fold(p, t, ignore_case);
    return p == t;
}

bool EndsWith(const std::string& suffix, const std::string& text, bool ignore_case)
{
    if (suffix.size() > text.size()) return false;
    std::string s = suffix, t = text.substr(text.size() - suffix.size());
    Fold(s, t, ignore_case);
    return s == t;
}

bool SameTextTrimmed(const std::string& a, const std::string& b)
{
    return AnsiUpperCase(TrimBlanks(a)) == AnsiUpperCase(TrimBlanks(b));
}

std::string ReverseText(const std::string& text)
{
    return std::string(text.rbegin(), text.rend());
}

std::string StripChar(const std::string& text, char ch, bool always)
{
    if (text.size() == 1 && text[0] == ch) return "";
    if (text.empty()) return text;
    if (!always && !(text.front() == ch && text.back() == ch)) return text;
    size_t first = 0, last = text.size();
    while (first < last && text[first] == ch) ++first;
    while (last > first && text[last - 1] == ch) --last;
    return text.substr(first, last - first);
}

std::string EncloseWith(const std::string& text, char ch, bool strip_first)
{
    return ch + (strip_first ? StripChar(text, ch, true) : text) + ch;
}

std::string Dequote(const std::string& text, bool always)
{
    return StripChar(TrimBlanks(text), '"', always);
}

std::string QuoteText(const std::string& text)
{
    return '"' + Dequote(text, true) + '"';
}

std::string QuoteProgramPath(const std::string& path)
{
    return path.find_first_of(" \t") == std::string::npos ? path : '"' + path + '"';
}

// ---- numbers and Boolean values ---------------------------------------------

std::string InsertThousandsSeparators(const std::string& digits)
{
    size_t end = digits.find('.');
    if (end == std::string::npos) end = digits.size();
    std::string out = digits;
    // Walk left from the point in groups of three; a comma only between digits.
    for (size_t pos = end; pos > 3; pos -= 3) {
        const size_t at = pos - 3;
        auto is_digit = [&](size_t i) { return out[i] >= '0' && out[i] <= '9'; };
        if (!is_digit(at - 1) || !is_digit(at)) break;
        out.insert(at, 1, ',');
    }
    return out;
}

double ParseLooseFloat(const std::string& text, double def)
{
    std::string s = TrimBlanks(text);
    if (s.find('.') == std::string::npos) s = ReplaceChar(s, ',', '.');
    s.erase(std::remove(s.begin(), s.end(), ','), s.end());
    if (s.empty()) return def;
    // Plain decimal notation only (no "inf", "nan" or hex). strtod rather
    // than std::from_chars: the latter's floating-point part is 40 KB of the
    // launcher; no locale is ever set, so the point is '.'.
    const size_t body = s[0] == '+' || s[0] == '-' ? 1 : 0;
    if (s.size() == body || !((s[body] >= '0' && s[body] <= '9') || s[body] == '.') ||
        s.find_first_not_of("0123456789.eE+-") != std::string::npos)
        return def;
    char* end = nullptr;
    errno = 0;
    const double value = DecimalToDouble(s.c_str(), &end);
    if (end != s.c_str() + s.size() || errno == ERANGE) return def;
    return value;
}

std::string FormatFixed(double value, int decimals, bool strip)
{
    const char point = UserSeparators().Decimal;
    std::string out = ReplaceChar(FormatDecimal(value, decimals), '.', point);
    if (!strip || out.find(point) == std::string::npos) return out;
    out = StripChar(out, '0', true);
    if (!out.empty() && out[0] != point) out = StripChar(out, point, true);
    if (out.size() == 1 && out[0] == point) out = "0";
    return out;
}

std::string ZeroPad(int64_t number, int digits)
{
    const bool negative = number < 0;
    // Work in unsigned so INT64_MIN has a magnitude too.
    uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(number) : static_cast<uint64_t>(number);
    std::string body = std::to_string(magnitude);
    if (static_cast<int>(body.size()) < digits) body.insert(0, digits - body.size(), '0');
    return negative ? "-" + body : body;
}

std::string PadLeft(const std::string& text, int width, char fill)
{
    if (width > 0) {
        if (text.size() >= static_cast<size_t>(width)) return text;
        return std::string(width - text.size(), fill) + text;
    }
    if (width < -2) {
        const size_t w = static_cast<size_t>(-static_cast<int64_t>(width));
        if (text.size() > w) return text.substr(0, w - 1) + ".";
        return std::string(w - text.size(), fill) + text;
    }
    return text;
}

std::string NormalizeVersion(const std::string& version, int field_width, int field_count)
{
    const std::string clean = KeepChars(ReplaceChar(version, ',', '.'), "0123456789.", "");
    std::string out;
    size_t pos = 0;
    for (int i = 0; i < field_count; ++i) {
        int64_t value = 0;
        if (pos <= clean.size()) {
            size_t end = clean.find('.', pos);
            if (end == std::string::npos) end = clean.size();
            for (size_t k = pos; k < end; ++k) {
                value = value * 10 + (clean[k] - '0');
                if (value > 99999999999999999) {  // saturate instead of overflowing
                    value = 999999999999999999;
                    break;
                }
            }
            pos = end + 1;
        }
        if (i > 0) out += '.';
        out += ZeroPad(value, field_width);
    }
    return out;
}

uint32_t ClockSeed()
{
    return static_cast<uint32_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
}

std::string RandomIntText(int low, int high)
{
    if (low > high) std::swap(low, high);
    std::minstd_rand engine(ClockSeed());
    std::uniform_int_distribution<int64_t> dist(low, high);
    return std::to_string(dist(engine));
}

std::string BoolText(bool value)
{
    return value ? "TRUE" : "FALSE";
}

char BoolDigit(bool value)
{
    return value ? '1' : '0';
}

// ---- dates and times --------------------------------------------------------

TDateTime EncodeDateTime(const TDateTimeParts& p)
{
    return (DaysFromCivil(p.Year, p.Month, p.Day) - kEpochDays) * kSecondsPerDay + p.Hour * 3600 +
           p.Minute * 60 + p.Second;
}

TDateTimeParts DecodeDateTime(TDateTime value)
{
    if (value == kDateTimeNow) value = NowLocalDateTime();
    int64_t days = value / kSecondsPerDay;
    int64_t secs = value % kSecondsPerDay;
    if (secs < 0) {
        secs += kSecondsPerDay;
        --days;
    }
    TDateTimeParts p;
    CivilFromDays(days + kEpochDays, p.Year, p.Month, p.Day);
    p.Hour = static_cast<int>(secs / 3600);
    p.Minute = static_cast<int>(secs / 60 % 60);
    p.Second = static_cast<int>(secs % 60);
    return p;
}

TUserSeparators UserSeparators()
{
    const auto& override_value = SeparatorOverride();
    if (override_value) return *override_value;
    static const TUserSeparators system = SystemSeparators();
    return system;
}

void SetUserSeparators(const TUserSeparators& separators)
{
    SeparatorOverride() = separators;
}

void ResetUserSeparators()
{
    SeparatorOverride().reset();
}

std::string DateText(TDateTime value)
{
    static const char* const kMonths = "||JAN|FEB|MAR|APR|MAY|JUN|JUL|AUG|SEP|OCT|NOV|DEC|";
    const TDateTimeParts p = DecodeDateTime(value);
    return Two(p.Day) + "-" + ListItem(kMonths, p.Month) + "-" + ZeroPad(p.Year, 4);
}

std::string DateTimeText(const std::string& separator, TDateTime value)
{
    if (value == kDateTimeNow) value = NowLocalDateTime();
    const TDateTimeParts p = DecodeDateTime(value);
    const char t = UserSeparators().Time;
    return DateText(value) + separator + Two(p.Hour) + t + Two(p.Minute) + t + Two(p.Second);
}

std::string LogTimeStamp(bool four_digit_year, TDateTime value)
{
    const TDateTimeParts p = DecodeDateTime(value);
    const TUserSeparators sep = UserSeparators();
    const std::string year = four_digit_year ? ZeroPad(p.Year, 4) : Two(p.Year % 100);
    return Two(p.Day) + sep.Date + Two(p.Month) + sep.Date + year + " " + Two(p.Hour) + sep.Time +
           Two(p.Minute) + sep.Time + Two(p.Second);
}

bool ParseDecimal(const std::string& text, int64_t& value)
{
    const std::string t = TrimBlanks(text);
    size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) negative = t[i++] == '-';
    if (i == t.size()) return false;
    const uint64_t limit = static_cast<uint64_t>(INT64_MAX) + (negative ? 1u : 0u);
    uint64_t v = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9') return false;
        const uint64_t d = static_cast<uint64_t>(t[i] - '0');
        if (v > (limit - d) / 10) return false;
        v = v * 10 + d;
    }
    value = negative ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
    return true;
}

int64_t DecimalOr(const std::string& text, int64_t def)
{
    int64_t value = 0;
    return ParseDecimal(text, value) ? value : def;
}
