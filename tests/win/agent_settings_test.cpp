#include "autoupdate/agent_settings.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "proc_test_support.h"
#include "base/text_utils.h"

namespace {

enum class TFile {
    Original,
    Info
};

// Description files in a private folder, written raw so that each case sees exactly
// the text it names.
class AgentSettingsFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = MakeTestFolder("agent settings test");
        SetAgentFolder(folder_);
        SetAgentInfoName("http:\\\\example\\updates\\MyApp.v2.info");
        ResetTransientSlots();
        SetUserSeparators({'/', ':', '.'});
        RemoveFiles();
    }
    void TearDown() override
    {
        RemoveFiles();
        RemoveDirectoryA(folder_.c_str());
        SetAgentFolder("");
        ResetTransientSlots();
        ResetUserSeparators();
    }

    std::string PathOf(TFile file) const
    {
        return file == TFile::Original ? OriginalFilePath() : InfoFilePath();
    }
    void RemoveFiles() const
    {
        DeleteFileA(OriginalFilePath().c_str());
        DeleteFileA(InfoFilePath().c_str());
    }
    // One section with one key (none when value is empty std::nullopt).
    void WriteKey(TFile file, const std::string& section, const std::string& key,
                  const std::optional<std::string>& value) const
    {
        std::string text = "[" + section + "]\r\nOther=1\r\n";
        if (value) text += key + "=" + *value + "\r\n";
        WriteRaw(file, text);
    }
    void WriteRaw(TFile file, const std::string& text) const
    {
        HANDLE h = CreateFileA(PathOf(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD done = 0;
        WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
        CloseHandle(h);
    }
    std::string ReadBack(const std::string& section, const std::string& key) const
    {
        char buffer[512] = {};
        GetPrivateProfileStringA(section.c_str(), key.c_str(), "<none>", buffer, sizeof buffer,
                                 OriginalFilePath().c_str());
        return buffer;
    }

    std::string folder_;
};

struct TIntKey {
    TFile File;
    const char* Section;
    const char* Key;
    std::function<int64_t()> Get;
    int64_t Def;
    bool Low32;  // versions, stamps, sizes and font values keep the low 32 bits
};

struct TTextKey {
    TFile File;
    const char* Section;
    const char* Key;
    std::function<std::string()> Get;
    const char* Def;
};

struct TFlagKey {
    const char* Key;
    std::function<bool()> Get;
    int Slot;  // -1: no transient slot
};

}  // namespace

TEST_F(AgentSettingsFiles, PathsLieInTheAgentFolder)
{
    EXPECT_EQ(InfoFilePath(), folder_ + "MyApp.v2.info");
    EXPECT_EQ(OriginalFilePath(), folder_ + "MyApp.original");
    WriteRaw(TFile::Info, "[NewSetup]\r\nNameOfUpdateFile=sub\\Update.exe\r\n"
                          "[AutoInform]\r\nNameOfInformFile=http://x/y/inform.txt\r\n");
    EXPECT_EQ(UpdateFilePath(), folder_ + "Update.exe");
    EXPECT_EQ(InformFilePath(), folder_ + "inform.txt");
}

TEST_F(AgentSettingsFiles, IntegerKeysGiveTheirDefaultsUnlessTheyHoldANumber)
{
    const TIntKey keys[] = {
        {TFile::Original, "OriginalSetup", "ProbeSecondsInterval", GetProbeSecondsInterval, 0, false},
        {TFile::Original, "OriginalSetup", "ProbeSecondsLast", GetProbeSecondsLast, 0, false},
        {TFile::Original, "OriginalSetup", "ReAskSecondsInterval", GetReAskSecondsInterval, 0, false},
        {TFile::Original, "OriginalSetup", "ReAskSecondsLast", GetReAskSecondsLast, 0, false},
        {TFile::Original, "OriginalSetup", "VersionOriginal", GetVersionOriginal, 0, true},
        {TFile::Original, "OriginalSetup", "Stamp", GetOriginalStamp, 0, true},
        {TFile::Original, "MsgBox", "CharSet", GetCharSet, 0, true},
        {TFile::Original, "MsgBox", "FontSize", GetFontSize, 8, true},
        {TFile::Info, "NewSetup", "SizeOfUpdateFile", GetSizeOfUpdateFile, 0, true},
        {TFile::Info, "NewSetup", "VersionNew", GetVersionNew, 0, true},
        {TFile::Info, "NewSetup", "Stamp", GetNewStamp, 0, true},
        {TFile::Info, "AutoInform", "SizeOfInformFile", GetSizeOfInformFile, 0, true},
        {TFile::Info, "AutoInform", "AutoInformW", GetAutoInformW, 360, true},
        {TFile::Info, "AutoInform", "AutoInformH", GetAutoInformH, 360, true},
    };
    for (const TIntKey& k : keys) {
        SCOPED_TRACE(k.Key);
        RemoveFiles();
        EXPECT_EQ(k.Get(), k.Def);  // no file at all
        WriteKey(k.File, k.Section, k.Key, std::nullopt);
        EXPECT_EQ(k.Get(), k.Def);
        WriteKey(k.File, k.Section, k.Key, "");
        EXPECT_EQ(k.Get(), k.Def);
        WriteKey(k.File, k.Section, k.Key, "1200x");
        EXPECT_EQ(k.Get(), k.Def);
        WriteKey(k.File, k.Section, k.Key, "-42");
        EXPECT_EQ(k.Get(), -42);
        WriteKey(k.File, k.Section, k.Key, "4294967297");  // 2^32 + 1
        EXPECT_EQ(k.Get(), k.Low32 ? 1 : 4294967297LL);
        // The other file never answers for this one.
        WriteKey(k.File == TFile::Info ? TFile::Original : TFile::Info, k.Section, k.Key, "5");
        EXPECT_EQ(k.Get(), k.Low32 ? 1 : 4294967297LL);
    }
}

