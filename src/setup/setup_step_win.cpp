#include "setup/setup_step.h"

#include "stub/main_window.h"

void RunSetupStep(HWND mainWindow)
{
    // Once per process: the flow pumps messages and further ticks must not re-enter.
    KillTimer(mainWindow, MainTimerId);
    // Extraction and the setup program run here once the setup flow is built.
    PostQuitMessage(0);
}
