// Texts that come from outside: a downloaded INFORM file, a transient settings switch
// value, the task list's CSV output.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "autoupdate/agent_settings.h"
#include "process/process_viewer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    std::string token, rest;
    SplitTokenLine(text, token, rest);
    if (rest.size() > text.size()) std::abort();

    ResetTransientSlots();
    ParseTransientSettings(text);
    const std::string slots = TransientSettingsText();
    ResetTransientSlots();
    ParseTransientSettings(slots);
    if (TransientSettingsText() != slots) std::abort();

    FindIdInTaskListCsv(text, "a.exe");
    return 0;
}
