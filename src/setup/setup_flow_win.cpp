// Timer step of setup mode. Extraction and the setup program's run attach
// here (ExtractAndRunSetup); until then the step ends the run.
#include "setup/setup_flow.h"

#include "stub/main_window.h"

void RunSetupStep(HWND main_window)
{
    // Once per process: the flow pumps messages and further ticks must not re-enter.
    KillTimer(main_window, kMainTimerId);
    PostQuitMessage(0);
}
