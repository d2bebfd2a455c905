#include <windows.h>
#include <commctrl.h>

#include "ui/progress.h"

void ApplyBarAction(HWND bar, const TBarAction& a)
{
    if (!bar) return;
    switch (a.Op) {
    case TBarOp::SetRange: {
        const TRangeMessage m = ProgressRangeMessage(a.Value);
        SendMessageA(bar, m.Message, m.Wparam, m.Lparam);
        break;
    }
    case TBarOp::SetPos:
        SendMessageA(bar, PBM_SETPOS, a.Value, 0);
        break;
    case TBarOp::SetStep:
        SendMessageA(bar, PBM_SETSTEP, a.Value, 0);
        break;
    case TBarOp::StepIt:
        SendMessageA(bar, PBM_STEPIT, 0, 0);
        break;
    }
}

void HoldBarPainting(HWND bar, bool hold)
{
    if (!bar) return;
    SendMessageA(bar, WM_SETREDRAW, hold ? FALSE : TRUE, 0);
    if (!hold) RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}
