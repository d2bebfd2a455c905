#include <windows.h>

#include "setup/setup_deps.h"
#include "stub/startup.h"
#include "stub/switches.h"
#include "ui/pump.h"

namespace {

void PumpFor(uint32_t ms) { WaitPumping(static_cast<int>(ms)); }

TUnPackResult NoUnPack(const TUnPackRequest&) { return {}; }

bool NoConfirm(intptr_t, const std::string&, const std::string&, int, int, const std::string&)
{
    return false;
}

void NoError(intptr_t, const std::string&, const std::string&, int, const std::string&) {}


bool LauncherIsAgent() { return AgentMode; }

TSetupLinks NoLinks() { return {}; }

TSetupDeps g_deps{PumpFor,    NoUnPack,    NoConfirm,       NoError, GetSwitchStr,
                  HasSwitch,  GetArgsText, LauncherIsAgent, NoLinks, nullptr};

}  // namespace

const TSetupDeps& SetupDeps() { return g_deps; }
void SetSetupDeps(const TSetupDeps& deps) { g_deps = deps; }