TEST_F(AgentSettingsFiles, TextKeysGiveTheirDefaultsWhenAbsentOrEmpty)
{
    const TTextKey keys[] = {
        {TFile::Original, "OriginalSetup", "ProgramName", GetOriginalProgramName, ""},
        {TFile::Original, "Directories", "TargetDir", GetTargetDir, ""},
        {TFile::Original, "Directories", "SharedDir", GetSharedDir, ""},
        {TFile::Original, "Directories", "AuxiliaryDir", GetAuxiliaryDir, ""},
        {TFile::Original, "UnInstall", "StartUpLink", GetStartUpLink, ""},
        {TFile::Original, "UnInstall", "CheckforNewUpdateLink", GetCheckforNewUpdateLink, ""},
        {TFile::Original, "MsgBox", "BtnText", GetBtnText, kDefaultBtnText},
        {TFile::Original, "MsgBox", "Error", GetErrorCaption, "Error"},
        {TFile::Original, "MsgBox", "Confirm", GetConfirmCaption, "Confirm"},
        {TFile::Original, "MsgBox", "Attention", GetAttentionCaption, "Attention"},
        {TFile::Original, "MsgBox", "FontName", GetFontName, "Tahoma"},
        {TFile::Original, "AutoUpdate", "s3", [] { return GetAgentText("s3"); }, "File Download Aborted!"},
        {TFile::Original, "AutoUpdate", "s33", [] { return GetAgentText("s33"); },
         "Downloading INFORM File..."},
        {TFile::Original, "AutoUpdate", "s14", [] { return GetAgentText("s14"); }, ""},
        {TFile::Original, "AutoUpdate", "s22", [] { return GetAgentText("s22", "mine"); }, "mine"},
        {TFile::Info, "NewSetup", "DownloadURL_UPDATE", GetDownloadURL_UPDATE, ""},
        {TFile::Info, "NewSetup", "NameOfUpdateFile", GetNameOfUpdateFile, ""},
        {TFile::Info, "NewSetup", "ShutDownMethod", GetShutDownMethod, ""},
        {TFile::Info, "NewSetup", "RunningProcess", GetRunningProcess, ""},
        {TFile::Info, "NewSetup", "ProgramName", GetNewProgramName, ""},
        {TFile::Info, "NewSetup", "ValidVersions", GetValidVersions, ""},
        {TFile::Info, "AutoInform", "DownloadURL_INFORM", GetDownloadURL_INFORM, ""},
        {TFile::Info, "AutoInform", "NameOfInformFile", GetNameOfInformFile, ""},
    };
    for (const TTextKey& k : keys) {
        SCOPED_TRACE(k.Key);
        RemoveFiles();
        EXPECT_EQ(k.Get(), k.Def);
        WriteKey(k.File, k.Section, k.Key, "");
        EXPECT_EQ(k.Get(), k.Def);
        WriteKey(k.File, k.Section, k.Key, "Using WM_CLOSE <b>x</b> 103,104");
        EXPECT_EQ(k.Get(), "Using WM_CLOSE <b>x</b> 103,104");
    }
    // Section and key names are not case-sensitive.
    WriteRaw(TFile::Info, "[newsetup]\r\nshutdownmethod=Using WM_QUIT\r\n");
    EXPECT_EQ(GetShutDownMethod(), "Using WM_QUIT");
}

