// Agent requests (message 1125) answered from real description files: the
// request table of the main window over the accessors of the agent settings.
#include "autoupdate/agent_requests.h"

#include "autoupdate/agent_settings.h"
#include "autoupdate/agent_control.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "proc_test_support.h"
#include "base/text_utils.h"

namespace {

int g_probeNowLevel = 0;
int g_justFetchCalls = 0;

class AgentRequests : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = MakeTestFolder("agent requests test");
        SetAgentFolder(folder_);
        SetAgentInfoName("http:\\\\updates.example\\app\\MyApp.info");
        RemoveFiles();
        ResetTransientSlots();
        SetUserSeparators({'/', ':', '.'});
        // What the scheduler installed before: must survive.
        TAgentRequestSeam scheduler;
        scheduler.ProbeNow = [](int32_t level) { g_probeNowLevel = level; };
        scheduler.JustFetchInfo = [] { ++g_justFetchCalls; };
        SetAgentRequestSeam(scheduler);
        InstallAgentRequestAccessors();
    }
    void TearDown() override
    {
        RemoveFiles();
        RemoveDirectoryA(folder_.c_str());
        SetAgentRequestSeam({});
        SetAgentFolder("");
        SetAgentStage(kAgentStageIdle);
        ResetTransientSlots();
        ResetUserSeparators();
    }
    void RemoveFiles() const
    {
        DeleteFileA(OriginalFilePath().c_str());
        DeleteFileA(InfoFilePath().c_str());
    }
    static void WriteRaw(const std::string& path, const std::string& text)
    {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD done = 0;
        WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
        CloseHandle(h);
    }
    static std::string Original(const std::string& key)
    {
        char buffer[512] = {};
        GetPrivateProfileStringA("OriginalSetup", key.c_str(), "<none>", buffer, sizeof buffer,
                                 OriginalFilePath().c_str());
        return buffer;
    }

    std::string folder_;
};

TEST_F(AgentRequests, GettersReadTheDescriptionFiles)
{
    EXPECT_EQ(OriginalFilePath(), folder_ + "MyApp.original");
    WriteRaw(OriginalFilePath(), "[OriginalSetup]\r\nVersionOriginal=107\r\nProbeSecondsInterval=3600\r\n"
                                 "ReAskSecondsInterval=-1\r\nProbeSecondsLast=3900000000\r\n"
                                 "ReAskSecondsLast=3899990000\r\nVersionNew=999\r\n");
    WriteRaw(InfoFilePath(), "[NewSetup]\r\nVersionNew=110\r\nVersionOriginal=998\r\n");
    SetAgentStage(kAgentStageDownloading);

    const struct {
        int32_t request;
        int32_t want;
    } cases[] = {
        {kReqVersionOriginal, 107},
        {kReqVersionNew, 110},
        {kReqStage, 2},
        {kReqProbeInterval, 3600},
        {kReqReAskInterval, -1},
        // Times beyond 32 bits come back truncated.
        {kReqProbeLast, static_cast<int32_t>(static_cast<uint32_t>(3900000000LL))},
        {kReqReAskLast, static_cast<int32_t>(static_cast<uint32_t>(3899990000LL))},
        {99, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(AgentRequest(c.request, 5), c.want) << c.request;

    // Nothing is cached: a changed file counts at the next request.
    WriteRaw(InfoFilePath(), "[NewSetup]\r\nVersionNew=111\r\n");
    EXPECT_EQ(AgentRequest(kReqVersionNew, 0), 111);
    RemoveFiles();
    EXPECT_EQ(AgentRequest(kReqVersionOriginal, 0), 0);
    EXPECT_EQ(AgentRequest(kReqProbeInterval, 0), 0);
}

TEST_F(AgentRequests, SettersWriteTheOriginalFileWithReadableTimes)
{
    WriteRaw(OriginalFilePath(), "[OriginalSetup]\r\nVersionOriginal=107\r\n");
    const int32_t probeLast = 2 * 86400 + 3661;  // 01-JAN-1900 01:01:01
    const struct {
        int32_t request;
        int32_t argument;
        const char* key;
        std::string value;
        const char* readableKey;
        std::string readable;
    } cases[] = {
        {kReqSetProbeInterval, 7200, "ProbeSecondsInterval", "7200", nullptr, ""},
        {kReqSetReAskInterval, -1, "ReAskSecondsInterval", "-1", nullptr, ""},
        {kReqSetProbeLast, probeLast, "ProbeSecondsLast", std::to_string(probeLast), "__ProbeSecondsLast",
         "01-JAN-1900 01:01:01"},
        {kReqSetReAskLast, 0, "ReAskSecondsLast", "0", "__ReAskSecondsLast", "30-DEC-1899 00:00:00"},
        // Today's times only fit a 32-bit argument unsigned.
        {kReqSetReAskLast, static_cast<int32_t>(3900000000u), "ReAskSecondsLast", "3900000000",
         "__ReAskSecondsLast", "31-JUL-2023 21:20:00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(AgentRequest(c.request, c.argument), 0);
        EXPECT_EQ(Original(c.key), c.value);
        if (c.readableKey) {
            EXPECT_EQ(Original(c.readableKey), c.readable);
        }
    }
    EXPECT_EQ(Original("VersionOriginal"), "107");
    // And the getters of the table read them back.
    EXPECT_EQ(AgentRequest(kReqProbeInterval, 0), 7200);
    EXPECT_EQ(AgentRequest(kReqProbeLast, 0), probeLast);
}

TEST_F(AgentRequests, TransientSlotsOverrideTheInfoKeys)
{
    WriteRaw(InfoFilePath(), "[NewSetup]\r\nRequestConfirmationBeforeDownload=0\r\nBackgroundUpdate=1\r\n");
    EXPECT_FALSE(GetRequestConfirmationBeforeDownload());
    EXPECT_EQ(AgentRequest(21, 1), 0);
    EXPECT_TRUE(GetRequestConfirmationBeforeDownload());
    EXPECT_EQ(AgentRequest(23, 256), 0);  // the low byte: 0, off
    EXPECT_FALSE(GetBackgroundUpdate());
    EXPECT_EQ(AgentRequest(20, 1), 0);
    EXPECT_TRUE(GetAskBeforeProbe());
    EXPECT_EQ(AgentRequest(25, 7), 0);
    EXPECT_EQ(TransientSettingsText(), "|1|1|255|0|255|7|255|255|");
}

TEST_F(AgentRequests, SchedulerRequestsKeepTheirHandlers)
{
    g_probeNowLevel = 0;
    g_justFetchCalls = 0;
    const int32_t count = AgentTimerCount();
    EXPECT_EQ(AgentRequest(kReqProbeNow, 2), 0);
    SetAgentTimerCount(count);
    EXPECT_EQ(g_probeNowLevel, 2);
    EXPECT_EQ(AgentRequest(kReqJustFetchInfo, 0), 0);
    EXPECT_EQ(g_justFetchCalls, 1);
}

}  // namespace
