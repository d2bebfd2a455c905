// The pkgtool command line, callable in-process.
#pragma once

#include <ostream>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Runs one pkgtool command (arguments without the program name). Returns the
// exit code: 0 success, 1 error (one line on `err`), 2 inspect found problems.
// errIsTerminal: `err` is a terminal, where build shows its progress.
int PkgToolMain(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                bool errIsTerminal = false);

// The value of SOURCE_DATE_EPOCH (null or empty: not set). False with an
// error when it is not a whole number of seconds.
bool ParseSourceDateEpoch(const char* text, std::optional<int64_t>& epoch, std::string& error);
