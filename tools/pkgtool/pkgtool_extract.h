// pkgtool extract PACKAGE DIR [--verbose] [--time] [--no-size-limit]
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// The promised byte total plus 10%.
uint64_t ExtractSizeLimit(uint64_t promised);

// Extracts a package (all its span volumes) into DIR with the launcher's own
// engine. No prompts: a missing volume is an error. It writes at most
// ExtractSizeLimit of the byte total in the space table of the first volume;
// a package that unpacks to more is stopped (an error), the files written
// before stay, the one being written is removed. --no-size-limit lifts the
// limit. Returns the exit code.
int RunExtractCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
