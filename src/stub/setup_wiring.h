// The setup flow's dependencies as the program has them: the system's entries
// and those for the main window and the agent's description files. Built once
// at start-up and handed to the setup step (and to the update cycle).
#pragma once

#ifdef _WIN32
#include "setup/setup_deps.h"

TSetupDeps ProgramSetupDeps();
#endif
