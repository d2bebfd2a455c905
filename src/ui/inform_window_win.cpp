#include "ui/inform_window.h"

#include <richedit.h>

#include "base/text_utils.h"
#include "lang/sysinfo.h"
#include "ui/msgbox_win.h"
#include "ui/window_services.h"

namespace {

constexpr DWORD kWindowStyle = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;  // 0x10CC0000
constexpr DWORD kTextStyle =
    WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_WANTRETURN | ES_READONLY | ES_MULTILINE;  // 0x50201804
constexpr int kButtonId = 1;

// One window at a time.
struct TInformState {
    std::string Link;  // an openable link, or "" for no button
    HINSTANCE Instance = nullptr;
    HFONT ButtonFont = nullptr;
    HFONT TextFont = nullptr;
    HWND Window = nullptr;
    HWND Text = nullptr;
    HWND Button = nullptr;
    bool Done = false;
};

TInformState g_inform;

void Place(HWND control, const TInformRect& r)
{
    if (control) MoveWindow(control, r.Left, r.Top, r.Width, r.Height, TRUE);
}

void Layout(HWND hwnd)
{
    RECT client;
    GetClientRect(hwnd, &client);
    const TInformLayout layout = InformLayout(client.right, client.bottom, !g_inform.Link.empty());
    Place(g_inform.Text, layout.Text);
    Place(g_inform.Button, layout.Button);
}

void Paint(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    if (!g_inform.Link.empty()) {
        const int line = client.bottom - kInformBarHeight;
        HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DDKSHADOW));
        HGDIOBJ old = SelectObject(dc, pen);
        MoveToEx(dc, 0, line, nullptr);
        LineTo(dc, client.right, line);
        SelectObject(dc, old);
        DeleteObject(pen);
        RECT bar = {0, line + 1, client.right, client.bottom};
        FillRect(dc, &bar, GetSysColorBrush(COLOR_BTNFACE));
    }
    EndPaint(hwnd, &ps);
}

void OpenLink(const std::string& link)
{
    ShellOpen(link, "", SW_SHOW);
}

LRESULT CALLBACK InformProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_SIZE:
        Layout(hwnd);
        return 0;
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    case WM_COMMAND:
        if (g_inform.Button && reinterpret_cast<HWND>(lparam) == g_inform.Button &&
            HIWORD(wparam) == BN_CLICKED) {
            OpenLink(g_inform.Link);
            PostMessageA(hwnd, WM_CLOSE, 0, 0);
            return 0;
        }
        break;
    case WM_DESTROY:
        g_inform.Done = true;
        return 1;
    }
    return DefWindowProcA(hwnd, message, wparam, lparam);
}

HFONT MakeFont(int height, int charset, const std::string& face)
{
    return CreateFontA(height, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, static_cast<BYTE>(charset),
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS, face.c_str());
}

// The rich-text library stays loaded once the first window has used it.
const TRichEditLibrary& RichEdit()
{
    static const TRichEditLibrary library = LoadRichEditLibrary();
    return library;
}

bool RunInformWindow(HWND owner, const std::string& caption, const std::string& buttonText, int charset,
                     int fontSize, const std::string& fontName, int width, int height,
                     const std::string& link, const std::string& text)
{
    g_inform = TInformState{};
    g_inform.Link = link;
    g_inform.Instance = GetModuleHandleA(nullptr);
    const TRichEditLibrary& rich = RichEdit();
    g_inform.ButtonFont = MakeFont(-PointsToPixels(fontSize), charset, fontName);
    g_inform.TextFont = MakeFont(kInformTextFontHeight, charset, InformTextFace(fontName));

    WNDCLASSA wc = {};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = InformProc;
    wc.hInstance = g_inform.Instance;
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kInformWindowClass;
    RegisterClassA(&wc);

    // The size from the description file fits the work area, and the window sits in its middle.
    RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const int w = ClampInformExtent(width, GetSystemMetrics(SM_CXMIN), work.right - work.left);
    const int h = ClampInformExtent(height, GetSystemMetrics(SM_CYMIN), work.bottom - work.top);
    int left = 0, top = 0;
    CenterInWorkArea(w, h, left, top);

    g_inform.Window = CreateWindowExA(WS_EX_DLGMODALFRAME, kInformWindowClass, caption.c_str(), kWindowStyle,
                                      left, top, w, h, owner, nullptr, g_inform.Instance, nullptr);
    const bool shown = g_inform.Window != nullptr;
    if (shown) {
        RECT client;
        GetClientRect(g_inform.Window, &client);
        const TInformLayout layout = InformLayout(client.right, client.bottom, !link.empty());
        g_inform.Text = CreateWindowExA(0, rich.WindowClass, "", kTextStyle, layout.Text.Left,
                                        layout.Text.Top, layout.Text.Width, layout.Text.Height,
                                        g_inform.Window, nullptr, g_inform.Instance, nullptr);
        if (g_inform.Text) {
            SendMessageA(g_inform.Text, WM_SETFONT, reinterpret_cast<WPARAM>(g_inform.TextFont), FALSE);
            SendMessageA(g_inform.Text, EM_SETBKGNDCOLOR, 0, GetSysColor(COLOR_WINDOW));
            // Announcements may be longer than the control's default limit.
            SendMessageA(g_inform.Text, EM_EXLIMITTEXT, 0, static_cast<LPARAM>(text.size() + 1024));
            SendMessageA(g_inform.Text, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        }
        if (!link.empty()) {
            g_inform.Button = CreateWindowExA(
                0, "Button", buttonText.c_str(), WS_CHILD | WS_VISIBLE, layout.Button.Left, layout.Button.Top,
                layout.Button.Width, layout.Button.Height, g_inform.Window,
                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtonId)), g_inform.Instance, nullptr);
            if (g_inform.Button) {
                SendMessageA(g_inform.Button, WM_SETFONT, reinterpret_cast<WPARAM>(g_inform.ButtonFont),
                             FALSE);
                // Activated first: focus given to a window that is not active is lost again.
                SetForegroundWindow(g_inform.Window);
                SetActiveWindow(g_inform.Window);
                SetFocus(g_inform.Button);
                SendMessageA(g_inform.Button, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
            }
        }

        MSG msg;
        while (!g_inform.Done) {
            const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
            if (got == 0 || got == -1) {
                // The quit request belongs to the loop that owns the thread.
                if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
                DestroyWindow(g_inform.Window);
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }

    UnregisterClassA(kInformWindowClass, g_inform.Instance);
    if (g_inform.ButtonFont) DeleteObject(g_inform.ButtonFont);
    if (g_inform.TextFont) DeleteObject(g_inform.TextFont);
    g_inform = TInformState{};
    return shown;
}

}  // namespace

bool ShowInformWindow(HWND owner, const std::string& caption, const std::string& buttonText, int charset,
                      int fontSize, const std::string& fontName, int width, int height,
                      const std::string& link, const std::string& text)
{
    const std::string trimmed = TrimBlanks(link);
    // Anything else (file:, a program path) never reaches the shell.
    const std::string openable = IsOpenableLink(trimmed) ? trimmed : "";
    if (text.empty()) {
        if (openable.empty()) return false;
        OpenLink(openable);
        return true;
    }
    if (g_inform.Window) return false;
    return RunInformWindow(owner, caption, buttonText, charset, fontSize, fontName, width, height, openable,
                           text);
}
