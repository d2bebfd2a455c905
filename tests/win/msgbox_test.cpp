#include "ui/msgbox.h"

#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "proc_test_support.h"
#include "ui/msgbox_win.h"
#include "ui/window_services.h"

namespace {

// Runs `show` and, once the box is up, `script` from a timer of the box's own
// message loop. A guard closes a box that nobody answers.
class BoxDriver {
public:
    static int Run(const std::function<int()>& show, const std::function<void(HWND)>& script)
    {
        script_ = script;
        ran_ = false;
        const UINT_PTR tick = SetTimer(nullptr, 0, 30, Tick);
        const UINT_PTR guard = SetTimer(nullptr, 0, 20000, Guard);
        const int result = show();
        KillTimer(nullptr, tick);
        KillTimer(nullptr, guard);
        EXPECT_EQ(OwnTopWindow(kMsgBoxClass), nullptr) << "box left open";
        return result;
    }
    static bool ran() { return ran_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD)
    {
        HWND box = OwnTopWindow(kMsgBoxClass);
        if (!box || ran_) return;
        ran_ = true;
        KillTimer(nullptr, id);
        if (script_) script_(box);
    }
    static void CALLBACK Guard(HWND, UINT, UINT_PTR id, DWORD)
    {
        KillTimer(nullptr, id);
        ADD_FAILURE() << "box not answered";
        if (HWND box = OwnTopWindow(kMsgBoxClass)) PostMessageA(box, WM_CLOSE, 0, 0);
    }
    static inline std::function<void(HWND)> script_;
    static inline bool ran_ = false;
};

struct Child {
    HWND Hwnd;
    RECT Rect;  // in the box's client coordinates
    std::string Cls;
};

std::vector<Child> Children(HWND box, const char* cls)
{
    std::vector<Child> out;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char name[64] = {};
        GetClassNameA(c, name, sizeof name);
        if (lstrcmpiA(name, cls) != 0) continue;
        RECT r;
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&r), 2);
        out.push_back({c, r, name});
    }
    std::sort(out.begin(), out.end(),
              [](const Child& a, const Child& b) { return a.Rect.left < b.Rect.left; });
    return out;
}

HWND TextControl(HWND box)
{
    for (const char* cls : {"RICHEDIT", "RichEdit20A"}) {
        const auto found = Children(box, cls);
        if (!found.empty()) return found[0].Hwnd;
    }
    return nullptr;
}

std::string WindowText(HWND hwnd)
{
    const int n = GetWindowTextLengthA(hwnd);
    std::string text(n + 1, '\0');
    GetWindowTextA(hwnd, text.data(), n + 1);
    text.resize(n);
    return text;
}

// The characters of the control that are bold, in order.
std::string BoldCharacters(HWND control, LONG from, LONG to)
{
    std::string bold;
    for (LONG i = from; i < to; ++i) {
        CHARRANGE sel = {i, i + 1};
        SendMessageA(control, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&sel));
        CHARFORMATA cf = {};
        cf.cbSize = sizeof cf;
        SendMessageA(control, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
        if ((cf.dwMask & CFM_BOLD) && (cf.dwEffects & CFE_BOLD)) {
            char c[4] = {};
            SendMessageA(control, EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(c));
            bold += c;
        }
    }
    return bold;
}

void PostKey(UINT message, WPARAM key)
{
    HWND target = GetFocus();
    PostMessageA(target, message, key, 0);
}

int YesNo(uint32_t extra_flags = 0)
{
    return ShowMsgBox(1, "Continue with the installation?", "Confirm", 0, 0x24 | extra_flags, 1,
                      kDefaultButtonTexts);
}

