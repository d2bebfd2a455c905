// Package tokens: the agent and web blocks carry a token in scrambled form so
// that it is not readable in the file. The scrambled text is printable ASCII.
#pragma once

#include <cstdint>
#include <string>

// The token hidden in `text`; a text that fails its checks gives the decimal
// text of a random number from 0 to 99,998, so that a broken token never
// equals a real one.
std::string UnscrambleToken(const std::string& text);

// The same, telling failure apart: false when the text fails its checks.
bool TryUnscrambleToken(const std::string& text, std::string& token);

// Whether two scrambled tokens hide the same token (exact, case-sensitive). A
// text that fails its checks never matches, not even itself.
bool ScrambledTokensMatch(const std::string& a, const std::string& b);

// Exact inverse of UnscrambleToken. The random padding and key come from a
// generator seeded with `seed`, so a build can be reproduced.
std::string ScrambleToken(const std::string& token, uint32_t seed);
// Same, seeded from the clock.
std::string ScrambleToken(const std::string& token);

// Re-seeds the generator behind the failure text of UnscrambleToken (it is
// seeded from the clock otherwise).
void SeedTokenRandom(uint32_t seed);
