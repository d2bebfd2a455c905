#include <windows.h>

#include "package/unpack.h"
#include "setup/setup_deps.h"
#include "base/switches.h"
#include "ui/msgbox.h"
#include "ui/progress.h"
#include "base/pump.h"

namespace {

void PumpFor(uint32_t ms) { WaitPumping(static_cast<int>(ms)); }

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

bool Confirm(intptr_t owner, const std::string& text, const std::string& caption, int timeout, int charset,
             const std::string& buttons)
{
    return MsgConfirm(owner, text, caption, timeout, charset, buttons);
}

void Error(intptr_t owner, const std::string& text, const std::string& caption, int charset,
           const std::string& buttons)
{
    MsgError(owner, text, caption, charset, buttons);
}


TSetupDeps g_deps{PumpFor,   RealUnPack, Confirm, Error,   GetSwitchStr, HasSwitch,
                  GetArgsText, nullptr,   nullptr, nullptr, nullptr,      nullptr, nullptr};

}  // namespace

const TSetupDeps& SetupDeps() { return g_deps; }
void SetSetupDeps(const TSetupDeps& deps) { g_deps = deps; }
