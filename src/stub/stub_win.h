// Start-up of the launcher: the entry sequence and the mode dispatch.
#pragma once

// Gives the folder code of the language layer its not-found message box.
void InstallFolderMessages();

// Chooses and runs this process's mode (plain agent, X_ agent, span-CD
// relaunch, main window) after the single-instance test. Called once.
void DoRunStubWin();

// The whole entry sequence: banners, main reader, dispatch, end banners.
// Returns the process exit code.
int StubMain();
