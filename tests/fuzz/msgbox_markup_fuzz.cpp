// Message texts come from packages and description files: the markup, the
// text limit, the composition and the keyboard rules over arbitrary bytes.
// Every bold range must lie inside the plain text it marks.
#include "ui/msgbox_markup.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void CheckRanges(const TMarkupText& m)
{
    for (const TBoldRange& r : m.Bold)
        if (r.Start > r.End || r.End > m.Text.size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4) return 0;
    const uint32_t flags = data[0] | data[1] << 8 | (data[2] & 0x1F) << 16;
    const size_t limit = data[3];
    const std::string rest(reinterpret_cast<const char*>(data + 4), size - 4);
    const size_t cut = rest.find('\n');
    const std::string text = rest.substr(0, cut);
    const std::string caption = cut == std::string::npos ? "" : rest.substr(cut + 1);

    const std::string lines = ExpandLineMarkup(text);
    if (lines.size() > 2 * text.size()) std::abort();  // no escape grows beyond two characters
    const TMarkupText bold = ParseBoldMarkup(text);
    CheckRanges(bold);
    if (bold.Text.size() > text.size()) std::abort();
    const TMarkupText whole = ApplyMessageMarkup(text);
    CheckRanges(whole);
    const TMarkupText cutText = LimitMarkupText(whole, limit);
    CheckRanges(cutText);
    if (cutText.Text.size() > limit + 3 && cutText.Text.size() > whole.Text.size()) std::abort();

    for (intptr_t owner = 0; owner < 3; ++owner) {
        CheckRanges(ApplyMessageMarkup(ComposeMsgBoxBody(owner, text, caption)));
        (void)ComposeMsgBoxFlags(owner, flags, data[3]);
    }

    const std::vector<TMsgBoxButton> buttons = MsgBoxButtons(flags, caption);
    std::vector<std::string> texts;
    for (const TMsgBoxButton& b : buttons) texts.push_back(b.Text);
    const int count = static_cast<int>(buttons.size());
    const int def = MsgBoxDefaultButton(flags, count);
    if (count > 0 && (def < 0 || def >= count)) std::abort();
    if (count > 0) {
        const int wrapped = WrapButtonIndex(static_cast<int8_t>(data[3]), count);
        if (wrapped < 0 || wrapped >= count) std::abort();
    }
    for (TMsgBoxKeyKind kind : {TMsgBoxKeyKind::kSysChar, TMsgBoxKeyKind::kKeyDown}) {
        const TMsgBoxKeyAction a = MsgBoxKeyAction(kind, data[3], count ? data[2] % count : -1, texts);
        if (a.FocusSlot >= count || a.ChooseSlot >= count) std::abort();
    }
    (void)MsgBoxIconId(flags);

    const TTextBlock block = MeasureTextBlockWith(whole.Text, 1 + data[2] % 40, [](const std::string& line) {
        return static_cast<int>(line.size() * 7);
    });
    if (block.Width > kMaxBlockWidth || block.Width < 0 || block.Height < 0) std::abort();
    return 0;
}
