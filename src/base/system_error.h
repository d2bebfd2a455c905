// The system's message texts for failed calls.
#pragma once

#include <cstdint>
#include <string>

// The text for the last failed call of this thread (GetLastError on Windows,
// errno elsewhere); the last-error value itself is kept.
std::string LastErrorText();
// The code of that failure (GetLastError on Windows, errno elsewhere).
uint32_t LastErrorCode();
// The text for a given code; "" for 0, which names no failure.
std::string SystemErrorText(uint32_t code);
