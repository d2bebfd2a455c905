// Test-mode settings of the update agent (registry values "TestMode",
// "TestModeDate", "TestModeURL").
#pragma once

// Reads the test-mode settings once, at the start of the X_ agent.
void CheckTestMode();
