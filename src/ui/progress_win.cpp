#include <windows.h>
#include <commctrl.h>

#include "ui/progress.h"

void ApplyBarAction(HWND bar, const TBarAction& a)
{
    if (!bar) return;
    switch (a.op) {
    case TBarOp::SetRange: {
        const TRangeMessage m = ProgressRangeMessage(a.value);
        SendMessageA(bar, m.message, m.wparam, m.lparam);
        break;
    }
    case TBarOp::SetPos:
        SendMessageA(bar, PBM_SETPOS, a.value, 0);
        break;
    case TBarOp::SetStep:
        SendMessageA(bar, PBM_SETSTEP, a.value, 0);
        break;
    case TBarOp::StepIt:
        SendMessageA(bar, PBM_STEPIT, 0, 0);
        break;
    }
}
