// UnscrambleToken over arbitrary text, and the scramble round trip.
#include "package/token.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string plain = UnscrambleToken(text);
    // Either part of the text or a number below 99,999.
    if (plain.size() > text.size() && plain.size() > 5) std::abort();

    uint32_t seed = 0;
    for (size_t i = 0; i < size && i < 4; ++i) seed = (seed << 8) | data[i];
    if (UnscrambleToken(ScrambleToken(text, seed)) != text) std::abort();
    return 0;
}
