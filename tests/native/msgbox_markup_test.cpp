#include "ui/msgbox_markup.h"

#include <gtest/gtest.h>

namespace {

using Ranges = std::vector<TBoldRange>;

TEST(MsgBoxMarkup, LineAndTabEscapes)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"one<p>two", "one\r\ntwo"},       {"one<P>two", "one\r\ntwo"},
        {"one\\\\ntwo", "one\r\ntwo"},   // backslash, backslash, n
        {"one\\ntwo", "one\\ntwo"},      // a single backslash stays
        {"one\\\\Ntwo", "one\\\\Ntwo"},  // exact case only
        {"a\\\\tb<t>c<T>d", "a\tb\tc\td"}, {"<P<p>>", "<P\r\n>"},
    };
    for (const auto& c : cases) EXPECT_EQ(ExpandLineMarkup(c.in), c.out) << c.in;
}

TEST(MsgBoxMarkup, BoldTags)
{
    const struct {
        const char* in;
        const char* text;
        Ranges bold;
    } cases[] = {
        {"plain <i>x</i>", "plain <i>x</i>", {}},
        {"x<b>y</b>z", "xyz", {{1, 2}}},
        {"<B>Up</B> and <b>low</B>", "Up and low", {{0, 2}, {7, 10}}},
        {"a<b>word", "aword", {}},            // no closing tag: not bold, tag gone
        {"a</b>b", "ab", {}},                 // stray closing tag removed
        {"x</b>y<b>z</b>", "xyz", {{2, 3}}},  // a stray closing tag does not eat a later pair
        {"<b>a<b>b</b>c</b>", "abc", {{0, 2}, {1, 3}}},
        {"<b></b>", "", {{0, 0}}},
        {"<<b>b>", "<b>", {}},  // removing a tag never forms a new one
    };
    for (const auto& c : cases) {
        const TMarkupText got = ParseBoldMarkup(c.in);
        EXPECT_EQ(got.Text, c.text) << c.in;
        EXPECT_EQ(got.Bold, c.bold) << c.in;
    }
}

TEST(MsgBoxMarkup, OffsetsCountLineBreaksAsTwo)
{
    const TMarkupText got = ApplyMessageMarkup("a<P><b>b</b>");
    EXPECT_EQ(got.Text, "a\r\nb");
    EXPECT_EQ(got.Bold, (Ranges{{3, 4}}));
}

TEST(MsgBoxMarkup, OwnerCodeZeroPutsCaptionInBold)
{
    const struct {
        const char* caption;
        const char* shown;
    } cases[] = {
        {"Error", "ERROR"}, {"Confirm", "CONFIRM"}, {"Att", "ATT"}, {"Setup", "Setup"}, {"error", "error"}};
    for (const auto& c : cases) {
        const TMarkupText got = ApplyMessageMarkup(ComposeMsgBoxBody(0, "Disk full", c.caption));
        const std::string shown = c.shown;
        EXPECT_EQ(got.Text, shown + "\r\n\r\nDisk full\r\n") << c.caption;
        EXPECT_EQ(got.Bold, (Ranges{{0, shown.size()}})) << c.caption;
    }
    EXPECT_EQ(ComposeMsgBoxBody(1, "Disk full", "Error"), "Disk full");
    EXPECT_EQ(ComposeMsgBoxBody(0x1234, "Disk full", "Error"), "Disk full");
}

TEST(MsgBoxMarkup, FlagsFromCharsetAndOwner)
{
    EXPECT_EQ(ComposeMsgBoxFlags(1, 0x24, 1), 0x24u);
    EXPECT_EQ(ComposeMsgBoxFlags(1, 0x24, 177), 0x180024u);
    EXPECT_EQ(ComposeMsgBoxFlags(0, 0x10, 178), 0x180010u);
    EXPECT_EQ(ComposeMsgBoxFlags(2, 0x10, 1), 0x10000010u);
    EXPECT_EQ(ComposeMsgBoxFlags(0x5678, 0x10, 1), 0x10u);
}

TEST(MsgBoxMarkup, LargeTextAndUnbalancedTags)
{
    std::string text(70000, 'x');
    text += "<b>far</b>";
    for (int i = 0; i < 20000; ++i) text += (i % 3 == 0) ? "<b>" : (i % 3 == 1 ? "</B>y" : "</b>");
    const TMarkupText got = ApplyMessageMarkup(text);
    ASSERT_FALSE(got.Bold.empty());
    EXPECT_EQ(got.Bold[0], (TBoldRange{70000, 70003}));
    EXPECT_EQ(got.Text.substr(70000, 3), "far");
    for (const TBoldRange& r : got.Bold) {
        EXPECT_LE(r.Start, r.End);
        EXPECT_LE(r.End, got.Text.size());
    }
}

