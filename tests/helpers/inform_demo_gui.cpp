// Shows one sample inform window for screenshots:
//   inform_demo_gui link|text RECT_FILE
// Writes "width height left top" of the window into RECT_FILE once it is up;
// the window closes itself after a few seconds.
#include <windows.h>

#include <cstdio>
#include <string>

#include "helpers/window_rect_report.h"

#include "ui/inform_window.h"

namespace {

void CALLBACK CloseWindow(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    if (HWND window = FindWindowA(kInformWindowClass, nullptr)) PostMessageA(window, WM_CLOSE, 0, 0);
}

const char* const kAnnouncement = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Verdana;}}"
                                  "\\f0\\fs20{\\b\\fs24 Velmora Notes 2.4 is available}\\par\\par "
                                  "This version brings:\\par"
                                  "\\bullet  faster start-up on large projects\\par"
                                  "\\bullet  printing of long tables on several pages\\par"
                                  "\\bullet  fixes for the export to older formats\\par\\par "
                                  "Your settings and documents are kept when you update.\\par}";

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    if (__argc < 3) return 2;
    const std::string kind = __argv[1];
    ReportWindowRectWhenShown(kInformWindowClass, __argv[2]);
    SetTimer(nullptr, 0, 6000, CloseWindow);
    const std::string link = kind == "link" ? "https://example.com/velmora/download" : "";
    return ShowInformWindow(nullptr, "New Version", "Download", 0, 8, "Tahoma", 420, 320, link, kAnnouncement)
               ? 0
               : 1;
}
