// Windows sources of upper case, separators and local time.
#include <windows.h>

#include "base/text_utils.h"

#include <algorithm>
#include <cstdio>

// The system's C runtime formats and reads numbers here: the C99 versions
// that the compiler's runtime offers instead add some 35 KB to the launcher,
// and plain decimal text is all that is ever formatted or read.
#define VEL_LABEL_TEXT(x) #x
#define VEL_LABEL(x) VEL_LABEL_TEXT(x)
extern "C" double __cdecl MsvcrtStrtod(const char*,
                                       char**) __asm__(VEL_LABEL(__USER_LABEL_PREFIX__) "strtod");

std::string FormatDecimal(double value, int decimals)
{
    char buf[512];
    _snprintf(buf, sizeof buf, "%.*f", std::clamp(decimals, 0, 30), value);
    buf[sizeof buf - 1] = '\0';
    return buf;
}

double DecimalToDouble(const char* text, char** end)
{
    return MsvcrtStrtod(text, end);
}

std::string AnsiUpperCase(const std::string& text)
{
    std::string out = text;
    if (!out.empty()) CharUpperBuffA(out.data(), static_cast<DWORD>(out.size()));
    return out;
}

namespace {

char LocaleChar(LCTYPE type, char fallback)
{
    char buf[8] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buf, sizeof buf) > 1 && buf[0] != '\0') return buf[0];
    return fallback;
}

}  // namespace

TUserSeparators SystemSeparators()
{
    TUserSeparators sep;
    sep.Date = LocaleChar(LOCALE_SDATE, '/');
    sep.Time = LocaleChar(LOCALE_STIME, ':');
    sep.Decimal = LocaleChar(LOCALE_SDECIMAL, '.');
    return sep;
}

TDateTime NowLocalDateTime()
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    return EncodeDateTime({st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond});
}
