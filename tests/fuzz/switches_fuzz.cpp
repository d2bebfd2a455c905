// The command line is outside input: switch readers, argument text and the
// text conversions of system information over arbitrary bytes.
#include "lang/sysinfo.h"
#include "base/switches.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    const bool flag = (data[0] & 1) != 0;
    std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const size_t cut = rest.size() / 3;
    const std::string name = rest.substr(0, cut);
    const std::string line = rest.substr(cut);

    const std::string args = GetArgsTextFrom(line, "C:\\Dir\\" + name);
    if (args.size() > line.size()) std::abort();
    const std::string value = GetSwitchStrFrom(line, name, "\x02");
    if (value != "\x02" && value.size() > line.size()) std::abort();
    if (value.find('"') != std::string::npos) std::abort();  // quotes never reach a value
    (void)GetSwitchIntFrom(line, name, -1);
    (void)HasSwitchFrom(line, name);

    (void)TextToInt(line, 16);
    (void)SplitRegistryPath(line);
    (void)FormatVersionText(line, data[0] % 8, data[0] % 6);
    const std::string plain = ScrambleText(line, false, flag);
    (void)plain;
    // Scrambling round-trips every text.
    if (!line.empty() && line.compare(0, 12, "Scrambled=01") != 0) {
        if (ScrambleText(ScrambleText(line, true, false), false, false) != line) std::abort();
    }
    return 0;
}
