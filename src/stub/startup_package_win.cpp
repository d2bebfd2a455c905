// The main reader of the launcher's own package.
#include "stub/startup.h"

#include "package/package_reader.h"

namespace {
TGFileInfo* mainReader = nullptr;
}

TGFileInfo* MainFileInfo()
{
    return mainReader;
}

TStartupPackage OpenMainFileInfo(const std::string& programPath)
{
    delete mainReader;
    mainReader = new TGFileInfo(programPath);
    TStartupPackage p;
    p.AutoUpdateProg = mainReader->IsAutoUpdateProg();
    p.TraceLogEnabled = mainReader->TraceLogEnabled();
    p.SpanCdRelaunch = mainReader->SpanCdRelaunch();
    p.AgentExeName = mainReader->GetAgentExeName();
    return p;
}

void FreeMainFileInfo()
{
    delete mainReader;
    mainReader = nullptr;
}
