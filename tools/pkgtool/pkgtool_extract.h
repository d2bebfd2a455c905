// pkgtool extract PACKAGE DIR [--verbose]
#pragma once

#include <ostream>
#include <string>
#include <vector>

// Extracts a package (all its span volumes) into DIR with the launcher's own
// engine. No prompts: a missing volume is an error. Returns the exit code.
int RunExtractCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
