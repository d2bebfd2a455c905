// The launcher's own modal message box ("VMsgBox"): blue band and icon on the
// left, the message in a read-only rich-text control (markup: see
// msgbox_markup.h), one to three buttons on a grey bar. Results are the
// Windows IDOK..IDNO values, 0 when the box was closed without a button.
//
// Owner codes: 0 caption repeated in bold above the text; 1 plain; 2 plain
// without close command (MBX_NOCLOSE); any other value is the owner window.
// Button texts, captions and charset come from the caller (language lookups
// happen there); empty ones get the English defaults.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ui/msgbox_markup.h"

constexpr int kDefaultCharset = 1;  // DEFAULT_CHARSET

// Face and charset always; the point size only when not 0. Kept across boxes.
void SetMsgBoxFont(const std::string& face, int point_size, int charset);
struct TMsgBoxFont {
    std::string Face = "Tahoma";
    int Charset = kDefaultCharset;
    int PointSize = 8;
};
TMsgBoxFont MsgBoxFont();

int ShowMsgBox(intptr_t owner_code, const std::string& text, const std::string& caption, int timeout_ms,
               uint32_t flags, int charset, const std::string& button_texts);

void MsgError(intptr_t owner_code, const std::string& text, const std::string& caption = "",
              int charset = kDefaultCharset, const std::string& button_texts = "");
void MsgAttention(intptr_t owner_code, const std::string& text, const std::string& caption = "",
                  int timeout_ms = 0, int charset = kDefaultCharset, const std::string& button_texts = "");
// True when answered Yes.
bool MsgConfirm(intptr_t owner_code, const std::string& text, const std::string& caption = "",
                int timeout_ms = 0, int charset = kDefaultCharset, const std::string& button_texts = "");
// True when answered OK.
bool MsgConfirmOkCancel(intptr_t owner_code, const std::string& text, const std::string& caption = "",
                        int charset = kDefaultCharset, const std::string& button_texts = "");

// A box after composition, as it goes to the screen.
struct TMsgBoxRequest {
    intptr_t OwnerCode = 1;
    std::string Text;     // body with markup (caption included for owner code 0)
    std::string Caption;  // window title
    int TimeoutMs = 0;
    uint32_t Flags = 0;  // with the charset and owner-code additions
    int Charset = kDefaultCharset;
    std::string ButtonTexts;
};

// Replaces the screen: every box goes to the hook, which returns the result.
// Lets tests of callers answer boxes; an empty hook restores the screen.
using TMsgBoxHook = std::function<int(const TMsgBoxRequest&)>;
void SetMsgBoxHook(TMsgBoxHook hook);

// Shows a composed box (platform part). Windows: owner resolution, the
// rich-text library, the previously active window, RunMsgBoxWindow, a short
// pumping wait. Natively: the box is written to DebugOut() and answered 0.
int PresentMsgBox(const TMsgBoxRequest& request);
// The window itself (RunMsgBoxWindow, MeasureTextBlock): ui/msgbox_win.h.