TEST(MsgBoxWindow, KeysAnswerYesNo)
{
    const struct {
        UINT message;
        WPARAM key;
        uint32_t flags;
        int want;
    } cases[] = {
        {WM_KEYDOWN, 'N', 0, 7},           {WM_KEYDOWN, 'Y', 0x100, 6},
        {WM_KEYDOWN, VK_RETURN, 0, 6},                               // Enter on the default (focused) button
        {WM_KEYDOWN, VK_RETURN, 0x100, 7},                           // second button as default
        {WM_KEYDOWN, VK_ESCAPE, 0, 0},     {WM_SYSCHAR, 'n', 0, 7},  // Alt+N
        {WM_SYSCHAR, 'Y', 0x100, 6},
    };
    for (const auto& c : cases) {
        const int got =
            BoxDriver::Run([&] { return YesNo(c.flags); }, [&](HWND) { PostKey(c.message, c.key); });
        EXPECT_EQ(got, c.want) << c.message << " " << c.key;
    }
    // Tab moves the focus to No, Enter answers with it.
    EXPECT_EQ(BoxDriver::Run([] { return YesNo(); },
                             [](HWND) {
                                 PostKey(WM_KEYDOWN, VK_TAB);
                                 PostKey(WM_KEYDOWN, VK_RETURN);
                             }),
              7);
}

TEST(MsgBoxWindow, WrappersReturnTheirAnswers)
{
    EXPECT_FALSE(
        BoxDriver::Run([] { return int(MsgConfirm(1, "Go on?")); }, [](HWND) { PostKey(WM_KEYDOWN, 'N'); }));
    EXPECT_TRUE(
        BoxDriver::Run([] { return int(MsgConfirm(1, "Go on?")); }, [](HWND) { PostKey(WM_KEYDOWN, 'Y'); }));
    EXPECT_TRUE(BoxDriver::Run([] { return int(MsgConfirmOkCancel(1, "Go on?")); },
                               [](HWND) { PostKey(WM_KEYDOWN, VK_RETURN); }));
    EXPECT_FALSE(BoxDriver::Run([] { return int(MsgConfirmOkCancel(1, "Go on?")); },
                                [](HWND) { PostKey(WM_KEYDOWN, VK_ESCAPE); }));
}

TEST(MsgBoxWindow, AbortRetryIgnoreButtonsReturnTheirCodes)
{
    for (int slot = 0; slot < 3; ++slot) {
        const int got = BoxDriver::Run(
            [] { return ShowMsgBox(1, "Disc error", "Attention", 0, 0x32, 1, kDefaultButtonTexts); },
            [slot](HWND box) {
                const auto buttons = Children(box, "Button");
                ASSERT_EQ(buttons.size(), 3u);
                PostMessageA(buttons[slot].Hwnd, BM_CLICK, 0, 0);
            });
        EXPECT_EQ(got, 3 + slot);
    }
}

TEST(MsgBoxWindow, TimeoutAnswersWithTheFirstButton)
{
    EXPECT_EQ(ShowMsgBox(1, "Closing soon", "Attention", 300, 0x24, 1, kDefaultButtonTexts), 6);
    EXPECT_EQ(ShowMsgBox(1, "Closing soon", "Attention", 300, 0x35, 1, kDefaultButtonTexts), 4);
}

// A box as it stood on the screen, and its text measured in the box's own
// font (read from a button: the box gives every control the same font), so
// that the expected sizes hold whichever fonts this system has.
struct BoxShape {
    RECT Outer = {}, Client = {}, Text = {};
    std::vector<Child> Buttons;
    LOGFONTA Font = {};
    std::vector<int> LineWidths;  // extent of each line of the text
    int LineHeight = 0;           // tmHeight + tmExternalLeading
};

BoxShape ShapeOfBox(const std::string& text, const std::vector<std::string>& lines, uint32_t flags)
{
    BoxShape shape;
    BoxDriver::Run([&] { return ShowMsgBox(1, text, "Attention", 0, flags, 1, kDefaultButtonTexts); },
                   [&](HWND box) {
                       GetWindowRect(box, &shape.Outer);
                       GetClientRect(box, &shape.Client);
                       shape.Buttons = Children(box, "Button");
                       HWND control = TextControl(box);
                       GetWindowRect(control, &shape.Text);
                       MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&shape.Text), 2);
                       const HFONT font = shape.Buttons.empty()
                                              ? nullptr
                                              : reinterpret_cast<HFONT>(
                                                    SendMessageA(shape.Buttons[0].Hwnd, WM_GETFONT, 0, 0));
                       if (font) {
                           GetObjectA(font, sizeof shape.Font, &shape.Font);
                           HDC dc = GetDC(control);
                           const HGDIOBJ old = SelectObject(dc, font);
                           TEXTMETRICA metrics = {};
                           GetTextMetricsA(dc, &metrics);
                           shape.LineHeight = metrics.tmHeight + metrics.tmExternalLeading;
                           for (const std::string& line : lines) {
                               SIZE size = {};
                               GetTextExtentPoint32A(dc, line.data(), static_cast<int>(line.size()), &size);
                               shape.LineWidths.push_back(size.cx);
                           }
                           SelectObject(dc, old);
                           ReleaseDC(control, dc);
                       }
                       PostKey(WM_KEYDOWN, VK_ESCAPE);
                   });
    return shape;
}

