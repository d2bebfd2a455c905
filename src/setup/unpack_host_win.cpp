// The extraction engine's host on Windows.
#include "package/unpack.h"

#include "package/files.h"
#include "ui/msgbox.h"
#include "base/pump.h"
#include "ui/window_services.h"

#include <windows.h>

namespace {

// The disk prompt is a plain box: the prompt text carries its own emphasis.
constexpr intptr_t kDiskPromptOwner = 1;
// Errors repeat their caption in bold above the text, as every error of
// the setup run does.
constexpr intptr_t kErrorOwner = 0;

}  // namespace

TUnPackHost DefaultUnPackHost()
{
    TUnPackHost host;
    host.PumpMessages = [] { FilesPump(); };
    host.WaitPumping = [](int ms) { WaitPumping(ms); };
    host.ConfirmOkCancel = [](const std::string& text, const std::string& caption, int charset,
                              const std::string& buttonTexts) {
        return MsgConfirmOkCancel(kDiskPromptOwner, text, caption, charset, buttonTexts);
    };
    host.ShowError = [](const std::string& text) { MsgError(kErrorOwner, text); };
    host.EjectCD = [](const std::string& path) { return EjectCD(path); };
    host.SetAutoPlayCancel = [] { SetAutoPlayCancel(true); };
    host.ProcessId = [] { return static_cast<unsigned long>(GetCurrentProcessId()); };
    return host;
}
