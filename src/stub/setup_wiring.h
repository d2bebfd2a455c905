// The setup flow's dependencies as the program has them: the system's entries
// and those for the main window and the agent's description files. Built once
// at start-up and handed to the setup step (and to the update cycle).
#pragma once

#ifdef _WIN32
#include "autoupdate/update_cycle.h"
#include "setup/setup_deps.h"

TSetupDeps ProgramSetupDeps();
// The update agent's: the setup entries, the main window and the package.
TAgentDeps ProgramAgentDeps();
#endif
