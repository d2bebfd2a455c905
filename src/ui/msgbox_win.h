// The message box window (Windows only). Most callers want ui/msgbox.h.
#pragma once

#include <windows.h>

#include <string>

#include "ui/msgbox_markup.h"

constexpr const char* kMsgBoxClass = "VMsgBox";

// Creates, shows and runs the box window owned by `owner`; returns the result.
// A second box while one is open is refused with 0.
int RunMsgBoxWindow(HWND owner, const std::string& text, const std::string& caption, int timeout_ms,
                    uint32_t flags, const std::string& button_texts);

// The text block of `text` (plain text, CR LF lines) in `font` on the
// control's device context.
TTextBlock MeasureTextBlock(HWND control, HFONT font, const std::string& face, const std::string& text);

// The rich-text control class in use: "RICHEDIT" from RICHED32.DLL, else
// "RichEdit20A" from riched20.dll; loads the library (system folder only).
struct TRichEditLibrary {
    HMODULE Module = nullptr;
    const char* WindowClass = "RICHEDIT";
    bool CrlfCountsTwo = true;  // false: line breaks are one character in the control
};
TRichEditLibrary LoadRichEditLibrary();
