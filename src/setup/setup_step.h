// The timer step of setup mode.
#pragma once

#include <windows.h>

// Runs the setup flow once, inside the first timer tick of the main window,
// and ends the message loop.
void RunSetupStep(HWND mainWindow);
