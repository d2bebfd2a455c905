#include "ui/msgbox_win.h"

#include <richedit.h>

#include <algorithm>
#include <vector>

#include "base/safe_library.h"
#include "ui/msgbox.h"
#include "base/pump.h"
#include "ui/window_services.h"

namespace {

constexpr UINT_PTR kTimeoutTimer = 1;
constexpr COLORREF kBandColour = RGB(0, 78, 152);
constexpr int kMinVisibleTextHeight = 39;

// One box at a time: the state of the box on the screen.
struct TBoxState {
    HFONT Font = nullptr;
    HINSTANCE Instance = nullptr;
    HWND Box = nullptr;
    HWND Text = nullptr;
    HWND buttons[3] = {};
    int Result = 0;
    int TimeoutMs = 0;
    int RequestedWidth = 0;
    int RequestedHeight = 0;
    HWND PreviousActive = nullptr;
    bool Done = false;
    uint32_t Flags = 0;
};

TBoxState g_box;
HMODULE g_kept_rich_edit = nullptr;  // loaded by the first box, kept until exit

int ButtonValue(HWND button)
{
    return static_cast<int>(GetWindowLongPtrA(button, GWLP_USERDATA));
}

void Paint(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    const int cw = client.right, ch = client.bottom;
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));

    HPEN dark = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DDKSHADOW));
    HPEN white = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
    HGDIOBJ old_pen = SelectObject(dc, dark);
    MoveToEx(dc, 0, ch - 37, nullptr);
    LineTo(dc, cw, ch - 37);
    SelectObject(dc, white);
    MoveToEx(dc, 0, ch - 36, nullptr);
    LineTo(dc, cw, ch - 36);
    SelectObject(dc, old_pen);
    DeleteObject(dark);
    DeleteObject(white);

    RECT bar = {0, ch - 35, cw, ch};
    FillRect(dc, &bar, GetSysColorBrush(COLOR_BTNFACE));
    RECT band = {0, 0, kBandWidth, ch - 37};
    HBRUSH band_brush = CreateSolidBrush(kBandColour);
    FillRect(dc, &band, band_brush);
    DeleteObject(band_brush);

    const int icon_id = MsgBoxIconId(g_box.Flags);
    HICON icon =
        icon_id ? LoadIconA(nullptr, MAKEINTRESOURCEA(icon_id)) : LoadIconA(g_box.Instance, "MainIcon");
    if (icon) DrawIcon(dc, 11, 20, icon);
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK BoxProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    const UINT autoplay = AutoPlayCancelMessage();
    if (autoplay != 0 && message == autoplay) return 1;
    switch (message) {
    case WM_CREATE:
        if (g_box.TimeoutMs > 0) SetTimer(hwnd, kTimeoutTimer, g_box.TimeoutMs, nullptr);
        break;
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lparam);
        if (header && header->code == EN_REQUESTRESIZE) {
            const auto* request = reinterpret_cast<const REQRESIZE*>(lparam);
            g_box.RequestedWidth = request->rc.right - request->rc.left;
            g_box.RequestedHeight = request->rc.bottom - request->rc.top;
        }
        break;
    }
    case WM_COMMAND: {
        const HWND from = reinterpret_cast<HWND>(lparam);
        if (from && HIWORD(wparam) == BN_CLICKED)
            for (HWND button : g_box.buttons)
                if (button == from) {
                    g_box.Result = ButtonValue(button);
                    PostMessageA(hwnd, WM_CLOSE, 0, 0);
                }
        break;
    }
    case WM_TIMER:
        if (wparam == kTimeoutTimer) {
            KillTimer(hwnd, kTimeoutTimer);  // one answer only
            g_box.Result = g_box.buttons[0] ? ButtonValue(g_box.buttons[0]) : 0;
            PostMessageA(hwnd, WM_CLOSE, 0, 0);
        }
        break;
    case WM_CLOSE:
        if (g_box.PreviousActive) {
            EnableWindow(g_box.PreviousActive, TRUE);
            SetActiveWindow(g_box.PreviousActive);
            SetFocus(g_box.PreviousActive);
        }
        if (g_box.TimeoutMs > 0) KillTimer(hwnd, kTimeoutTimer);
        break;
    case WM_DESTROY:
        g_box.Done = true;
        return 1;
    }
    return DefWindowProcA(hwnd, message, wparam, lparam);
}

