// The main reader of the launcher's own package.
#include "stub/startup.h"

#if __has_include("package/package_reader.h")
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

#else
// Built without the package reader: the program behaves as a file without package.

TGFileInfo* MainFileInfo()
{
    return nullptr;
}

TStartupPackage OpenMainFileInfo(const std::string&)
{
    return {};
}

void FreeMainFileInfo() {}
#endif
