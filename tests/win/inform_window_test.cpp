#include "ui/inform_window.h"

#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "proc_test_support.h"
#include "web_link_handler.h"
#include "ui/window_services.h"

namespace {

// Runs `show` and, once the window is up, `script` from a timer of the
// window's own message loop. A guard closes a window that nobody closes.
class InformDriver {
public:
    static bool Run(const std::function<bool()>& show, const std::function<void(HWND)>& script)
    {
        script_ = script;
        ran_ = false;
        const UINT_PTR tick = SetTimer(nullptr, 0, 30, Tick);
        const UINT_PTR guard = SetTimer(nullptr, 0, 20000, Guard);
        const bool result = show();
        KillTimer(nullptr, tick);
        KillTimer(nullptr, guard);
        MSG quit;
        while (PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
        EXPECT_EQ(OwnTopWindow(kInformWindowClass), nullptr) << "window left open";
        return result;
    }
    static bool ran() { return ran_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD)
    {
        HWND window = OwnTopWindow(kInformWindowClass);
        if (!window || ran_) return;
        ran_ = true;
        KillTimer(nullptr, id);
        if (script_) script_(window);
    }
    static void CALLBACK Guard(HWND, UINT, UINT_PTR id, DWORD)
    {
        KillTimer(nullptr, id);
        ADD_FAILURE() << "window not closed";
        if (HWND window = OwnTopWindow(kInformWindowClass))
            PostMessageA(window, WM_CLOSE, 0, 0);
        else
            PostQuitMessage(0);
    }
    static inline std::function<void(HWND)> script_;
    static inline bool ran_ = false;
};

bool Show(const std::string& link, const std::string& text, int width = 400, int height = 300,
          const std::string& font = "Tahoma", HWND owner = nullptr, int charset = 0)
{
    return ShowInformWindow(owner, "New Version", "Download", charset, 8, font, width, height, link, text);
}

std::vector<HWND> Children(HWND window, const char* cls)
{
    std::vector<HWND> out;
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char name[64] = {};
        GetClassNameA(c, name, sizeof name);
        if (lstrcmpiA(name, cls) == 0) out.push_back(c);
    }
    return out;
}

HWND TextControl(HWND window)
{
    for (const char* cls : {"RICHEDIT", "RichEdit20A"}) {
        const auto found = Children(window, cls);
        if (!found.empty()) return found[0];
    }
    return nullptr;
}

// A child's rectangle in the client coordinates of its window.
TInformRect ChildRect(HWND window, HWND child)
{
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::string WindowText(HWND hwnd)
{
    std::string text(static_cast<size_t>(GetWindowTextLengthA(hwnd)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

LOGFONTA FontOf(HWND control)
{
    LOGFONTA lf = {};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)), sizeof lf, &lf);
    return lf;
}

// The rich-text control's character format at the start of its text.
CHARFORMATA TextFormat(HWND control)
{
    CHARFORMATA format = {};
    format.cbSize = sizeof format;
    SendMessageA(control, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    return format;
}

RECT WorkArea()
{
    RECT work = {};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

TEST(InformWindow, NothingToShow)
{
    EXPECT_FALSE(Show("", ""));
    EXPECT_FALSE(Show(" \t ", ""));
    EXPECT_EQ(OwnTopWindow(kInformWindowClass), nullptr);
}

TEST(InformWindow, LinkOnlyIsOpenedWithoutWindow)
{
    WebLinkHandler handler;
    // No modal loop runs: the call comes back without anyone closing a window.
    EXPECT_TRUE(Show("  https://example.com/velmora-news  ", ""));
    EXPECT_EQ(handler.Opened(), "https://example.com/velmora-news\n");
}

// A link from a downloaded file that is a program or a file is never started.
TEST(InformWindow, OtherLinksAreNeverOpened)
{
    WebLinkHandler handler;
    const std::string probe = HelperPath("shellopen_probe.exe");
    for (const std::string& link :
         {probe, "file:///" + probe, std::string("calc.exe"), std::string("http://example.com/\" \"C:\\x")}) {
        EXPECT_FALSE(Show(link, "")) << link;
        // With a text the window comes without a button.
        const bool shown = InformDriver::Run([&] { return Show(link, "Text"); },
                                             [](HWND window) {
                                                 EXPECT_TRUE(Children(window, "Button").empty());
                                                 PostMessageA(window, WM_CLOSE, 0, 0);
                                             });
        EXPECT_TRUE(shown);
        EXPECT_TRUE(InformDriver::ran());
    }
    EXPECT_TRUE(handler.WroteNothing());
}

TEST(InformWindow, GeometryFontsAndResizeWithLink)
{
    const std::string text = "Version 2.4 is out.\r\nIt fixes the printing problems.";
    const bool shown = InformDriver::Run(
        [&] { return Show("http://example.com/", text); },
        [&](HWND window) {
            RECT outer;
            GetWindowRect(window, &outer);
            EXPECT_EQ(outer.right - outer.left, 400);
            EXPECT_EQ(outer.bottom - outer.top, 300);
            const RECT work = WorkArea();
            EXPECT_EQ(outer.left, work.left + (work.right - work.left - 400) / 2);
            EXPECT_EQ(outer.top, work.top + (work.bottom - work.top - 300) / 2);
            EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE)) & 0x10CC0000u, 0x10CC0000u);
            EXPECT_TRUE(GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
            EXPECT_EQ(GetClassLongPtrA(window, GCL_STYLE),
                      static_cast<ULONG_PTR>(CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS));
            EXPECT_EQ(WindowText(window), "New Version");

            const HWND control = TextControl(window);
            ASSERT_NE(control, nullptr);
            const auto buttons = Children(window, "Button");
            ASSERT_EQ(buttons.size(), 1u);
            const HWND button = buttons[0];
            RECT client;
            GetClientRect(window, &client);
            const int cw = client.right, ch = client.bottom;
            EXPECT_EQ(ChildRect(window, control), (TInformRect{3, 0, cw - 3, ch - 43}));
            EXPECT_EQ(ChildRect(window, button), (TInformRect{(cw - 160) / 2, ch - 33, 160, 25}));
            // The control hides its scroll bar (and WS_VSCROLL) while the text fits.
            EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(control, GWL_STYLE)) & 0x50001804u, 0x50001804u);
            EXPECT_EQ(WindowText(control), text);
            EXPECT_EQ(WindowText(button), "Download");
            EXPECT_EQ(GetWindowLongPtrA(button, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
            // Another program's window on the test display may take the foreground
            // from a new window; while the window is active, the button has the focus.
            if (GetActiveWindow() == window) EXPECT_EQ(GetFocus(), button);

            const CHARFORMATA textFont = TextFormat(control);
            EXPECT_STREQ(textFont.szFaceName, "Verdana");
            // A cell height of 15 pixels, in twips.
            HDC screen = GetDC(nullptr);
            EXPECT_EQ(std::abs(textFont.yHeight), MulDiv(15, 1440, GetDeviceCaps(screen, LOGPIXELSY)));
            ReleaseDC(nullptr, screen);
            EXPECT_EQ(textFont.bPitchAndFamily, FF_SWISS);
            const LOGFONTA buttonFont = FontOf(button);
            EXPECT_STREQ(buttonFont.lfFaceName, "Tahoma");
            EXPECT_EQ(buttonFont.lfHeight, -PointsToPixels(8));
            EXPECT_EQ(buttonFont.lfPitchAndFamily, FF_SWISS);

            // The bar: a dark line, then button face down to the bottom.
            RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_NOCHILDREN);
            HDC dc = GetDC(window);
            EXPECT_EQ(GetPixel(dc, 1, ch - 43), GetSysColor(COLOR_3DDKSHADOW));
            EXPECT_EQ(GetPixel(dc, 1, ch - 42), GetSysColor(COLOR_BTNFACE));
            EXPECT_EQ(GetPixel(dc, 1, ch - 1), GetSysColor(COLOR_BTNFACE));
            EXPECT_EQ(GetPixel(dc, 1, ch - 44), GetSysColor(COLOR_WINDOW));
            ReleaseDC(window, dc);

            // Resizing keeps the button centred 33 pixels above the bottom.
            for (const SIZE size : {SIZE{520, 420}, SIZE{333, 250}}) {
                SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
                GetClientRect(window, &client);
                EXPECT_EQ(ChildRect(window, control),
                          (TInformRect{3, 0, client.right - 3, client.bottom - 43}));
                EXPECT_EQ(ChildRect(window, button),
                          (TInformRect{(client.right - 160) / 2, client.bottom - 33, 160, 25}));
            }
            PostMessageA(window, WM_CLOSE, 0, 0);
        });
    EXPECT_TRUE(shown);
    EXPECT_TRUE(InformDriver::ran());
}

TEST(InformWindow, TextOnlyFillsTheWindow)
{
    const char* rtf = "{\\rtf1\\ansi{\\fonttbl\\f0\\fswiss Arial;}\\f0\\pard Hello {\\b bold} world\\par}";
    const bool shown = InformDriver::Run(
        [&] { return Show("", rtf, 360, 360, "Arial", nullptr, 238); },
        [](HWND window) {
            const HWND control = TextControl(window);
            ASSERT_NE(control, nullptr);
            RECT client;
            GetClientRect(window, &client);
            EXPECT_EQ(ChildRect(window, control), (TInformRect{3, 0, client.right - 3, client.bottom}));
            EXPECT_TRUE(Children(window, "Button").empty());
            // Rich text arrives as rich text.
            EXPECT_EQ(WindowText(control).substr(0, 16), "Hello bold world");
            SetWindowPos(window, nullptr, 0, 0, 500, 200, SWP_NOMOVE | SWP_NOZORDER);
            GetClientRect(window, &client);
            EXPECT_EQ(ChildRect(window, control), (TInformRect{3, 0, client.right - 3, client.bottom}));
            PostMessageA(window, WM_CLOSE, 0, 0);
        });
    EXPECT_TRUE(shown);

    // A plain text in another face and character set, too long for the window: it scrolls.
    std::string lines;
    for (int i = 0; i < 100; ++i) lines += "Line " + std::to_string(i) + "\r\n";
    EXPECT_TRUE(InformDriver::Run([&] { return Show("", lines, 300, 200, "Arial", nullptr, 238); },
                                  [](HWND window) {
                                      const HWND control = TextControl(window);
                                      ASSERT_NE(control, nullptr);
                                      const CHARFORMATA format = TextFormat(control);
                                      EXPECT_STREQ(format.szFaceName, "Arial");
                                      EXPECT_EQ(format.bCharSet, 238);
                                      EXPECT_TRUE(GetWindowLongPtrA(control, GWL_STYLE) & WS_VSCROLL);
                                      PostMessageA(window, WM_CLOSE, 0, 0);
                                  }));
}

TEST(InformWindow, ButtonOpensTheLinkAndCloses)
{
    for (int run = 0; run < 2; ++run) {  // shown more than once in one run
        WebLinkHandler handler;
        const std::string link = "https://example.com/download/" + std::to_string(run);
        const bool shown = InformDriver::Run([&] { return Show(link, "A new version is available."); },
                                             [](HWND window) {
                                                 const auto buttons = Children(window, "Button");
                                                 ASSERT_EQ(buttons.size(), 1u);
                                                 SendMessageA(buttons[0], BM_CLICK, 0, 0);
                                             });
        EXPECT_TRUE(shown);
        EXPECT_TRUE(InformDriver::ran());
        EXPECT_EQ(handler.Opened(), link + "\n");
    }
}

TEST(InformWindow, SizeClampedToTheWorkArea)
{
    const RECT work = WorkArea();
    const struct {
        int width, height;
        int expectWidth, expectHeight;
    } cases[] = {
        {5000, 9000, static_cast<int>(work.right - work.left), static_cast<int>(work.bottom - work.top)},
        {-20, 0, GetSystemMetrics(SM_CXMIN), GetSystemMetrics(SM_CYMIN)},
    };
    for (const auto& c : cases) {
        const bool shown =
            InformDriver::Run([&] { return Show("http://example.com/", "Text", c.width, c.height); },
                              [&](HWND window) {
                                  RECT outer;
                                  GetWindowRect(window, &outer);
                                  EXPECT_EQ(outer.right - outer.left, c.expectWidth);
                                  EXPECT_EQ(outer.bottom - outer.top, c.expectHeight);
                                  EXPECT_GE(outer.left, work.left);
                                  EXPECT_GE(outer.top, work.top);
                                  PostMessageA(window, WM_CLOSE, 0, 0);
                              });
        EXPECT_TRUE(shown) << c.width << "x" << c.height;
    }
}

// A window that cannot be created ends the call instead of a loop that waits forever.
TEST(InformWindow, CreationFailureReturns)
{
    HWND gone = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(gone, nullptr);
    DestroyWindow(gone);
    EXPECT_FALSE(InformDriver::Run([&] { return Show("", "Text", 400, 300, "Tahoma", gone); }, nullptr));
    EXPECT_FALSE(InformDriver::ran());
}

}  // namespace