// The keyboard rules; true when the message is consumed.
bool FilterKey(const MSG& msg)
{
    if (msg.message != WM_SYSCHAR && msg.message != WM_KEYDOWN) return false;
    std::vector<std::string> texts;
    std::vector<HWND> buttons;
    int focused = -1;
    const HWND focus = GetFocus();
    for (HWND button : g_box.buttons) {
        if (!button) continue;
        if (button == focus) focused = static_cast<int>(buttons.size());
        char buf[256] = {};
        GetWindowTextA(button, buf, sizeof buf);
        texts.push_back(buf);
        buttons.push_back(button);
    }
    const TMsgBoxKeyAction action =
        MsgBoxKeyAction(msg.message == WM_SYSCHAR ? TMsgBoxKeyKind::kSysChar : TMsgBoxKeyKind::kKeyDown,
                        static_cast<unsigned>(msg.wParam), focused, texts);
    if (action.FocusSlot >= 0) SetFocus(buttons[action.FocusSlot]);
    if (action.Close) PostMessageA(g_box.Box, WM_CLOSE, 0, 0);
    if (action.ChooseSlot < 0) return false;
    g_box.Result = ButtonValue(buttons[action.ChooseSlot]);
    PostMessageA(g_box.Box, WM_CLOSE, 0, 0);
    return true;
}

// Character offsets of the plain text as the control counts them.
LONG ControlOffset(const std::string& text, size_t offset, bool crlf_counts_two)
{
    if (crlf_counts_two) return static_cast<LONG>(offset);
    size_t breaks = 0;
    for (size_t pos = text.find("\r\n"); pos != std::string::npos && pos + 1 < offset;
         pos = text.find("\r\n", pos + 2))
        ++breaks;
    return static_cast<LONG>(offset - breaks);
}

void SizeWindow(HWND hwnd, int width, int height)
{
    SetWindowPos(hwnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void WindowSize(HWND hwnd, int& width, int& height)
{
    RECT r;
    GetWindowRect(hwnd, &r);
    width = r.right - r.left;
    height = r.bottom - r.top;
}

// Fills the text control and sizes it to the measured text; returns its size.
void FillTextControl(const std::string& text, const std::string& face, bool crlf_counts_two, int& rw, int& rh)
{
    const TMarkupText markup = LimitMarkupText(ApplyMessageMarkup(text));
    HWND control = g_box.Text;
    // Lay the text out at the widest width first: narrow layouts of long words are slow.
    SizeWindow(control, kMaxBlockWidth + 10, 13);
    SendMessageA(control, EM_EXLIMITTEXT, 0, static_cast<LPARAM>(markup.Text.size() + 1024));
    SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(markup.Text.c_str()));
    for (const TBoldRange& range : markup.Bold) {
        CHARRANGE sel = {ControlOffset(markup.Text, range.Start, crlf_counts_two),
                         ControlOffset(markup.Text, range.End, crlf_counts_two)};
        SendMessageA(control, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&sel));
        CHARFORMATA format = {};
        format.cbSize = sizeof format;
        format.dwMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT;
        format.dwEffects = CFE_BOLD;
        SendMessageA(control, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    }
    CHARRANGE none = {0, 0};
    SendMessageA(control, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&none));

    const TTextBlock block = MeasureTextBlock(control, g_box.Font, face, markup.Text);
    SizeWindow(control, block.Width + 10, block.Height);
    if (!markup.Bold.empty()) {
        WidenForBold(block, [&](int width, int& requested_width, int& requested_height) {
            SizeWindow(control, width, block.Height);
            g_box.RequestedWidth = g_box.RequestedHeight = 0;
            SendMessageA(control, EM_REQUESTRESIZE, 0, 0);
            requested_width = g_box.RequestedWidth;
            requested_height = g_box.RequestedHeight;
        });
    }
    WindowSize(control, rw, rh);
}

