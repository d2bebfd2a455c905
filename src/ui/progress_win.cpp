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
    case TBarOp::DeltaPos:
        SendMessageA(bar, PBM_DELTAPOS, a.Value, 0);
        break;
    }
}
