// The main window: hidden top-level window with the one-second timer whose
// message loop carries the process (setup flow or update agent).
#pragma once

constexpr unsigned MainTimerId = 1;
constexpr unsigned MainTimerPeriodMs = 1000;

// Creates the main window of class MainWindowClass and runs the message loop
// until it ends (the program's WinMain of the main window).
void StubWinMain();
