#include "ui/msgbox_markup.h"

#include <algorithm>
#include <deque>

#include "base/lists.h"
#include "base/text_utils.h"

namespace {

char AsciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Case-insensitive match of an ASCII tag at `pos`.
bool TagAt(const std::string& text, size_t pos, const char* tag)
{
    for (size_t k = 0; tag[k]; ++k)
        if (pos + k >= text.size() || AsciiUpper(text[pos + k]) != tag[k]) return false;
    return true;
}

}  // namespace

// ---- markup -----------------------------------------------------------------

std::string ExpandLineMarkup(const std::string& text)
{
    std::string out = ReplaceAll(text, "\\\\n", "\r\n", false);
    out = ReplaceAll(out, "\\\\t", "\t", false);
    out = ReplaceAll(out, "<P>", "\r\n", true);
    return ReplaceAll(out, "<T>", "\t", true);
}

TMarkupText ParseBoldMarkup(const std::string& text)
{
    TMarkupText result;
    result.Text.reserve(text.size());
    std::deque<size_t> open;  // places of opening tags still waiting for their closing tag
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '<' && TagAt(text, i, "<B>")) {
            open.push_back(result.Text.size());
            i += 3;
        } else if (text[i] == '<' && TagAt(text, i, "</B>")) {
            if (!open.empty()) {
                result.Bold.push_back({open.front(), result.Text.size()});
                open.pop_front();
            }
            i += 4;
        } else {
            result.Text += text[i++];
        }
    }
    return result;
}

TMarkupText ApplyMessageMarkup(const std::string& text)
{
    std::string lines = ExpandLineMarkup(text);
    if (lines.compare(0, 4, "<<b>") == 0) lines.erase(0, 1);
    return ParseBoldMarkup(lines);
}

TMarkupText LimitMarkupText(const TMarkupText& markup, size_t max_chars)
{
    if (markup.Text.size() <= max_chars) return markup;
    size_t cut = max_chars;
    if (cut > 0 && markup.Text[cut - 1] == '\r' && markup.Text[cut] == '\n') --cut;
    TMarkupText out;
    out.Text = markup.Text.substr(0, cut) + "...";
    for (const TBoldRange& r : markup.Bold)
        if (r.Start < cut) out.Bold.push_back({r.Start, std::min(r.End, cut)});
    return out;
}

// ---- composition ------------------------------------------------------------

std::string ComposeMsgBoxBody(intptr_t owner_code, const std::string& text, const std::string& caption)
{
    if (owner_code != 0) return text;
    const std::string shown =
        std::string(kDefaultCaptions).find(caption) != std::string::npos ? AnsiUpperCase(caption) : caption;
    return "<<b>" + shown + "</b><P><P>" + text + "<P>";
}

uint32_t ComposeMsgBoxFlags(intptr_t owner_code, uint32_t flags, int charset)
{
    if (charset == 177 || charset == 178) flags |= kMsgBoxRightAlign | kMsgBoxRtlReading;
    if (owner_code == 2) flags |= MBX_NOCLOSE;
    return flags;
}

// ---- buttons, icon and keys -------------------------------------------------

std::vector<TMsgBoxButton> MsgBoxButtons(uint32_t flags, const std::string& button_texts)
{
    struct TEntry {
        int Item, Result;
    };
    static const std::vector<TEntry> kSets[] = {
        {{0, 1}},                  // MB_OK
        {{0, 1}, {1, 2}},          // MB_OKCANCEL
        {{4, 3}, {5, 4}, {6, 5}},  // MB_ABORTRETRYIGNORE
        {{2, 6}, {3, 7}, {1, 2}},  // MB_YESNOCANCEL
        {{2, 6}, {3, 7}},          // MB_YESNO
        {{5, 4}, {1, 2}},          // MB_RETRYCANCEL
    };
    std::vector<TMsgBoxButton> buttons;
    const uint32_t set = flags & 0x0F;
    if (set >= std::size(kSets)) return buttons;
    for (const TEntry& e : kSets[set]) buttons.push_back({ListItem(button_texts, e.Item), e.Result});
    return buttons;
}

int WrapButtonIndex(int index, int button_count)
{
    if (button_count <= 0) return -1;
    return (index % button_count + button_count) % button_count;
}

int MsgBoxDefaultButton(uint32_t flags, int button_count)
{
    return WrapButtonIndex(static_cast<int>((flags & 0xF00) >> 8), button_count);
}

int MsgBoxIconId(uint32_t flags)
{
    switch (flags & 0xF0) {
    case 0x10:
        return 32513;  // IDI_HAND
    case 0x20:
        return 32514;  // IDI_QUESTION
    case 0x30:
        return 32515;  // IDI_EXCLAMATION
    case 0x40:
        return 32516;  // IDI_ASTERISK
    default:
        return 0;
    }
}