TEST(MsgBoxWindow, GeometryFollowsTheTextInTheBoxFont)
{
    const struct {
        const char* what;
        std::string text;
        std::vector<std::string> lines;
        uint32_t flags;
        size_t buttons;
        bool minimum_width;  // narrow in any font: the box is exactly 360 wide
    } cases[] = {
        {"tiny", "OK?", {"OK?"}, 0x00, 1, true},
        {"short question",
         "Continue with the installation?",
         {"Continue with the installation?"},
         0x24,
         2,
         false},
        {"wide line: the narrow side margins",
         "Setup needs more free space on drive C: to unpack the files of the installation.",
         {"Setup needs more free space on drive C: to unpack the files of the installation."},
         0x32,
         3,
         false},
        {"three lines: the low top and bottom margins",
         "First line<P>second line<P>third line",
         {"First line", "second line", "third line"},
         0x01,
         2,
         false},
    };
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const int frame_cx = GetSystemMetrics(SM_CXFRAME), frame_cy = GetSystemMetrics(SM_CYFRAME);
    const int caption_cy = GetSystemMetrics(SM_CYCAPTION);
    const TMsgBoxFont want_font = MsgBoxFont();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const BoxShape box = ShapeOfBox(c.text, c.lines, c.flags);
        ASSERT_EQ(box.LineWidths.size(), c.lines.size()) << "no font on the buttons";

        // The font the package asks for, whatever the system substitutes for it.
        EXPECT_STREQ(box.Font.lfFaceName, want_font.Face.c_str());
        EXPECT_EQ(box.Font.lfHeight, -PointsToPixels(want_font.PointSize));

        // The control: 10 pixels beside the widest line, 10 more of room; one
        // line height per line (each of these lines fits into 600 pixels).
        int widest = 0;
        for (int w : box.LineWidths) {
            ASSERT_LE(w + 10, 600);
            widest = std::max(widest, w);
        }
        const int rw = widest + 20;
        const int rh = box.LineHeight * static_cast<int>(c.lines.size());
        // Margins: wider beside a narrow control, taller around a low one.
        const int hmargin = rw < 200 ? 64 : 32;
        const int vmargin = rh < 39 ? 45 : 32;
        const int width = std::max(360, rw + 54 + 2 * hmargin + 2 * frame_cx);
        const int height = rh + 36 + 2 * vmargin + 2 * frame_cy + caption_cy;
        EXPECT_EQ(box.Outer.right - box.Outer.left, width);
        if (c.minimum_width) {
            ASSERT_LT(rw + 54 + 2 * hmargin + 2 * frame_cx, 360) << "the font is too wide for this case";
            EXPECT_EQ(box.Outer.right - box.Outer.left, 360);
        }
        EXPECT_EQ(box.Outer.bottom - box.Outer.top, height);
        // Centred in the work area.
        EXPECT_EQ(box.Outer.left, work.left + ((work.right - work.left) - width) / 2);
        EXPECT_EQ(box.Outer.top, work.top + ((work.bottom - work.top) - height) / 2);

        const int cw = box.Client.right, ch = box.Client.bottom;
        EXPECT_EQ(box.Text.right - box.Text.left, rw);
        EXPECT_EQ(box.Text.left, 54 + (cw - 54 - rw) / 2);
        EXPECT_EQ(box.Text.top, (ch - 36 - rh) / 2);
        EXPECT_EQ(box.Text.bottom, ch - 39);

        // Buttons 70 x 23 on the bar, side by side, the last one at cw - 80.
        ASSERT_EQ(box.Buttons.size(), c.buttons);
        for (size_t i = 0; i < box.Buttons.size(); ++i) {
            const RECT& b = box.Buttons[i].Rect;
            EXPECT_EQ(b.left, cw - 80 - 70 * static_cast<int>(box.Buttons.size() - 1 - i)) << i;
            EXPECT_EQ(b.top, ch - 29) << i;
            EXPECT_EQ(b.right - b.left, 70) << i;
            EXPECT_EQ(b.bottom - b.top, 23) << i;
        }
    }
}

