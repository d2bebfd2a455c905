// What a server sends back: the error-page test and its message over any
// body, and the transfer texts over any announced length and byte counts.
#include "net/error_page.h"
#include "net/transfer_rate.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string body(reinterpret_cast<const char*>(data), size);
    // No file of this name exists, so the body itself is examined.
    const std::string noFile = "/nonexistent/vel_net_texts_fuzz";
    const bool page = IsErrorPage(noFile, body);
    // Only the first bytes count.
    if (size > kErrorPageWindow && IsErrorPage(noFile, body.substr(0, kErrorPageWindow)) != page)
        std::abort();
    const std::string message = ErrorPageMessage(noFile, body, "http://h/" + body.substr(0, 64), "default");
    if (!page && message != "default") std::abort();

    if (size < 16) return 0;
    uint64_t total = 0, done = 0;
    std::memcpy(&total, data, 8);
    std::memcpy(&done, data + 8, 8);
    if (FormatScaledAmount(total, data[0] % 2 ? kKiloByte : kMegaByte).empty()) std::abort();

    // A clock that jumps by the input's bytes, wrapping as a tick counter does.
    uint32_t now = 0;
    size_t at = 16;
    auto ticks = [&] {
        if (at < size) now += static_cast<uint32_t>(data[at++]) * 97u;
        return now;
    };
    TBytesRate meter = RateMeterFor(total, ticks);
    for (size_t i = 16; i + 4 <= size; i += 4) {
        uint32_t chunk = 0;
        std::memcpy(&chunk, data + i, 4);
        if (meter.FormatProgress(total, done, chunk).empty()) std::abort();
        done += chunk;
    }
    return 0;
}