TMsgBoxKeyAction MsgBoxKeyAction(TMsgBoxKeyKind kind, unsigned code, int focused,
                                 const std::vector<std::string>& texts)
{
    constexpr unsigned kTab = 0x09, kReturn = 0x0D, kEscape = 0x1B, kLeft = 0x25, kUp = 0x26, kRight = 0x27,
                       kDown = 0x28;
    TMsgBoxKeyAction action;
    const int count = static_cast<int>(texts.size());
    if (kind == TMsgBoxKeyKind::kSysChar) {
        const char ch = static_cast<char>(code);
        const char upper = AnsiUpperCase(std::string(1, ch))[0];
        for (int slot = count - 1; slot >= 0; --slot) {
            const std::string& t = texts[slot];
            if (t.size() >= 2 && (t[1] == ch || t[1] == upper)) action.ChooseSlot = slot;
        }
        return action;
    }
    if (code == kLeft || code == kUp) action.FocusSlot = WrapButtonIndex(focused - 1, count);
    if (code == kTab || code == kRight || code == kDown)
        action.FocusSlot = WrapButtonIndex(focused + 1, count);
    if (code == kReturn && focused >= 0 && focused < count) action.ChooseSlot = focused;
    // Letter keys only: the numeric keypad shares the low bytes of a..j.
    if (code >= 'A' && code <= 'Z') {
        action.ChooseSlot = -1;
        for (int slot = 0; slot < count; ++slot) {
            const std::string& t = texts[slot];
            const size_t amp = t.find('&');
            const size_t at = amp == std::string::npos ? 0 : amp + 1;
            if (at < t.size() && AnsiUpperCase(t.substr(at, 1)) == std::string(1, static_cast<char>(code)))
                action.ChooseSlot = slot;
        }
    }
    if (code == kEscape) action.Close = true;
    return action;
}

// ---- layout -----------------------------------------------------------------

int MsgBoxLineHeight(int tm_height, int external_leading, const std::string& face)
{
    return tm_height + external_leading + (SameTextTrimmed(face, "MS PGothic") ? 1 : 0);
}

TTextBlock MeasureTextBlockWith(const std::string& text, int line_height,
                                const std::function<int(const std::string&)>& width_of)
{
    const std::string& body = text.empty() ? std::string(" ") : text;
    TTextBlock block;
    size_t pos = 0;
    while (pos < body.size()) {
        const size_t brk = body.find("\r\n", pos);
        const size_t end = brk == std::string::npos ? body.size() : brk;
        const size_t next = brk == std::string::npos ? body.size() : brk + 2;
        const bool last_empty = end == pos && next >= body.size();
        if (!last_empty) {
            const int w = std::max(width_of(body.substr(pos, end - pos)), 0);
            block.Width = std::max(block.Width, w + 10);
            block.Height += (w / kMaxBlockWidth + 1) * line_height;
        }
        pos = next;
    }
    block.Width = std::min(block.Width, kMaxBlockWidth);
    return block;
}

int WidenForBold(const TTextBlock& block, const std::function<void(int, int&, int&)>& resize)
{
    int widest = block.Width;
    for (int i = 0; i <= 20; ++i) {
        const int width = block.Width + 10 * i;
        int requested_width = 0, requested_height = 0;
        resize(width, requested_width, requested_height);
        if (requested_height <= block.Height) return width;
        widest = std::max(widest, requested_width);
    }
    int unused_width = 0, unused_height = 0;
    resize(widest + 10, unused_width, unused_height);
    return widest + 10;
}

TMsgBoxRect MsgBoxOuterRect(int rw, int rh, const TFrameMetrics& m, const TMsgBoxRect& work)
{
    const int hmargin = rw < 200 ? 64 : 32;
    const int vmargin = rh < 39 ? 45 : 32;
    TMsgBoxRect r;
    r.Width = std::max(kMinBoxWidth, rw + kBandWidth + 2 * hmargin + 2 * m.FrameCx);
    r.Height = rh + 36 + 2 * vmargin + 2 * m.FrameCy + m.CaptionCy;
    r.Left = work.Left + (work.Width - r.Width) / 2;
    r.Top = work.Top + (work.Height - r.Height) / 2;
    return r;
}

TMsgBoxRect MsgBoxControlRect(int cw, int ch, int rw, int rh)
{
    TMsgBoxRect r;
    r.Left = kBandWidth + (cw - kBandWidth - rw) / 2;
    r.Top = (ch - 36 - rh) / 2;
    r.Width = rw;
    r.Height = ch - r.Top - 39;
    return r;
}

TMsgBoxRect MsgBoxButtonRect(int cw, int ch, int slot, int count)
{
    return {cw - 80 - kButtonWidth * (count - 1 - slot), ch - 29, kButtonWidth, kButtonHeight};
}
