#include <windows.h>

#include "package/unpack.h"
#include "net/http_client.h"
#include "net/sha256.h"
#include "setup/setup_deps.h"
#include "setup/setup_flow.h"
#include "base/switches.h"
#include "ui/msgbox.h"
#include "ui/progress.h"
#include "base/pump.h"

namespace {

// The extraction's progress: every event reaches the standard sink, but the
// bars take a quick run of steps (one per small file) as a batch, so they
// change and repaint at most every kStepBatchMs instead of once per file,
// which cost more than the inflating itself. The engine pumps messages
// between its reads, so the progress object does not pump as well.
TProgBar* g_unpackBar = nullptr;
constexpr int64_t kUnPackPumpMs = 10;

void UnPackProgress(int kind, int, int maximum, int position, int, const std::string& text)
{
    if (kind == kProgressStart)
        g_unpackBar->Start(position, maximum);
    else if (kind == kProgressStep)
        g_unpackBar->Step(text);
}

// The extraction with the main window's progress display.
TUnPackResult RealUnPack(const TUnPackRequest& r)
{
    TProgBar bar(StandardProgressSink);
    g_unpackBar = &bar;
    const TProgressPump pump = SetProgressPump(nullptr);
    TUnPackHost host = DefaultUnPackHost();
    // Between reads the engine is busy anyway: dispatch what is pending,
    // without giving the processor away as well, once kUnPackPumpMs have
    // passed. A round trip to the window system per small file cost more
    // than inflating it; messages wait a few milliseconds at most.
    host.PumpMessages = [] {
        static int64_t last = 0;
        const int64_t now = MilliSecondsNow();
        if (now - last < kUnPackPumpMs) return;
        DispatchPendingMessages();
        last = MilliSecondsNow();
    };
    // The last steps show before the engine's closing wait.
    host.WaitPumping = [](int ms) {
        g_unpackBar->Flush();
        WaitPumping(ms);
    };

    TUnPackParams p;
    p.PackageFile = r.PackageFile;
    p.TargetDir = r.TargetDir;
    p.AgentName = r.AgentName;
    p.Progress = UnPackProgress;
    p.DiskPrompt = r.DiskPrompt;
    p.PromptCaption = r.PromptCaption;
    p.ButtonTexts = r.ButtonTexts;
    p.Charset = r.Charset;
    p.ForcePrompt = r.ForcePrompt;
    TUnPackResult result;
    UnPack(p, result.Success, result.MainEntry, host);
    result.FailedWrites = UnPackFailedWrites();
    result.WriteError = UnPackWriteError();
    bar.Flush();
    SetProgressPump(pump);
    g_unpackBar = nullptr;
    return result;
}

HANDLE AsHandle(TProcessRef process)
{
    return reinterpret_cast<HANDLE>(process);
}

}  // namespace

TSetupDeps DefaultSetupDeps()
{
    TSetupDeps d;
    d.WaitPumping = [](uint32_t ms) { WaitPumping(static_cast<int>(ms)); };
    d.Unpack = RealUnPack;
    d.Confirm = [](intptr_t owner, const std::string& text, const std::string& caption, int timeout,
                   int charset, const std::string& buttons) {
        return MsgConfirm(owner, text, caption, timeout, charset, buttons);
    };
    d.Error = [](intptr_t owner, const std::string& text, const std::string& caption, int charset,
                 const std::string& buttons) { MsgError(owner, text, caption, charset, buttons); };
    d.SwitchStr = GetSwitchStr;
    d.HasSwitch = HasSwitch;
    d.ArgsText = GetArgsText;
    d.StartProcess = [](const std::string& command_line, int show_command) {
        HANDLE process = StartProgram(command_line, show_command);
        return TProcessStart{reinterpret_cast<TProcessRef>(process),
                             process ? 0u : static_cast<uint32_t>(GetLastError())};
    };
    d.WaitProcess = [](TProcessRef process) { WaitForProcessEnd(AsHandle(process)); };
    d.ExitCode = [](TProcessRef process, uint32_t& code) {
        DWORD c = 0;
        if (!GetExitCodeProcess(AsHandle(process), &c)) return false;
        code = c;
        return true;
    };
    d.CloseProcess = [](TProcessRef process) { CloseHandle(AsHandle(process)); };
    d.AddCompletionAtom = [](const std::string& name) {
        return static_cast<uint16_t>(GlobalAddAtomA(name.c_str()));
    };
    d.InternetConnected = [](std::string& reason) { return IsInternetConnected(reason); };
    d.DownloadFile = [](intptr_t owner, const std::string& url, const std::string& target,
                        std::string& error) {
        std::string unused;
        return HTTP_DownloadFile_Incremental(reinterpret_cast<HWND>(owner), url, target, unused, &ProgBar(),
                                             error);
    };
    d.HashFile = Sha256OfFile;
    return d;
}
