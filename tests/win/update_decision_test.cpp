// The update decision on real description files, the registry's test-mode
// values and files on disk.
#include "autoupdate/update_decision.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "autoupdate/agent_settings.h"
#include "autoupdate/test_mode.h"
#include "base/text_utils.h"
#include "base/trace_log.h"
#include "lang/sysinfo.h"
#include "proc_test_support.h"

namespace {

constexpr const char* kTestModeSubKey = "Software\\Tarnwick\\Velmora\\AutoUpdate";

// Test-mode values in the registry, removed after the test.
class TestModeRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kTestModeSubKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key_, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override
    {
        for (const char* v : {"TestMode", "TestModeDate", "TestModeURL"}) RegDeleteValueA(key_, v);
        RegCloseKey(key_);
        CheckTestMode(true);  // leave the process's state off
    }
    void SetText(const char* name, const std::string& v)
    {
        RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                       static_cast<DWORD>(v.size() + 1));
    }
    void SetDword(const char* name, DWORD v)
    {
        RegSetValueExA(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
    }
    HKEY key_ = nullptr;
};

TEST_F(TestModeRegistry, OnTodayOnly)
{
    const std::string today = DateText();
    SetText("TestMode", "1");
    SetText("TestModeDate", today);
    SetText("TestModeURL", "\\\\server\\updates");
    EXPECT_TRUE(CheckTestMode(true));
    EXPECT_TRUE(TestModeOn());
    EXPECT_EQ(TestLocation(), "\\\\server\\updates");

    // A DWORD reads as its decimal text.
    SetDword("TestMode", 1);
    EXPECT_TRUE(CheckTestMode(true));
    SetDword("TestMode", 2);
    EXPECT_FALSE(CheckTestMode(true));

    SetText("TestMode", "1");
    SetText("TestModeDate", DateText(NowLocalDateTime() - 86400));  // yesterday
    EXPECT_FALSE(CheckTestMode(true));
    EXPECT_EQ(TestLocation(), "\\\\server\\updates");  // read all the same

    std::string lower = today;
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    SetText("TestModeDate", lower);
    EXPECT_FALSE(CheckTestMode(true));

    // Within 30 seconds of the last call only a forced call reads again.
    SetText("TestModeDate", today);
    EXPECT_FALSE(CheckTestMode(false));
    EXPECT_TRUE(CheckTestMode(true));
}

