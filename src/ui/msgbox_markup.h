// The portable half of the message box: the markup of message texts, the
// composition of body and flags, button sets, the keyboard rules and the
// layout arithmetic. msgbox_win.cpp puts these on the screen.
//
// Markup: "\\n" and "<P>" give a line break (CR LF), "\\t" and "<T>" a tab,
// "<b>"..."</b>" bold; tags in any letter case. Nothing else is markup.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

constexpr uint32_t MBX_NOCLOSE = 0x10000000;      // close command of the window menu disabled
constexpr uint32_t kMsgBoxRightAlign = 0x80000;   // MB_RIGHT
constexpr uint32_t kMsgBoxRtlReading = 0x100000;  // MB_RTLREADING
constexpr const char* kDefaultButtonTexts = "|&OK|&Cancel|&Yes|&No|&Abort|&Retry|&Ignore|";
constexpr const char* kDefaultCaptions = "|Error|Attention|Confirm|";

// ---- markup -----------------------------------------------------------------

// A bold stretch [start, end) of the plain text, in characters; a line break
// counts as the two characters CR LF. Offsets are full-width: tags far beyond
// 65,535 characters still mark the right text.
struct TBoldRange {
    size_t Start = 0;
    size_t End = 0;
    bool operator==(const TBoldRange&) const = default;
};

struct TMarkupText {
    std::string Text;
    std::vector<TBoldRange> Bold;
};

// Line and tab escapes; never rescans inserted text.
std::string ExpandLineMarkup(const std::string& text);
// Removes the bold tags as written in the text (removing one never forms a
// new one). Each opening tag pairs with the first unused closing tag after
// it; an opening tag without one is dropped, and so is every stray closing tag.
TMarkupText ParseBoldMarkup(const std::string& text);
// The whole markup: line escapes, a leading "<<b>" loses its "<", then bold.
TMarkupText ApplyMessageMarkup(const std::string& text);

// The box shows at most this many characters of plain text: the rich-text
// control lays very long texts out far too slowly, and no screen shows more.
constexpr size_t kMsgBoxMaxTextChars = 8192;
// Cuts the plain text to `max_chars` (never inside a CR LF) and appends "...";
// bold ranges are clipped to the kept text.
TMarkupText LimitMarkupText(const TMarkupText& markup, size_t max_chars = kMsgBoxMaxTextChars);

// ---- composition ------------------------------------------------------------

// Owner code 0: the caption in bold above the text (upper-cased when it is a
// substring of kDefaultCaptions). Other codes: the text unchanged.
std::string ComposeMsgBoxBody(intptr_t owner_code, const std::string& text, const std::string& caption);
// Adds MB_RIGHT | MB_RTLREADING for charsets 177 and 178, MBX_NOCLOSE for owner code 2.
uint32_t ComposeMsgBoxFlags(intptr_t owner_code, uint32_t flags, int charset);

// ---- buttons, icon and keys -------------------------------------------------

struct TMsgBoxButton {
    std::string Text;  // from the button text list
    int Result = 0;    // IDOK ... IDNO
};
// The buttons of the set in flags & 0x0F, left to right (slot 0 first);
// empty for an unknown set.
std::vector<TMsgBoxButton> MsgBoxButtons(uint32_t flags, const std::string& button_texts);
// (flags & 0xF00) >> 8 taken modulo the button count; -1 without buttons.
int MsgBoxDefaultButton(uint32_t flags, int button_count);
// index modulo count (negative indexes wrap from the end).
int WrapButtonIndex(int index, int button_count);
// 32513..32516 for the icon bits, 0 for the program's own icon.
int MsgBoxIconId(uint32_t flags);

enum class TMsgBoxKeyKind {
    kSysChar,
    kKeyDown
};
// What the keyboard filter does with one key message.
struct TMsgBoxKeyAction {
    int FocusSlot = -1;   // move the focus to this slot
    int ChooseSlot = -1;  // choose this button (consumes the message)
    bool Close = false;   // close without a result (Escape)
};
// `texts` holds the texts of the existing buttons (slot order); `focused` is
// the slot with the focus or -1. `code` is the character (kSysChar) or the
// virtual key (kKeyDown).
TMsgBoxKeyAction MsgBoxKeyAction(TMsgBoxKeyKind kind, unsigned code, int focused,
                                 const std::vector<std::string>& texts);

// ---- layout -----------------------------------------------------------------

constexpr int kBandWidth = 54;
constexpr int kButtonWidth = 70;
constexpr int kButtonHeight = 23;
constexpr int kMinBoxWidth = 360;
constexpr int kMaxBlockWidth = 600;

struct TMsgBoxRect {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool operator==(const TMsgBoxRect&) const = default;
};

struct TTextBlock {
    int Width = 0;
    int Height = 0;
};

// Line height of a font: tmHeight + tmExternalLeading, +1 for "MS PGothic".
int MsgBoxLineHeight(int tm_height, int external_leading, const std::string& face);
// Width and height of the text block: every CR LF line (a final line break
// adds no line) is as wide as `width_of` says plus 10 and as many lines high as
// it needs at 600 pixels; the width is capped at 600.
TTextBlock MeasureTextBlockWith(const std::string& text, int line_height,
                                const std::function<int(const std::string&)>& width_of);

// Bold text may need more room than its plain measure: tries the widths
// block.width + 10 * i (i = 0..20) through `resize`, which sizes the control
// and returns the height and width it then asks for; stops at the first width
// whose requested height fits block.height. Returns the control width chosen.
int WidenForBold(const TTextBlock& block,
                 const std::function<void(int width, int& requested_width, int& requested_height)>& resize);

struct TFrameMetrics {
    int FrameCx = 0, FrameCy = 0, CaptionCy = 0;
};
// Outer box size for a control of rw x rh.
TMsgBoxRect MsgBoxOuterRect(int rw, int rh, const TFrameMetrics& metrics, const TMsgBoxRect& work_area);
// The control inside the client area cw x ch.
TMsgBoxRect MsgBoxControlRect(int cw, int ch, int rw, int rh);
// Button in `slot` of `count` buttons (slot 0 leftmost; the last one at cw - 80).
TMsgBoxRect MsgBoxButtonRect(int cw, int ch, int slot, int count);
