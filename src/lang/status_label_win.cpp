#include "lang/status_label.h"

namespace {

// Window property that keeps the label's current font so it can be released.
constexpr const char* kLabelFontProperty = "VelmoraLabelFont";

constexpr LONG_PTR kLabelStyle = WS_CHILD | WS_VISIBLE;
constexpr LONG_PTR kLabelStyleRtl = WS_CHILD | WS_VISIBLE | SS_RIGHT;

int ScreenPixelsPerInchY()
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi;
}

}  // namespace

void SetStatusLabel(HWND label, const std::string& text, const std::string& fontName, int charset,
                    int fontSize)
{
    if (!label) return;
    const bool rtl = charset == kHebrewCharset || charset == kArabicCharset;
    SetWindowLongPtrA(label, GWL_EXSTYLE, rtl ? WS_EX_RTLREADING : 0);
    SetWindowLongPtrA(label, GWL_STYLE, rtl ? kLabelStyleRtl : kLabelStyle);

    const int height = -MulDiv(fontSize, ScreenPixelsPerInchY(), 72);
    HFONT font = CreateFontA(height, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, static_cast<DWORD>(charset),
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, 0, fontName.c_str());
    if (font) {
        HANDLE old = GetPropA(label, kLabelFontProperty);
        SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        SetPropA(label, kLabelFontProperty, font);
        if (old) DeleteObject(static_cast<HGDIOBJ>(old));
    }
    SendMessageA(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}
