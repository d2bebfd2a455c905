#pragma once
// The update agent's description files: the .ORIGINAL file (installed version), the
// .INFO file (newest publication), the INFORM file, and the transient overrides.
//
// Every getter opens its ini file again (nothing is cached), so a freshly downloaded
// .INFO file or a key changed by another program counts at the next read. A missing file
// reads as all defaults; a write to a missing folder is lost without a word.

#include <cstdint>
#include <string>

// ---- Portable parts ---------------------------------------------------------------

// Agent times: seconds of local time since 1899-12-30 00:00.
using TAgentTime = int64_t;

inline constexpr const char* kSectionOriginalSetup = "OriginalSetup";
inline constexpr const char* kSectionDirectories = "Directories";
inline constexpr const char* kSectionUnInstall = "UnInstall";
inline constexpr const char* kSectionMsgBox = "MsgBox";
inline constexpr const char* kSectionAutoUpdate = "AutoUpdate";
inline constexpr const char* kSectionNewSetup = "NewSetup";
inline constexpr const char* kSectionGeneral = "General";
inline constexpr const char* kSectionAutoInform = "AutoInform";

inline constexpr const char* kDefaultBtnText = "|&OK|&Cancel|&Yes|&No|&Abort|&Retry|&Ignore|";

// The agent's own default of a message text of section AutoUpdate ("" when it has none).
std::string AgentTextDefault(const std::string& key);

// The file-name part of a name: the text after its last "\" or ":".
std::string DescriptionFileName(const std::string& name);
// The file name under which a fetched UPDATE or INFORM file is kept: the text after the
// last "\", "/" or ":" of its key, so that no key can place it outside the agent folder.
std::string FetchedFileName(const std::string& name);
// folder + file-name part of agent block item 1.
std::string InfoFilePathIn(const std::string& folder, const std::string& agentInfoItem);
// folder + that file name without any extension + ".original".
std::string OriginalFilePathIn(const std::string& folder, const std::string& agentInfoItem);

// "30-DEC-1899 00:00:00": the readable companion of a stored time.
std::string ReadableAgentTime(TAgentTime time);

// Whether version is in a "ValidVersions" list ("103,104,110"); an empty list admits all.
bool IsValidVersion(const std::string& validVersions, int32_t version);

// Splits an INFORM file text (unscrambled first when it starts with "Scrambled=01") at
// its first four "|": token = the second field unscrambled, rest = all after the fourth.
void SplitTokenLine(const std::string& text, std::string& token, std::string& rest);

// Transient override slots, 255 = not set (the .INFO key counts), 1 = on, else off.
inline constexpr int kTransientSlotCount = 8;
inline constexpr uint8_t kTransientUnset = 255;
enum : int {
    kSlotAskBeforeProbe = 0,
    kSlotConfirmBeforeDownload = 1,
    kSlotConfirmBeforeInstall = 2,
    kSlotBackgroundUpdate = 3,
    kSlotInformFinish = 4,
    kSlotRestartProcess = 5,
    kSlotConfirmBeforeDownloadForce = 6,
    kSlotConfirmBeforeInstallForce = 7,
};
void SetTransientSlot(int slot, uint8_t value);  // slots outside 0..7 are ignored
uint8_t GetTransientSlot(int slot);              // 255 outside 0..7
void ResetTransientSlots();                      // all 255
// "|255|1|255|255|255|255|255|255|".
std::string TransientSettingsText();
// Sets slot i from item i; missing or non-numeric items leave their slot alone.
void ParseTransientSettings(const std::string& text);
// Slot 0: ask before every automatic probe.
bool GetAskBeforeProbe();

// Whether automatic probing is still on in this run (initially true).
bool IsProbingEnabled();
void SetProbingEnabled(bool enabled);

// ---- Windows: the files and their keys ------------------------------------------

#ifdef _WIN32
// Where the description files lie and what they are called. The folder defaults to the
// program's folder; the name (agent block item 1 of the program's package) must be set
// by the start-up code before the files are used.
void SetAgentFolder(const std::string& folder);  // "" = the program's folder
std::string AgentFolder();                       // with a trailing "\"
void SetAgentInfoName(const std::string& agentInfoItem);

std::string InfoFilePath();
std::string OriginalFilePath();
// Agent folder + file-name part of NewSetup "NameOfUpdateFile" / AutoInform "NameOfInformFile".
std::string UpdateFilePath();
std::string InformFilePath();

// .ORIGINAL, section OriginalSetup
TAgentTime GetProbeSecondsInterval();
TAgentTime GetProbeSecondsLast();
TAgentTime GetReAskSecondsInterval();
TAgentTime GetReAskSecondsLast();
int32_t GetVersionOriginal();
int32_t GetOriginalStamp();
std::string GetOriginalProgramName();
// .ORIGINAL, sections Directories, UnInstall, MsgBox, AutoUpdate
std::string GetTargetDir();
std::string GetSharedDir();
std::string GetAuxiliaryDir();
std::string GetStartUpLink();
std::string GetCheckforNewUpdateLink();
std::string GetBtnText();
std::string GetErrorCaption();
std::string GetConfirmCaption();
std::string GetAttentionCaption();
int32_t GetCharSet();
std::string GetFontName();
int32_t GetFontSize();
std::string GetAgentText(const std::string& key, const std::string& def);
std::string GetAgentText(const std::string& key);  // with AgentTextDefault(key)

// .ORIGINAL setters (true when the write succeeded)
bool SetProbeSecondsInterval(TAgentTime seconds);
bool SetReAskSecondsInterval(TAgentTime seconds);
bool SetVersionOriginal(int32_t version);
bool SetOriginalStamp(int32_t stamp);
bool SetProbeSecondsLast(TAgentTime time);  // also "__ProbeSecondsLast"
bool SetReAskSecondsLast(TAgentTime time);  // also "__ReAskSecondsLast"

// .INFO, section NewSetup (Boolean getters with a slot give the slot when it is set)
std::string GetDownloadURL_UPDATE();
std::string GetNameOfUpdateFile();
int32_t GetSizeOfUpdateFile();
bool GetRequestConfirmationBeforeDownload();
bool GetRequestConfirmationBeforeDownloadForce();
bool GetRequestConfirmationBeforeInstall();
bool GetRequestConfirmationBeforeInstallForce();
bool GetBackgroundUpdate();
std::string GetShutDownMethod();
bool GetRestartProcess();
bool GetInformFinish();
std::string GetRunningProcess();
std::string GetNewProgramName();
int32_t GetVersionNew();
int32_t GetNewStamp();
std::string GetValidVersions();
bool GetRemoveStartUpShortcut();
bool GetRemoveCheckForNewUpdateShortcut();
// .INFO, sections General and AutoInform
bool GetAutoInform();  // General "AutoInform" is 1
std::string GetDownloadURL_INFORM();
std::string GetNameOfInformFile();
int32_t GetSizeOfInformFile();
int32_t GetAutoInformW();
int32_t GetAutoInformH();
#endif