void CreateButtons(const std::vector<TMsgBoxButton>& defs, int cw, int ch)
{
    const int count = static_cast<int>(defs.size());
    for (int slot = count - 1; slot >= 0; --slot) {
        const TMsgBoxRect r = MsgBoxButtonRect(cw, ch, slot, count);
        HWND button = CreateWindowExA(
            0, "Button", defs[slot].Text.c_str(), WS_CHILD | WS_VISIBLE, r.Left, r.Top, r.Width, r.Height,
            g_box.Box, reinterpret_cast<HMENU>(static_cast<INT_PTR>(1000 + slot)), g_box.Instance, nullptr);
        if (!button) continue;
        SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(g_box.Font), FALSE);
        SetWindowLongPtrA(button, GWLP_USERDATA, defs[slot].Result);
        g_box.buttons[slot] = button;
    }
    const int def = MsgBoxDefaultButton(g_box.Flags, count);
    if (def < 0 || !g_box.buttons[def]) return;
    SetForegroundWindow(g_box.Box);
    SetFocus(g_box.buttons[def]);
    for (HWND button : g_box.buttons)
        if (button) SendMessageA(button, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    SendMessageA(g_box.buttons[def], BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

}  // namespace

TRichEditLibrary LoadRichEditLibrary()
{
    TRichEditLibrary lib;
    lib.Module = static_cast<HMODULE>(LoadSystemLibrary("RICHED32.DLL"));
    if (lib.Module) return lib;
    lib.Module = static_cast<HMODULE>(LoadSystemLibrary("riched20.dll"));
    if (lib.Module) {
        lib.WindowClass = "RichEdit20A";
        lib.CrlfCountsTwo = false;
    }
    return lib;
}

TTextBlock MeasureTextBlock(HWND control, HFONT font, const std::string& face, const std::string& text)
{
    HDC dc = GetDC(control);
    if (!dc) return {};
    HGDIOBJ old_font = SelectObject(dc, font);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    const int line_height = MsgBoxLineHeight(metrics.tmHeight, metrics.tmExternalLeading, face);
    const TTextBlock block = MeasureTextBlockWith(text, line_height, [dc](const std::string& line) {
        SIZE size = {};
        GetTextExtentPoint32A(dc, line.data(), static_cast<int>(line.size()), &size);
        return static_cast<int>(size.cx);
    });
    SelectObject(dc, old_font);
    ReleaseDC(control, dc);
    return block;
}

int RunMsgBoxWindow(HWND owner, const std::string& text, const std::string& caption, int timeout_ms,
                    uint32_t flags, const std::string& button_texts)
{
    if (g_box.Box) return 0;
    const HWND previous_active = g_box.PreviousActive;
    g_box = TBoxState{};
    g_box.PreviousActive = previous_active;
    g_box.TimeoutMs = timeout_ms;
    g_box.Flags = flags;

    const TMsgBoxFont font = MsgBoxFont();
    g_box.Font = CreateFontA(-PointsToPixels(font.PointSize), 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE,
                             static_cast<BYTE>(font.Charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, FF_SWISS, font.Face.c_str());
    g_box.Instance = GetModuleHandleA(nullptr);
    const TRichEditLibrary rich = LoadRichEditLibrary();

    WNDCLASSA wc = {};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = BoxProc;
    wc.hInstance = g_box.Instance;
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kMsgBoxClass;
    RegisterClassA(&wc);

    g_box.Box = CreateWindowExA(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, kMsgBoxClass, caption.c_str(),
                                WS_VISIBLE | WS_CAPTION | WS_SYSMENU, -100, -100, 10, 10, owner, nullptr,
                                g_box.Instance, nullptr);
    if (g_box.Box) {
        if (g_box.Flags & MBX_NOCLOSE) {
            g_box.Flags &= ~MBX_NOCLOSE;
            EnableMenuItem(GetSystemMenu(g_box.Box, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
        }
        const DWORD style = WS_CHILD | WS_VISIBLE | ES_WANTRETURN | ES_READONLY | ES_MULTILINE |
                            ((g_box.Flags & kMsgBoxRightAlign) ? ES_RIGHT : 0);
        const DWORD ex_style = (g_box.Flags & kMsgBoxRtlReading) ? WS_EX_RTLREADING : 0;
        g_box.Text = CreateWindowExA(ex_style, rich.WindowClass, "", style, 86, 30, 100, 13, g_box.Box,
                                     nullptr, g_box.Instance, nullptr);
        int rw = 100, rh = 13;
        if (g_box.Text) {
            SendMessageA(g_box.Text, EM_SETEVENTMASK, 0, ENM_REQUESTRESIZE);
            SendMessageA(g_box.Text, WM_SETFONT, reinterpret_cast<WPARAM>(g_box.Font), FALSE);
            SendMessageA(g_box.Text, EM_SETBKGNDCOLOR, 0, GetSysColor(COLOR_WINDOW));
            FillTextControl(text, font.Face, rich.CrlfCountsTwo, rw, rh);
        }

        const TFrameMetrics metrics{GetSystemMetrics(SM_CXFRAME), GetSystemMetrics(SM_CYFRAME),
                                    GetSystemMetrics(SM_CYCAPTION)};
        RECT work_rect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work_rect, 0);
        const TMsgBoxRect work{work_rect.left, work_rect.top, work_rect.right - work_rect.left,
                               work_rect.bottom - work_rect.top};
        TMsgBoxRect outer = MsgBoxOuterRect(rw, rh, metrics, work);
        if (outer.Height > work.Height && g_box.Text) {
            // Too tall for the screen: keep the buttons visible and let the text scroll.
            rh = std::max(kMinVisibleTextHeight, rh - (outer.Height - work.Height));
            SetWindowLongPtrA(g_box.Text, GWL_STYLE, GetWindowLongPtrA(g_box.Text, GWL_STYLE) | WS_VSCROLL);
            SetWindowPos(g_box.Text, nullptr, 0, 0, rw, rh,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOACTIVATE);
            outer = MsgBoxOuterRect(rw, rh, metrics, work);
        }
        MoveWindow(g_box.Box, outer.Left, outer.Top, outer.Width, outer.Height, TRUE);
        ShowWindow(g_box.Box, SW_SHOW);

        RECT client;
        GetClientRect(g_box.Box, &client);
        if (g_box.Text) {
            const TMsgBoxRect r = MsgBoxControlRect(client.right, client.bottom, rw, rh);
            MoveWindow(g_box.Text, r.Left, r.Top, r.Width, r.Height, TRUE);
            ShowWindow(g_box.Text, SW_SHOW);
        }
        CreateButtons(MsgBoxButtons(g_box.Flags, button_texts), client.right, client.bottom);

        MSG msg;
        while (!g_box.Done) {
            const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
            if (got == 0 || got == -1) {
                // Leave the quit request to the loop that owns the thread.
                if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
                DestroyWindow(g_box.Box);
                break;
            }
            if (FilterKey(msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }

    if (g_box.PreviousActive && !IsWindowEnabled(g_box.PreviousActive))
        EnableWindow(g_box.PreviousActive, TRUE);
    UnregisterClassA(kMsgBoxClass, g_box.Instance);
    if (g_box.Font) DeleteObject(g_box.Font);
    if (rich.Module) FreeLibrary(rich.Module);
    const int result = g_box.Result;
    g_box = TBoxState{};
    return result;
}

int PresentMsgBox(const TMsgBoxRequest& request)
{
    const bool active_owner = request.OwnerCode >= 0 && request.OwnerCode <= 2;
    HWND owner = active_owner ? GetActiveWindow() : reinterpret_cast<HWND>(request.OwnerCode);
    if (!g_kept_rich_edit) g_kept_rich_edit = LoadRichEditLibrary().Module;
    if (g_box.Box) return 0;  // one box at a time
    g_box.PreviousActive = GetActiveWindow();
    if (g_box.PreviousActive) EnableWindow(g_box.PreviousActive, FALSE);
    const int result = RunMsgBoxWindow(owner, request.Text, request.Caption, request.TimeoutMs, request.Flags,
                                       request.ButtonTexts);
    WaitPumping(100);
    return result;
}
