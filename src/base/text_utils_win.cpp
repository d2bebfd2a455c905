// Windows sources of upper case, separators and local time.
#include <windows.h>

#include "base/text_utils.h"

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
