// Shows one sample message box for screenshots:
//   msgbox_demo_gui error|yesno RECT_FILE
// Writes "width height left top" of the box into RECT_FILE once it is up; the
// box answers itself after a few seconds.
#include <windows.h>

#include <cstdio>
#include <string>

#include "helpers/window_rect_report.h"

#include "ui/msgbox.h"
#include "ui/msgbox_win.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    if (__argc < 3) return 2;
    const std::string kind = __argv[1];
    ReportWindowRectWhenShown(kMsgBoxClass, __argv[2]);
    if (kind == "error") {
        ShowMsgBox(0,
                   "The setup files could not be unpacked to the temporary folder.<P>"
                   "Please free some space on drive <b>C:</b> and try again.",
                   "Error", 6000, 0x10, 1, kDefaultButtonTexts);
    } else {
        ShowMsgBox(1,
                   "<b>A new version is available.</b><P><P>Version 2.4 fixes the printing "
                   "problems.<P>Do you want to download and install it now?",
                   "Confirm", 6000, 0x24, 1, kDefaultButtonTexts);
    }
    return 0;
}
