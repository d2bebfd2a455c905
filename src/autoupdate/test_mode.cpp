#include "autoupdate/test_mode.h"

// The update decision reads the settings; until it exists there is nothing to read.
void CheckTestMode() {}
