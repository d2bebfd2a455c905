// The extraction engine's host on Windows.
#include "package/unpack.h"

#include "package/files.h"
#include "ui/pump.h"
#include "ui/window_services.h"

#include <windows.h>

TUnPackHost DefaultUnPackHost()
{
    TUnPackHost host;
    host.PumpMessages = [] { FilesPump(); };
    host.WaitPumping = [](int ms) { WaitPumping(ms); };
    // The plain system box until the markup box is wired in.
    host.ConfirmOkCancel = [](const std::string& text, const std::string& caption, int,
                              const std::string&) {
        return MessageBoxA(nullptr, text.c_str(), caption.c_str(),
                           MB_OKCANCEL | MB_ICONQUESTION | MB_TOPMOST) == IDOK;
    };
    host.ShowError = [](const std::string& text) {
        MessageBoxA(nullptr, text.c_str(), "Error", MB_OK | MB_ICONHAND | MB_TOPMOST);
    };
    host.EjectCD = [](const std::string& path) { return EjectCD(path); };
    host.SetAutoPlayCancel = [] { SetAutoPlayCancel(true); };
    host.ProcessId = [] { return static_cast<unsigned long>(GetCurrentProcessId()); };
    return host;
}
