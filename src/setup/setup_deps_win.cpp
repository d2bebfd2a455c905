#include <windows.h>

#include "package/unpack.h"
#include "setup/setup_deps.h"
#include "setup/setup_flow.h"
#include "base/switches.h"
#include "ui/msgbox.h"
#include "ui/progress.h"
#include "base/pump.h"

namespace {

// The extraction with the main window's progress display.
TUnPackResult RealUnPack(const TUnPackRequest& r)
{
    TUnPackParams p;
    p.PackageFile = r.package_file;
    p.TargetDir = r.target_dir;
    p.AgentName = r.agent_name;
    p.Progress = StandardProgressSink;
    p.DiskPrompt = r.disk_prompt;
    p.PromptCaption = r.prompt_caption;
    p.ButtonTexts = r.button_texts;
    p.Charset = r.charset;
    p.ForcePrompt = r.force_prompt;
    TUnPackResult result;
    UnPack(p, result.success, result.main_entry);
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
    d.wait_pumping = [](uint32_t ms) { WaitPumping(static_cast<int>(ms)); };
    d.unpack = RealUnPack;
    d.confirm = [](intptr_t owner, const std::string& text, const std::string& caption, int timeout,
                   int charset, const std::string& buttons) {
        return MsgConfirm(owner, text, caption, timeout, charset, buttons);
    };
    d.error = [](intptr_t owner, const std::string& text, const std::string& caption, int charset,
                 const std::string& buttons) { MsgError(owner, text, caption, charset, buttons); };
    d.switch_str = GetSwitchStr;
    d.has_switch = HasSwitch;
    d.args_text = GetArgsText;
    d.start_process = [](const std::string& command_line, int show_command) {
        HANDLE process = StartProgram(command_line, show_command);
        return TProcessStart{reinterpret_cast<TProcessRef>(process),
                             process ? 0u : static_cast<uint32_t>(GetLastError())};
    };
    d.wait_process = [](TProcessRef process) { WaitForProcessEnd(AsHandle(process)); };
    d.exit_code = [](TProcessRef process, uint32_t& code) {
        DWORD c = 0;
        if (!GetExitCodeProcess(AsHandle(process), &c)) return false;
        code = c;
        return true;
    };
    d.close_process = [](TProcessRef process) { CloseHandle(AsHandle(process)); };
    d.add_atom = [](const std::string& name) { return static_cast<uint16_t>(GlobalAddAtomA(name.c_str())); };
    return d;
}
