#include "autoupdate/agent_settings.h"
#include "base/paths.h"
#include "lang/sysinfo.h"

namespace {

std::string g_agent_folder;
std::string g_agent_info_name;

// Low 32 bits as a signed number: versions, stamps, sizes and font values.
int32_t Low32(int64_t value)
{
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

std::string FileString(const std::string& file, const char* section, const char* key,
                       const std::string& def = "")
{
    return ReadIniString(file, section, key, def);
}

// Flags stored as text are on only when they are exactly "1".
bool FileFlag(const std::string& file, const char* section, const char* key)
{
    return ReadIniString(file, section, key, "0") == "1";
}

// A flag that a transient slot can override.
bool SlotFlag(int slot, const char* key)
{
    const uint8_t value = GetTransientSlot(slot);
    if (value != kTransientUnset) return value == 1;
    return FileFlag(InfoFilePath(), kSectionNewSetup, key);
}

std::string Original(const char* section, const char* key, const std::string& def = "")
{
    return FileString(OriginalFilePath(), section, key, def);
}
int64_t OriginalInt(const char* section, const char* key, int64_t def)
{
    return ReadIniInt(OriginalFilePath(), section, key, def);
}
std::string Info(const char* section, const char* key)
{
    return FileString(InfoFilePath(), section, key);
}
int64_t InfoInt(const char* section, const char* key, int64_t def)
{
    return ReadIniInt(InfoFilePath(), section, key, def);
}

bool SetOriginalInt(const char* key, int64_t value)
{
    return WriteIniInt(OriginalFilePath(), kSectionOriginalSetup, key, value);
}

// The time and, for people only, its readable companion "__" + key.
bool SetOriginalTime(const char* key, TAgentTime time)
{
    const bool ok = SetOriginalInt(key, time);
    WriteIniString(OriginalFilePath(), kSectionOriginalSetup, std::string("__") + key,
                   ReadableAgentTime(time));
    return ok;
}

}  // namespace

void SetAgentFolder(const std::string& folder)
{
    g_agent_folder = folder.empty() ? "" : SetTrailingBackslash(folder, true);
}

std::string AgentFolder()
{
    return g_agent_folder.empty() ? ProgramFolder(true) : g_agent_folder;
}

void SetAgentInfoName(const std::string& agentInfoItem)
{
    g_agent_info_name = agentInfoItem;
}

std::string InfoFilePath()
{
    return InfoFilePathIn(AgentFolder(), g_agent_info_name);
}
std::string OriginalFilePath()
{
    return OriginalFilePathIn(AgentFolder(), g_agent_info_name);
}
std::string UpdateFilePath()
{
    return AgentFolder() + FetchedFileName(GetNameOfUpdateFile());
}
std::string InformFilePath()
{
    return AgentFolder() + FetchedFileName(GetNameOfInformFile());
}

TAgentTime GetProbeSecondsInterval()
{
    return OriginalInt(kSectionOriginalSetup, "ProbeSecondsInterval", 0);
}
TAgentTime GetProbeSecondsLast()
{
    return OriginalInt(kSectionOriginalSetup, "ProbeSecondsLast", 0);
}
TAgentTime GetReAskSecondsInterval()
{
    return OriginalInt(kSectionOriginalSetup, "ReAskSecondsInterval", 0);
}
TAgentTime GetReAskSecondsLast()
{
    return OriginalInt(kSectionOriginalSetup, "ReAskSecondsLast", 0);
}
int32_t GetVersionOriginal()
{
    return Low32(OriginalInt(kSectionOriginalSetup, "VersionOriginal", 0));
}
int32_t GetOriginalStamp()
{
    return Low32(OriginalInt(kSectionOriginalSetup, "Stamp", 0));
}
std::string GetOriginalProgramName()
{
    return Original(kSectionOriginalSetup, "ProgramName");
}

std::string GetTargetDir()
{
    return Original(kSectionDirectories, "TargetDir");
}
std::string GetSharedDir()
{
    return Original(kSectionDirectories, "SharedDir");
}
std::string GetAuxiliaryDir()
{
    return Original(kSectionDirectories, "AuxiliaryDir");
}
std::string GetStartUpLink()
{
    return Original(kSectionUnInstall, "StartUpLink");
}
std::string GetCheckforNewUpdateLink()
{
    return Original(kSectionUnInstall, "CheckforNewUpdateLink");
}
std::string GetBtnText()
{
    return Original(kSectionMsgBox, "BtnText", kDefaultBtnText);
}
std::string GetErrorCaption()
{
    return Original(kSectionMsgBox, "Error", "Error");
}
std::string GetConfirmCaption()
{
    return Original(kSectionMsgBox, "Confirm", "Confirm");
}
std::string GetAttentionCaption()
{
    return Original(kSectionMsgBox, "Attention", "Attention");
}
int32_t GetCharSet()
{
    return Low32(OriginalInt(kSectionMsgBox, "CharSet", 0));
}
std::string GetFontName()
{
    return Original(kSectionMsgBox, "FontName", "Tahoma");
}
int32_t GetFontSize()
{
    return Low32(OriginalInt(kSectionMsgBox, "FontSize", 8));
}

std::string GetAgentText(const std::string& key, const std::string& def)
{
    return ReadIniString(OriginalFilePath(), kSectionAutoUpdate, key, def);
}
std::string GetAgentText(const std::string& key)
{
    return GetAgentText(key, AgentTextDefault(key));
}

bool SetProbeSecondsInterval(TAgentTime seconds)
{
    return SetOriginalInt("ProbeSecondsInterval", seconds);
}
bool SetReAskSecondsInterval(TAgentTime seconds)
{
    return SetOriginalInt("ReAskSecondsInterval", seconds);
}
bool SetVersionOriginal(int32_t version)
{
    return SetOriginalInt("VersionOriginal", version);
}
bool SetOriginalStamp(int32_t stamp)
{
    return SetOriginalInt("Stamp", stamp);
}
bool SetProbeSecondsLast(TAgentTime time)
{
    return SetOriginalTime("ProbeSecondsLast", time);
}
bool SetReAskSecondsLast(TAgentTime time)
{
    return SetOriginalTime("ReAskSecondsLast", time);
}

std::string GetDownloadURL_UPDATE()
{
    return Info(kSectionNewSetup, "DownloadURL_UPDATE");
}
std::string GetNameOfUpdateFile()
{
    return Info(kSectionNewSetup, "NameOfUpdateFile");
}
int32_t GetSizeOfUpdateFile()
{
    return Low32(InfoInt(kSectionNewSetup, "SizeOfUpdateFile", 0));
}
bool GetRequestConfirmationBeforeDownload()
{
    return SlotFlag(kSlotConfirmBeforeDownload, "RequestConfirmationBeforeDownload");
}
bool GetRequestConfirmationBeforeDownloadForce()
{
    return SlotFlag(kSlotConfirmBeforeDownloadForce, "RequestConfirmationBeforeDownloadForce");
}
bool GetRequestConfirmationBeforeInstall()
{
    return SlotFlag(kSlotConfirmBeforeInstall, "RequestConfirmationBeforeInstall");
}
bool GetRequestConfirmationBeforeInstallForce()
{
    return SlotFlag(kSlotConfirmBeforeInstallForce, "RequestConfirmationBeforeInstallForce");
}
bool GetBackgroundUpdate()
{
    return SlotFlag(kSlotBackgroundUpdate, "BackgroundUpdate");
}
std::string GetShutDownMethod()
{
    return Info(kSectionNewSetup, "ShutDownMethod");
}
bool GetRestartProcess()
{
    return SlotFlag(kSlotRestartProcess, "RestartProcess");
}
bool GetInformFinish()
{
    return SlotFlag(kSlotInformFinish, "InformFinish");
}
std::string GetRunningProcess()
{
    return Info(kSectionNewSetup, "RunningProcess");
}
std::string GetNewProgramName()
{
    return Info(kSectionNewSetup, "ProgramName");
}
int32_t GetVersionNew()
{
    return Low32(InfoInt(kSectionNewSetup, "VersionNew", 0));
}
int32_t GetNewStamp()
{
    return Low32(InfoInt(kSectionNewSetup, "Stamp", 0));
}
std::string GetValidVersions()
{
    return Info(kSectionNewSetup, "ValidVersions");
}
bool GetRemoveStartUpShortcut()
{
    return FileFlag(InfoFilePath(), kSectionNewSetup, "RemoveStartUpShortcut");
}
bool GetRemoveCheckForNewUpdateShortcut()
{
    return FileFlag(InfoFilePath(), kSectionNewSetup, "RemoveCheckForNewUpdateShortcut");
}

bool GetAutoInform()
{
    return InfoInt(kSectionGeneral, "AutoInform", 0) == 1;
}
std::string GetDownloadURL_INFORM()
{
    return Info(kSectionAutoInform, "DownloadURL_INFORM");
}
std::string GetNameOfInformFile()
{
    return Info(kSectionAutoInform, "NameOfInformFile");
}
int32_t GetSizeOfInformFile()
{
    return Low32(InfoInt(kSectionAutoInform, "SizeOfInformFile", 0));
}
int32_t GetAutoInformW()
{
    return Low32(InfoInt(kSectionAutoInform, "AutoInformW", 360));
}
int32_t GetAutoInformH()
{
    return Low32(InfoInt(kSectionAutoInform, "AutoInformH", 360));
}