TEST_F(AgentSettingsFiles, FlagsAreOnOnlyForOneAndTransientSlotsWin)
{
    const TFlagKey keys[] = {
        {"RequestConfirmationBeforeDownload", GetRequestConfirmationBeforeDownload, 1},
        {"RequestConfirmationBeforeInstall", GetRequestConfirmationBeforeInstall, 2},
        {"BackgroundUpdate", GetBackgroundUpdate, 3},
        {"InformFinish", GetInformFinish, 4},
        {"RestartProcess", GetRestartProcess, 5},
        {"RequestConfirmationBeforeDownloadForce", GetRequestConfirmationBeforeDownloadForce, 6},
        {"RequestConfirmationBeforeInstallForce", GetRequestConfirmationBeforeInstallForce, 7},
        {"RemoveStartUpShortcut", GetRemoveStartUpShortcut, -1},
        {"RemoveCheckForNewUpdateShortcut", GetRemoveCheckForNewUpdateShortcut, -1},
    };
    for (const TFlagKey& k : keys) {
        SCOPED_TRACE(k.Key);
        ResetTransientSlots();
        RemoveFiles();
        EXPECT_FALSE(k.Get());
        for (const char* off : {"", "yes", "true", "2", "0"}) {
            WriteKey(TFile::Info, "NewSetup", k.Key, off);
            EXPECT_FALSE(k.Get()) << off;
        }
        WriteKey(TFile::Info, "NewSetup", k.Key, "1");
        EXPECT_TRUE(k.Get());
        if (k.Slot < 0) {
            for (int slot = 0; slot < kTransientSlotCount; ++slot) SetTransientSlot(slot, 0);
            EXPECT_TRUE(k.Get());  // no slot speaks for this key
            continue;
        }
        SetTransientSlot(k.Slot, 0);
        EXPECT_FALSE(k.Get());
        SetTransientSlot(k.Slot, 7);  // anything but 1 is off
        EXPECT_FALSE(k.Get());
        WriteKey(TFile::Info, "NewSetup", k.Key, "yes");
        SetTransientSlot(k.Slot, 1);
        EXPECT_TRUE(k.Get());
        SetTransientSlot(k.Slot, kTransientUnset);
        EXPECT_FALSE(k.Get());
    }
}

TEST_F(AgentSettingsFiles, AutoInformIsOnForTheNumberOne)
{
    struct Case {
        std::optional<std::string> Value;
        bool On;
    } cases[] = {{std::nullopt, false}, {"", false},    {"1", true}, {"01", true},
                 {"2", false},          {"yes", false}, {"0", false}};
    for (const Case& c : cases) {
        WriteKey(TFile::Info, "General", "AutoInform", c.Value);
        EXPECT_EQ(GetAutoInform(), c.On) << c.Value.value_or("<absent>");
    }
}

TEST_F(AgentSettingsFiles, SettersWriteNumbersAndReadableTimes)
{
    EXPECT_EQ(GetVersionOriginal(), 0);  // a missing .ORIGINAL file
    ASSERT_TRUE(SetVersionOriginal(-5));
    ASSERT_TRUE(SetOriginalStamp(2024061));
    ASSERT_TRUE(SetProbeSecondsInterval(86400));
    ASSERT_TRUE(SetReAskSecondsInterval(-1));
    EXPECT_EQ(GetVersionOriginal(), -5);
    EXPECT_EQ(GetOriginalStamp(), 2024061);
    EXPECT_EQ(GetProbeSecondsInterval(), 86400);
    EXPECT_EQ(GetReAskSecondsInterval(), -1);

    ASSERT_TRUE(SetProbeSecondsLast(0));
    EXPECT_EQ(ReadBack("OriginalSetup", "ProbeSecondsLast"), "0");
    EXPECT_EQ(ReadBack("OriginalSetup", "__ProbeSecondsLast"), "30-DEC-1899 00:00:00");
    const TAgentTime when = EncodeDateTime({2031, 11, 5, 23, 4, 59});
    ASSERT_TRUE(SetReAskSecondsLast(when));
    EXPECT_EQ(GetReAskSecondsLast(), when);
    EXPECT_EQ(ReadBack("OriginalSetup", "__ReAskSecondsLast"), "05-NOV-2031 23:04:59");
    EXPECT_EQ(GetProbeSecondsLast(), 0);

    // Every read opens the file again: a change by someone else shows at once.
    WritePrivateProfileStringA("OriginalSetup", "VersionOriginal", "17", OriginalFilePath().c_str());
    EXPECT_EQ(GetVersionOriginal(), 17);
}

TEST_F(AgentSettingsFiles, WritesToAMissingFolderAreLostQuietly)
{
    SetAgentFolder(folder_ + "no such folder");
    EXPECT_FALSE(SetVersionOriginal(3));
    EXPECT_FALSE(SetProbeSecondsLast(5));
    EXPECT_EQ(GetVersionOriginal(), 0);
}