// Description files in a private folder and an update location beside them.
class DecisionFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = MakeTestFolder("velmora decision test");
        location_ = folder_ + "updates";
        CreateDirectoryA(location_.c_str(), nullptr);
        SetAgentFolder(folder_);
        SetAgentInfoName("MyApp.info");
        log_ = folder_ + "decision.log";
        DeleteFileA(log_.c_str());
        SetTraceLogPath(log_);
        SetTraceEnabled(true);
        CheckTestMode(true);
        ASSERT_FALSE(TestModeOn());
    }
    void TearDown() override
    {
        SetTraceEnabled(false);
        SetUpdateNetwork({});
        SetForceShotFlag(false);
        SetProbingEnabled(true);
        for (const std::string& f : {OriginalFilePath(), InfoFilePath(), location_ + "\\setup.exe", log_})
            DeleteFileA(f.c_str());
        RemoveDirectoryA(location_.c_str());
        RemoveDirectoryA(folder_.c_str());
        SetAgentFolder("");
    }
    void WriteFile(const std::string& path, const std::string& text)
    {
        std::ofstream(path, std::ios::binary) << text;
    }
    void Files(const std::string& original, const std::string& info)
    {
        WriteFile(OriginalFilePath(), "[OriginalSetup]\r\n" + original);
        WriteFile(InfoFilePath(), "[NewSetup]\r\nDownloadURL_UPDATE=" + location_ +
                                      "\r\nNameOfUpdateFile=setup.exe\r\nSizeOfUpdateFile=5000\r\n" + info);
    }
    void UpdateFileOf(size_t size) { WriteFile(location_ + "\\setup.exe", std::string(size, 'x')); }
    std::string Log() const
    {
        std::ifstream in(log_, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    bool Size()
    {
        return CheckUpdateSize(GetDownloadURL_UPDATE(), GetNameOfUpdateFile(), GetNameOfInformFile());
    }

    std::string folder_, location_, log_;
};

TEST_F(DecisionFiles, SizeOfTheFileOnTheLocation)
{
    Files("", "");
    UpdateFileOf(5099);
    EXPECT_TRUE(Size());
    UpdateFileOf(4901);
    EXPECT_TRUE(Size());
    EXPECT_EQ(Log(), "");
    UpdateFileOf(5100);
    EXPECT_FALSE(Size());
    const std::string log = Log();
    EXPECT_NE(log.find("  InfoSize=5000\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("  HttpSize=5100\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("  URL=" + location_ + "\\setup.exe\r\n"), std::string::npos) << log;
}

int64_t gAskedLength = -1;
std::string gAskedUrl;
bool Connected()
{
    return true;
}
int64_t RemoteLength(const std::string& url)
{
    gAskedUrl = url;
    return gAskedLength;
}

TEST_F(DecisionFiles, RemoteLengthThroughTheNetworkSeam)
{
    Files("", "");
    // Without a network nothing is asked: the missing file is -1 bytes long.
    EXPECT_FALSE(Size());
    SetUpdateNetwork({Connected, RemoteLength});
    gAskedLength = 5020;
    EXPECT_TRUE(Size());
    EXPECT_EQ(gAskedUrl, location_ + "/setup.exe");
    gAskedLength = -1;
    EXPECT_FALSE(Size());
    EXPECT_NE(Log().find("  URL=" + location_ + "/setup.exe\r\n"), std::string::npos);
}

TEST_F(DecisionFiles, DecisionOnTheFiles)
{
    Files("VersionOriginal=100\r\nStamp=7\r\n", "VersionNew=101\r\nStamp=8\r\nValidVersions=99,100\r\n");
    UpdateFileOf(5000);
    int code = -1;
    std::string reason;
    EXPECT_TRUE(GetOkToPerformAU(true, code, reason));
    EXPECT_EQ(code, 6);
    EXPECT_EQ(reason, "OK");
    EXPECT_NE(Log().find("GetOkToPerformAU = 6 - OK\r\n"), std::string::npos);

    EXPECT_FALSE(GetOkToPerformAU(false, code, reason));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(reason, "Error downloading .INFO file");

    // The same publication again: only on the user's check.
    Files("VersionOriginal=100\r\nStamp=8\r\n", "VersionNew=101\r\nStamp=8\r\n");
    EXPECT_FALSE(GetOkToPerformAU(true, code, reason));
    EXPECT_EQ(code, 2);
    SetAgentCheckMode(kCheckByUser);
    EXPECT_TRUE(GetOkToPerformAU(true, code, reason));
    SetAgentCheckMode(kCheckAutomatic);

    // Test mode takes the file from the test location, which lacks it.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kTestModeSubKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    const std::string today = DateText(), testLocation = folder_;
    RegSetValueExA(key, "TestMode", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2);
    RegSetValueExA(key, "TestModeDate", 0, REG_SZ, reinterpret_cast<const BYTE*>(today.c_str()),
                   static_cast<DWORD>(today.size() + 1));
    RegSetValueExA(key, "TestModeURL", 0, REG_SZ, reinterpret_cast<const BYTE*>(testLocation.c_str()),
                   static_cast<DWORD>(testLocation.size() + 1));
    ASSERT_TRUE(CheckTestMode(true));
    Files("VersionOriginal=100\r\nStamp=7\r\n", "VersionNew=101\r\nStamp=8\r\n");
    EXPECT_FALSE(GetOkToPerformAU(true, code, reason));
    EXPECT_EQ(code, 5);
    EXPECT_EQ(reason, "Download file size error");
    EXPECT_NE(Log().find("  URL=" + testLocation + "\\setup.exe\r\n"), std::string::npos);
    for (const char* v : {"TestMode", "TestModeDate", "TestModeURL"}) RegDeleteValueA(key, v);
    RegCloseKey(key);
    CheckTestMode(true);
}

TEST_F(DecisionFiles, ShotTimeStatusOnTheFiles)
{
    Files("ProbeSecondsInterval=-1\r\n", "");
    EXPECT_EQ(ShotTimeStatus(), 0);
    SetForceShotFlag(true);
    EXPECT_EQ(ShotTimeStatus(), 1);
    EXPECT_FALSE(ForceShotFlag());
    EXPECT_EQ(ShotTimeStatus(), 0);

    Files("ProbeSecondsInterval=0\r\n", "");
    EXPECT_EQ(ShotTimeStatus(), 2);
    SetProbingEnabled(false);
    EXPECT_EQ(ShotTimeStatus(), 0);
    SetForceShotFlag(true);
    EXPECT_EQ(ShotTimeStatus(), 1);

    SetProbingEnabled(true);
    const std::string now = std::to_string(NowLocalDateTime());
    Files("ProbeSecondsInterval=3600\r\nProbeSecondsLast=" + now + "\r\n", "");
    EXPECT_EQ(ShotTimeStatus(), 0);
    Files("ProbeSecondsInterval=3600\r\nProbeSecondsLast=" + std::to_string(NowLocalDateTime() - 3600) +
              "\r\n",
          "");
    EXPECT_EQ(ShotTimeStatus(), 1);
    // A last time at the end of the range never makes every tick a probe.
    Files("ProbeSecondsInterval=3600\r\nProbeSecondsLast=9223372036854775000\r\n", "");
    EXPECT_EQ(ShotTimeStatus(), 0);
}

}  // namespace
