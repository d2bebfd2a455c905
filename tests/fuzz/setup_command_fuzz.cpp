// The setup program's command line from hostile launcher arguments and record
// entries: no crash, span switches never passed on, /TH_ID= always present.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "setup/setup_flow.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t cut = input.find('\n');
    TSetupCommand c;
    c.TempFolder = "C:\\T\\SETUP_1";
    c.MainEntry = input.substr(0, cut);
    c.ExtraParameters = cut == std::string::npos ? "" : input.substr(cut + 1);
    c.ThreadTag = "_7";
    c.LauncherPath = "C:\\a b\\setup.exe";
    const std::string line = BuildSetupCommandLine(c);
    if (line.find("/TH_ID=_7") == std::string::npos) std::abort();

    const std::string removed = RemoveSwitch(input, "/SpanCdLvl=");
    if (removed.size() > input.size()) std::abort();
    if (input.find("/SpanCdLvl=") != std::string::npos && removed.size() == input.size()) std::abort();

    double bytes = 0;
    for (size_t i = 0; i < size && i < 8; ++i) bytes = bytes * 256 + data[i];
    if (FormatMegabytes(size % 2 ? -bytes : bytes).empty()) std::abort();
    return 0;
}