TEST(MsgBoxWindow, LongLineCapsTheControlAt610)
{
    const std::string line(3000, 'w');
    int width = 0, box_width = 0;
    BoxDriver::Run([&] { return ShowMsgBox(1, line, "Attention", 0, 0x30, 1, kDefaultButtonTexts); },
                   [&](HWND box) {
                       RECT r;
                       GetWindowRect(TextControl(box), &r);
                       width = r.right - r.left;
                       GetWindowRect(box, &r);
                       box_width = r.right - r.left;
                       PostKey(WM_KEYDOWN, VK_RETURN);
                   });
    EXPECT_EQ(width, 610);
    EXPECT_EQ(box_width, 610 + 54 + 2 * 32 + 2 * GetSystemMetrics(SM_CXFRAME));
}

HWND g_focus_after_keys = nullptr;

// Reads the focus once the keys before it are handled, then answers.
void CALLBACK ReadFocusThenAnswer(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    g_focus_after_keys = GetFocus();
    PostKey(WM_KEYDOWN, VK_RETURN);
}

TEST(MsgBoxWindow, OneButtonBoxAfterThreeButtonBox)
{
    BoxDriver::Run([] { return ShowMsgBox(1, "three", "c", 0, 0x02, 1, kDefaultButtonTexts); },
                   [](HWND) { PostKey(WM_KEYDOWN, VK_ESCAPE); });
    size_t count = 0;
    g_focus_after_keys = nullptr;
    HWND only = nullptr;
    const int got = BoxDriver::Run([] { return ShowMsgBox(1, "one", "c", 0, 0x00, 1, kDefaultButtonTexts); },
                                   [&](HWND box) {
                                       const auto buttons = Children(box, "Button");
                                       count = buttons.size();
                                       if (count) only = buttons[0].Hwnd;
                                       PostKey(WM_KEYDOWN, VK_TAB);
                                       PostKey(WM_KEYDOWN, VK_LEFT);
                                       PostKey(WM_KEYDOWN, VK_DOWN);
                                       SetTimer(nullptr, 0, 200, ReadFocusThenAnswer);
                                   });
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(g_focus_after_keys, only);  // Tab and the arrows keep the focus on the one button
    EXPECT_EQ(got, 1);
}

TEST(MsgBoxWindow, OwnerCodeZeroShowsCaptionInBold)
{
    std::string title, body, bold, bold_later;
    BoxDriver::Run(
        [] {
            MsgError(0, "Not enough room on <b>drive C:</b>.");
            return 0;
        },
        [&](HWND box) {
            title = WindowText(box);
            HWND text = TextControl(box);
            body = WindowText(text);
            bold = BoldCharacters(text, 0, 9);
            bold_later = BoldCharacters(text, 9, static_cast<LONG>(body.size()));
            PostKey(WM_KEYDOWN, VK_RETURN);
        });
    EXPECT_EQ(title, "Error");
    EXPECT_EQ(body, "ERROR\r\n\r\nNot enough room on drive C:.\r\n");
    EXPECT_EQ(bold, "ERROR");
    EXPECT_EQ(bold_later, "drive C:");  // offsets count each line break as two characters
}

TEST(MsgBoxWindow, NoCloseGreysTheCloseCommandButEscapeCloses)
{
    UINT state = 0;
    const int got =
        BoxDriver::Run([] { return ShowMsgBox(2, "Busy", "Attention", 0, 0x30, 1, kDefaultButtonTexts); },
                       [&](HWND box) {
                           state = GetMenuState(GetSystemMenu(box, FALSE), SC_CLOSE, MF_BYCOMMAND);
                           PostKey(WM_KEYDOWN, VK_ESCAPE);
                       });
    EXPECT_TRUE(state & MF_GRAYED);
    EXPECT_EQ(got, 0);
}

