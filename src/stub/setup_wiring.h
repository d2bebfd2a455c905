// Fills the setup flow's entries for the main window and the agent's
// description files; called once at start-up, before the main window runs.
#pragma once

#ifdef _WIN32
void InstallSetupWiring();
#endif