TEST(MsgBoxMarkup, LimitKeepsTheStartAndClipsBold)
{
    const TMarkupText small = ApplyMessageMarkup("a<b>b</b>");
    EXPECT_EQ(LimitMarkupText(small, 10).Text, "ab");
    const TMarkupText cut = LimitMarkupText(ApplyMessageMarkup("ab<b>cdef</b>gh<b>ij</b>"), 4);
    EXPECT_EQ(cut.Text, "abcd...");
    EXPECT_EQ(cut.Bold, (Ranges{{2, 4}}));
    // Never between CR and LF.
    EXPECT_EQ(LimitMarkupText(ApplyMessageMarkup("abc<P>def"), 4).Text, "abc...");
}

TEST(MsgBoxButtons, SetsTextsAndResults)
{
    const struct {
        uint32_t flags;
        std::vector<std::string> texts;
        std::vector<int> results;
    } cases[] = {
        {0, {"&OK"}, {1}},
        {1, {"&OK", "&Cancel"}, {1, 2}},
        {2, {"&Abort", "&Retry", "&Ignore"}, {3, 4, 5}},
        {3, {"&Yes", "&No", "&Cancel"}, {6, 7, 2}},
        {0x24, {"&Yes", "&No"}, {6, 7}},
        {5, {"&Retry", "&Cancel"}, {4, 2}},
        {6, {}, {}},
        {0x0F, {}, {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> texts;
        std::vector<int> results;
        for (const TMsgBoxButton& b : MsgBoxButtons(c.flags, kDefaultButtonTexts)) {
            texts.push_back(b.Text);
            results.push_back(b.Result);
        }
        EXPECT_EQ(texts, c.texts) << c.flags;
        EXPECT_EQ(results, c.results) << c.flags;
    }
    EXPECT_EQ(MsgBoxButtons(4, "/&Ja/&Abbrechen/J&a/&Nein/x/y/z/")[1].Text, "&Nein");
}

TEST(MsgBoxButtons, DefaultButtonAndIcon)
{
    EXPECT_EQ(MsgBoxDefaultButton(0x000, 3), 0);
    EXPECT_EQ(MsgBoxDefaultButton(0x200, 3), 2);
    EXPECT_EQ(MsgBoxDefaultButton(0x200, 2), 0);
    EXPECT_EQ(MsgBoxDefaultButton(0x100, 1), 0);
    EXPECT_EQ(MsgBoxDefaultButton(0x100, 0), -1);
    EXPECT_EQ(WrapButtonIndex(-1, 3), 2);
    EXPECT_EQ(WrapButtonIndex(-2, 1), 0);
    EXPECT_EQ(MsgBoxIconId(0x10), 32513);
    EXPECT_EQ(MsgBoxIconId(0x24), 32514);
    EXPECT_EQ(MsgBoxIconId(0x30), 32515);
    EXPECT_EQ(MsgBoxIconId(0x40), 32516);
    EXPECT_EQ(MsgBoxIconId(0x50), 0);
    EXPECT_EQ(MsgBoxIconId(0x00), 0);
}

TEST(MsgBoxKeys, KeyDownRules)
{
    const std::vector<std::string> yes_no = {"&Yes", "&No"};
    const std::vector<std::string> ari = {"&Abort", "&Retry", "&Ignore"};
    const std::vector<std::string> one = {"&OK"};
    const struct {
        unsigned key;
        int focused;
        const std::vector<std::string>* texts;
        int focus, choose;
        bool close;
    } cases[] = {
        {'N', 0, &yes_no, -1, 1, false},
        {'Y', 1, &yes_no, -1, 0, false},
        {'Q', 0, &yes_no, -1, -1, false},
        {0x0D, 1, &yes_no, -1, 1, false},  // Enter: the focused button
        {0x0D, -1, &yes_no, -1, -1, false},
        {0x1B, 0, &yes_no, -1, -1, true},  // Escape closes without a result
        {0x25, 0, &ari, 2, -1, false},     // Left wraps to the last button
        {0x26, 2, &ari, 1, -1, false},
        {0x09, 2, &ari, 0, -1, false},  // Tab wraps to the first
        {0x27, 0, &ari, 1, -1, false},
        {0x28, -1, &ari, 0, -1, false},
        {0x09, 0, &one, 0, -1, false},  // a single button keeps the focus
        {0x25, 0, &one, 0, -1, false},
        {'I', 0, &ari, -1, 2, false},
        {0x69, 0, &ari, -1, -1, false},  // numeric keypad 9 is not the letter i
    };
    for (const auto& c : cases) {
        const TMsgBoxKeyAction a = MsgBoxKeyAction(TMsgBoxKeyKind::kKeyDown, c.key, c.focused, *c.texts);
        EXPECT_EQ(a.FocusSlot, c.focus) << c.key;
        EXPECT_EQ(a.ChooseSlot, c.choose) << c.key;
        EXPECT_EQ(a.Close, c.close) << c.key;
    }
    // Without "&" the first character is the accelerator; the last match wins.
    EXPECT_EQ(MsgBoxKeyAction(TMsgBoxKeyKind::kKeyDown, 'S', 0, {"Save", "Skip"}).ChooseSlot, 1);
}

TEST(MsgBoxKeys, AltLetterUsesSecondCharacter)
{
    const std::vector<std::string> texts = {"&Retry", "&Cancel"};
    EXPECT_EQ(MsgBoxKeyAction(TMsgBoxKeyKind::kSysChar, 'c', 0, texts).ChooseSlot, 1);
    EXPECT_EQ(MsgBoxKeyAction(TMsgBoxKeyKind::kSysChar, 'R', 1, texts).ChooseSlot, 0);
    EXPECT_EQ(MsgBoxKeyAction(TMsgBoxKeyKind::kSysChar, 'x', 0, texts).ChooseSlot, -1);
    // Two matches: the lowest slot wins.
    EXPECT_EQ(MsgBoxKeyAction(TMsgBoxKeyKind::kSysChar, 'a', 0, {"&Abort", "&Again"}).ChooseSlot, 0);
}

TEST(MsgBoxLayout, MeasureTextBlock)
{
    auto width7 = [](const std::string& s) { return 7 * static_cast<int>(s.size()); };
    const struct {
        std::string text;
        int width, height;
    } cases[] = {
        {"abc", 31, 13},
        {"abc\r\n", 31, 13},                     // a final line break adds no line
        {"abc\r\n\r\nde", 31, 39},               // an empty line between counts
        {"", 17, 13},                            // measured as one blank
        {std::string(1000, 'w'), 600, 12 * 13},  // 7000 px: capped, 7000 / 600 + 1 lines
    };
    for (const auto& c : cases) {
        const TTextBlock b = MeasureTextBlockWith(c.text, 13, width7);
        EXPECT_EQ(b.Width, c.width) << c.text.size();
        EXPECT_EQ(b.Height, c.height) << c.text.size();
    }
    EXPECT_EQ(MsgBoxLineHeight(13, 1, " ms pgothic "), 15);
    EXPECT_EQ(MsgBoxLineHeight(13, 1, "Tahoma"), 14);
}

TEST(MsgBoxLayout, WidenForBold)
{
    std::vector<int> tried;
    // The text fits once the control is 30 pixels wider than measured.
    const int width = WidenForBold({200, 26}, [&](int w, int& rw, int& rh) {
        tried.push_back(w);
        rw = w;
        rh = w >= 230 ? 26 : 39;
    });
    EXPECT_EQ(width, 230);
    EXPECT_EQ(tried, (std::vector<int>{200, 210, 220, 230}));

    tried.clear();
    const int never = WidenForBold({200, 26}, [&](int w, int& rw, int& rh) {
        tried.push_back(w);
        rw = w + 5;
        rh = 39;
    });
    EXPECT_EQ(tried.size(), 22u);
    EXPECT_EQ(never, 415);  // widest request (400 + 5) + 10
    EXPECT_EQ(tried.back(), 415);
}

TEST(MsgBoxLayout, BoxControlAndButtons)
{
    const TFrameMetrics m{4, 4, 19};
    const TMsgBoxRect work{0, 0, 1280, 994};
    const TMsgBoxRect small = MsgBoxOuterRect(60, 13, m, work);
    EXPECT_EQ(small.Width, 360);
    EXPECT_EQ(small.Height, 13 + 36 + 90 + 8 + 19);
    EXPECT_EQ(small.Left, (1280 - 360) / 2);
    EXPECT_EQ(small.Top, (994 - small.Height) / 2);
    const TMsgBoxRect wide = MsgBoxOuterRect(610, 100, m, {10, 20, 1280, 994});
    EXPECT_EQ(wide.Width, 610 + 54 + 64 + 8);
    EXPECT_EQ(wide.Height, 100 + 36 + 64 + 8 + 19);
    EXPECT_EQ(wide.Left, 10 + (1280 - wide.Width) / 2);

    EXPECT_EQ(MsgBoxControlRect(400, 200, 100, 40), (TMsgBoxRect{54 + 123, 62, 100, 200 - 62 - 39}));
    EXPECT_EQ(MsgBoxButtonRect(400, 200, 2, 3), (TMsgBoxRect{320, 171, 70, 23}));
    EXPECT_EQ(MsgBoxButtonRect(400, 200, 0, 3), (TMsgBoxRect{180, 171, 70, 23}));
    EXPECT_EQ(MsgBoxButtonRect(400, 200, 0, 1), (TMsgBoxRect{320, 171, 70, 23}));
}

}  // namespace