TEST(MsgBoxWindow, RightToLeftCharset)
{
    LONG_PTR style = 0, ex_style = 0;
    BoxDriver::Run([] { return ShowMsgBox(1, "shalom", "c", 0, 0x00, 177, kDefaultButtonTexts); },
                   [&](HWND box) {
                       HWND text = TextControl(box);
                       style = GetWindowLongPtrA(text, GWL_STYLE);
                       ex_style = GetWindowLongPtrA(text, GWL_EXSTYLE);
                       PostKey(WM_KEYDOWN, VK_RETURN);
                   });
    EXPECT_TRUE(style & ES_RIGHT);
    EXPECT_TRUE(ex_style & WS_EX_RTLREADING);
}

TEST(MsgBoxWindow, AnswersAutoPlayAndDisablesTheActiveWindow)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VelMsgBoxOwner";
    RegisterClassA(&wc);
    HWND owner = CreateWindowExA(0, "VelMsgBoxOwner", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200,
                                 100, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(owner, nullptr);
    SetForegroundWindow(owner);
    SetActiveWindow(owner);
    SetAutoPlayCancel(true);
    LRESULT autoplay = 0;
    BOOL enabled_during = TRUE;
    HWND box_owner = nullptr;
    BoxDriver::Run([] { return ShowMsgBox(1, "x", "c", 0, 0, 1, kDefaultButtonTexts); },
                   [&](HWND box) {
                       autoplay = SendMessageA(box, AutoPlayCancelMessage(), 0, 0);
                       enabled_during = IsWindowEnabled(owner);
                       box_owner = GetWindow(box, GW_OWNER);
                       PostKey(WM_KEYDOWN, VK_RETURN);
                   });
    SetAutoPlayCancel(false);
    EXPECT_EQ(autoplay, 1);
    EXPECT_FALSE(enabled_during);
    EXPECT_EQ(box_owner, owner);
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

TEST(MsgBoxWindow, HugeTextWithUnbalancedTagsIsCutAndScrolls)
{
    std::string text = "<b>start</b> " + std::string(70000, 'x') + "<b>far</b>";
    for (int i = 0; i < 3000; ++i) text += (i % 2) ? "</b>line<P>" : "<b>";
    text += "<b>open at the end";
    std::string shown, bold;
    LONG_PTR style = 0;
    RECT box_rect = {}, work = {};
    const int got =
        BoxDriver::Run([&] { return ShowMsgBox(1, text, "Attention", 0, 0x30, 1, kDefaultButtonTexts); },
                       [&](HWND box) {
                           HWND control = TextControl(box);
                           shown = WindowText(control);
                           bold = BoldCharacters(control, 0, 8);
                           style = GetWindowLongPtrA(control, GWL_STYLE);
                           GetWindowRect(box, &box_rect);
                           SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
                           PostKey(WM_KEYDOWN, VK_RETURN);
                       });
    EXPECT_EQ(got, 1);
    EXPECT_EQ(shown.size(), kMsgBoxMaxTextChars + 3);
    EXPECT_EQ(shown.substr(0, 7), "start x");
    EXPECT_EQ(shown.substr(shown.size() - 4), "x...");
    EXPECT_EQ(bold, "start");
    // Too tall for the screen: the buttons stay visible and the text scrolls.
    EXPECT_LE(box_rect.bottom - box_rect.top, work.bottom - work.top);
    EXPECT_TRUE(style & WS_VSCROLL);
}

TEST(MsgBoxWindow, RichEditLibraryFromTheSystemFolder)
{
    const TRichEditLibrary lib = LoadRichEditLibrary();
    ASSERT_NE(lib.Module, nullptr);
    char path[MAX_PATH] = {}, system[MAX_PATH] = {};
    GetModuleFileNameA(lib.Module, path, MAX_PATH);
    GetSystemDirectoryA(system, MAX_PATH);
    EXPECT_EQ(CharUpperA(path),
              std::string(CharUpperA(system)) + "\\" + (lib.CrlfCountsTwo ? "RICHED32.DLL" : "RICHED20.DLL"));
    FreeLibrary(lib.Module);
}

}  // namespace
