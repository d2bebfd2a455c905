// The status label of the main window in the language's font.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <string>

// Charsets that switch a label or message box to right-to-left reading.
inline constexpr int kHebrewCharset = 177;
inline constexpr int kArabicCharset = 178;

// Shows `text` in the label with a font of the given face, charset and point
// size (right-aligned, right-to-left reading for Hebrew and Arabic). The font
// belongs to the label; the one it replaces is released.
void SetStatusLabel(HWND label, const std::string& text, const std::string& fontName, int charset,
                    int fontSize);
#endif
