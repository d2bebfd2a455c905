// The launcher started for real: its banners reach a debug viewer window of
// this test process, it runs its main window under the single-instance class,
// and a second start of the same file ends without a window.
#include "base/paths.h"
#include "autoupdate/agent_settings.h"
#include "lang/sysinfo.h"
#include "pkgtool/package_writer.h"
#include "win/debug_viewer.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// Waits for the handle while dispatching this thread's messages (the viewer
// is reached by synchronous sends). False on timeout.
bool WaitPumped(HANDLE h, DWORD ms)
{
    const DWORD end = GetTickCount() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        const DWORD now = GetTickCount();
        if (static_cast<LONG>(end - now) <= 0) return false;
        const DWORD r = h ? MsgWaitForMultipleObjects(1, &h, FALSE, end - now, QS_ALLINPUT)
                          : MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        if (h && r == WAIT_OBJECT_0) return true;
    }
}

// Pumps until the process ends; notes the first top-level window of the class
// seen meanwhile and the process that owns it.
struct SeenWindow {
    bool Ended = false;
    bool Seen = false;
    bool Visible = false;
    DWORD Owner = 0;
};

SeenWindow WatchForWindow(HANDLE process, const std::string& cls, DWORD ms)
{
    SeenWindow w;
    const DWORD end = GetTickCount() + ms;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        if (!w.Seen) {
            if (HWND h = FindWindowA(cls.c_str(), nullptr)) {
                w.Seen = true;
                w.Visible = IsWindowVisible(h) != 0;
                GetWindowThreadProcessId(h, &w.Owner);
            }
        }
        if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0) {
            w.Ended = true;
            break;
        }
        WaitPumped(nullptr, 5);
    }
    return w;
}

struct ClassCount {
    std::string Cls;
    int Count;
};

BOOL CALLBACK CountClassWindow(HWND w, LPARAM lp)
{
    auto* c = reinterpret_cast<ClassCount*>(lp);
    char buf[1024] = {};
    GetClassNameA(w, buf, sizeof(buf));
    if (lstrcmpiA(buf, c->Cls.c_str()) == 0) ++c->Count;
    return TRUE;
}

int CountWindowsOfClass(const std::string& cls)
{
    ClassCount ctx{cls, 0};
    EnumWindows(CountClassWindow, reinterpret_cast<LPARAM>(&ctx));
    return ctx.Count;
}

struct Started {
    PROCESS_INFORMATION Pi = {};
    std::string CommandLine;
    bool Ok = false;
};

Started Start(const std::string& exe, const std::string& args)
{
    Started s;
    s.CommandLine = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
    std::string cmd = s.CommandLine;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    s.Ok =
        CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &s.Pi) != 0;
    return s;
}

void Close(Started& s)
{
    if (!s.Ok) return;
    if (WaitForSingleObject(s.Pi.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(s.Pi.hProcess, 99);
    CloseHandle(s.Pi.hThread);
    CloseHandle(s.Pi.hProcess);
    s.Ok = false;
}

class LauncherStart : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = TempFolder(true) + "velmora start test\\";
        CreateDirectoryA(folder_.c_str(), nullptr);
        exe_ = folder_ + "My Setup.exe";
        ASSERT_TRUE(CopyFileA((ProgramFolder(true) + "launcher.exe").c_str(), exe_.c_str(), FALSE));
        ASSERT_TRUE(viewer_.ok());
    }
    void TearDown() override
    {
        Close(first_);
        Close(second_);
        DeleteFileA(exe_.c_str());
        RemoveDirectoryA(folder_.c_str());
    }
    std::string folder_, exe_;
    ViewerWindow viewer_;
    Started first_, second_;
};

// A window of the setup's single-instance class (its full path) stands for a
// first start that is still running.
class ClassWindow {
public:
    explicit ClassWindow(const std::string& cls) : cls_(cls)
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = cls_.c_str();
        RegisterClassA(&wc);
        wnd_ = CreateWindowExA(0, cls_.c_str(), "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                               wc.hInstance, nullptr);
    }
    ~ClassWindow()
    {
        DestroyWindow(wnd_);
        UnregisterClassA(cls_.c_str(), GetModuleHandleA(nullptr));
    }
    HWND Handle() const { return wnd_; }

private:
    std::string cls_;
    HWND wnd_ = nullptr;
};

TEST_F(LauncherStart, SetupRunsItsWindowStepAndEnds)
{
    first_ = Start(exe_, "/L=1 /hide");
    ASSERT_TRUE(first_.Ok);
    // The window lives until the first timer tick ends the run.
    const SeenWindow w = WatchForWindow(first_.Pi.hProcess, exe_, 60000);
    ASSERT_TRUE(w.Ended) << "the setup start did not end";
    EXPECT_TRUE(w.Seen) << "no main window of the program's class";
    EXPECT_FALSE(w.Visible);
    EXPECT_EQ(w.Owner, first_.Pi.dwProcessId);
    DWORD code = 1;
    GetExitCodeProcess(first_.Pi.hProcess, &code);
    EXPECT_EQ(code, 0u);

    const std::string pid = std::to_string(first_.Pi.dwProcessId);
    const std::string& text = viewer_.Text();
    const size_t start = text.find(pid + " ==== STUB START ====> " + first_.CommandLine + "<\n");
    const size_t mode = text.find(pid + " ==== ThisIs_AutoUpdateProg=FALSE\n");
    const size_t end = text.find(pid + " ==== STUB END ====> " + first_.CommandLine + "<\n\n");
    ASSERT_NE(start, std::string::npos) << text;
    ASSERT_NE(mode, std::string::npos) << text;
    ASSERT_NE(end, std::string::npos) << text;
    EXPECT_LT(start, mode);
    EXPECT_LT(mode, end);
}

TEST_F(LauncherStart, SecondStartOfTheSameSetupEndsWithoutWindow)
{
    ClassWindow running(exe_);  // the class of a setup's window is its full path
    ASSERT_NE(running.Handle(), nullptr);

    second_ = Start(exe_, "/SleepX=1");
    ASSERT_TRUE(second_.Ok);
    int most = 0;  // a main window of its own would live at least until the first tick
    bool ended = false;
    for (int i = 0; i < 12000 && !ended; ++i) {
        most = std::max(most, CountWindowsOfClass(exe_));
        ended = WaitForSingleObject(second_.Pi.hProcess, 0) == WAIT_OBJECT_0;
        if (!ended) WaitPumped(nullptr, 5);
    }
    ASSERT_TRUE(ended) << "the second start did not end";
    EXPECT_EQ(most, 1);
    DWORD code = 1;
    GetExitCodeProcess(second_.Pi.hProcess, &code);
    EXPECT_EQ(code, 0u);

    const std::string pid = std::to_string(second_.Pi.dwProcessId);
    const std::string& text = viewer_.Text();
    const size_t start = text.find(pid + " ==== STUB START ====> " + second_.CommandLine + "<\n");
    const size_t end = text.find(pid + " ==== STUB END ====> " + second_.CommandLine + "<\n\n");
    ASSERT_NE(start, std::string::npos) << text;
    ASSERT_NE(end, std::string::npos) << text;
    EXPECT_LT(start, end);
    EXPECT_EQ(CountWindowsOfClass(exe_), 1);
}

TEST_F(LauncherStart, OtherPathIsAnotherInstance)
{
    // Only the same file counts: a window for another path does not stop this start.
    ClassWindow other(folder_ + "Other Setup.exe");
    ASSERT_NE(other.Handle(), nullptr);
    first_ = Start(exe_, "");
    ASSERT_TRUE(first_.Ok);
    const SeenWindow w = WatchForWindow(first_.Pi.hProcess, exe_, 60000);
    ASSERT_TRUE(w.Ended);
    EXPECT_TRUE(w.Seen);
    EXPECT_EQ(w.Owner, first_.Pi.dwProcessId);
}

// ---- agent packages ------------------------------------------------------------

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class AgentStart : public LauncherStart {
protected:
    void TearDown() override
    {
        for (const std::string& f : made_) DeleteFileA(f.c_str());
        LauncherStart::TearDown();
    }
    // The launcher with an agent package (agent name "VelAgent.exe", trace log on), stored as name.
    std::string MakeAgent(const std::string& name)
    {
        TPackOptions o;
        o.Image = ReadAll(ProgramFolder(true) + "launcher.exe");
        o.IsAutoUpdateProg = true;
        o.PackFlags = kFlagTraceLogEnabled;
        o.Agent.Exe = "VelAgent.exe";
        o.Agent.Url = "http://127.0.0.1:9/updates";
        o.Agent.InfoFile = "VelAgent.info";
        o.Seed = 7;
        const std::string path = folder_ + name;
        std::string error;
        EXPECT_TRUE(WritePackage(o, path, error)) << error;
        made_.push_back(path);
        made_.push_back(folder_ + (name.rfind("X_", 0) == 0 ? "" : "X_") + FileNameWithoutExt(name, false) +
                        ".log");
        return path;
    }
    // First close request only raises the abort flag; the second closes.
    static void CloseTwice(HWND wnd)
    {
        PostMessageA(wnd, WM_CLOSE, 0, 0);
        PostMessageA(wnd, WM_CLOSE, 0, 0);
    }
    static HWND WaitForWindow(const std::string& cls, HANDLE process)
    {
        for (int i = 0; i < 6000; ++i) {
            if (HWND w = FindWindowA(cls.c_str(), nullptr)) return w;
            if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0) return nullptr;
            WaitPumped(nullptr, 10);
        }
        return nullptr;
    }
    std::vector<std::string> made_;
};

TEST_F(AgentStart, AgentUnderAThirdNameStaysResidentAndASecondStartEnds)
{
    const std::string exe = MakeAgent("Other Tool.exe");
    first_ = Start(exe, "");
    ASSERT_TRUE(first_.Ok);
    HWND wnd = WaitForWindow(".AutoUpdate.Other Tool", first_.Pi.hProcess);
    ASSERT_NE(wnd, nullptr) << viewer_.Text();
    EXPECT_NE(
        viewer_.Text().find(std::to_string(first_.Pi.dwProcessId) + " ==== ThisIs_AutoUpdateProg=TRUE\n"),
        std::string::npos)
        << viewer_.Text();

    second_ = Start(exe, "");
    ASSERT_TRUE(second_.Ok);
    ASSERT_TRUE(WaitPumped(second_.Pi.hProcess, 60000)) << "the second start did not end";
    EXPECT_EQ(CountWindowsOfClass(".AutoUpdate.Other Tool"), 1);
    EXPECT_EQ(WaitForSingleObject(first_.Pi.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    CloseTwice(wnd);
    ASSERT_TRUE(WaitPumped(first_.Pi.hProcess, 60000)) << "the agent did not end on WM_CLOSE";
    EXPECT_NE(viewer_.Text().find(std::to_string(first_.Pi.dwProcessId) + " ==== STUB END ====> "),
              std::string::npos);

    const std::string log = ReadAll(folder_ + "X_Other Tool.log");
    EXPECT_NE(log.find("   === START === " + exe + "\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("   CommandLine=\"" + exe + "\"\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("   Agent Version=" + GetExeVersion(ProgramFolder(true) + "launcher.exe", 1, 4)),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("   ThisIs_Plain_AutoUpdate_Exe=FALSE\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("   ThisIs_X_AutoUpdate_Exe=FALSE\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("   === EXIT === " + exe + "\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("WinMain"), std::string::npos) << "only the X_ agent traces its steps";
}

TEST_F(AgentStart, PlainAgentHandsOverToItsXCopy)
{
    const std::string xExe = MakeAgent("X_VelAgent.exe");
    const std::string plain = MakeAgent("VelAgent.exe");

    // The X_ agent: test mode, main window, then its own deletion.
    first_ = Start(xExe, "");
    ASSERT_TRUE(first_.Ok);
    HWND wnd = WaitForWindow(".AutoUpdate.X_VelAgent", first_.Pi.hProcess);
    ASSERT_NE(wnd, nullptr) << viewer_.Text();

    // The plain agent while its X_ copy runs: no window, forwards its switches.
    second_ = Start(plain, "/_ZZ=5 /TEST=0");
    ASSERT_TRUE(second_.Ok);
    ASSERT_TRUE(WaitPumped(second_.Pi.hProcess, 60000));
    EXPECT_NE(viewer_.Text().find(std::to_string(second_.Pi.dwProcessId) + " CreateAndRun_X_Exe-1 5\n"),
              std::string::npos)
        << viewer_.Text();
    EXPECT_EQ(CountWindowsOfClass(".AutoUpdate.VelAgent"), 0);

    CloseTwice(wnd);
    ASSERT_TRUE(WaitPumped(first_.Pi.hProcess, 60000));

    // Both write the same trace file; the X_ agent's lines carry " X ".
    const std::string log = ReadAll(folder_ + "X_VelAgent.log");
    const size_t xStart = log.find(" X DoRunStubWin() --- Start\r\n");
    const size_t xSteps = log.find(" X CheckTestMode\r\n");
    const size_t xMain = log.find(" X WinMain\r\n");
    const size_t plainRunning = log.find("   X_ExeIsRunning=TRUE\r\n");
    const size_t plainIs = log.find("   ThisIs_Plain_AutoUpdate_Exe=TRUE\r\n");
    const size_t plainCopy = log.find("   CreateAndRun_X_Exe() --- Start\r\n");
    const size_t plainParams = log.find("   HandleParamOK() --- Start\r\n");
    const size_t xDelete = log.find(" X DeleteMySelf\r\n");
    for (size_t pos : {xStart, xSteps, xMain, plainRunning, plainIs, plainCopy, plainParams, xDelete})
        ASSERT_NE(pos, std::string::npos) << log;
    EXPECT_NE(log.find(" X ThisIs_X_AutoUpdate_Exe=TRUE\r\n"), std::string::npos) << log;
    EXPECT_LT(xStart, xSteps);
    EXPECT_LT(xSteps, xMain);
    EXPECT_LT(xMain, plainRunning);  // the plain start came while the X_ window was up
    EXPECT_LT(plainCopy, plainParams);
    EXPECT_LT(plainParams, xDelete);
}

// The agent timer count, which climbs to 1 before the first cycle, starts at
// -n for "/SleepX=n" with n from 0 up, and at -3 without the switch, with a
// value that is not a number and with a negative one. The agent's main window
// writes it to the debug stream.
TEST_F(AgentStart, SleepXSetsTheStartOfTheAgentTimerCount)
{
    const std::string exe = MakeAgent("Other Tool.exe");
    struct Case {
        const char* Args;
        int Count;
    };
    for (const Case c : {Case{"", -3}, Case{"/SleepX=abc", -3}, Case{"/SleepX=5", -5}, Case{"/SleepX=0", 0},
                         Case{"/SleepX=-2", -3}}) {
        first_ = Start(exe, c.Args);
        ASSERT_TRUE(first_.Ok) << c.Args;
        HWND wnd = WaitForWindow(".AutoUpdate.Other Tool", first_.Pi.hProcess);
        ASSERT_NE(wnd, nullptr) << c.Args << "\n" << viewer_.Text();
        const std::string line =
            std::to_string(first_.Pi.dwProcessId) + " ==== AgentTimerCount=" + std::to_string(c.Count) + "\n";
        EXPECT_NE(viewer_.Text().find(line), std::string::npos) << c.Args << "\n" << viewer_.Text();
        CloseTwice(wnd);
        ASSERT_TRUE(WaitPumped(first_.Pi.hProcess, 60000)) << "the agent did not end on WM_CLOSE";
        Close(first_);
    }
}

TEST_F(AgentStart, AgentAnswersRequestsFromItsDescriptionFiles)
{
    const std::string exe = MakeAgent("Other Tool.exe");
    // Beside the agent, named after agent block item 1 ("VelAgent.info").
    const std::string original = folder_ + "VelAgent.original";
    const std::string info = folder_ + "VelAgent.info";
    made_.push_back(original);
    made_.push_back(info);
    ASSERT_TRUE(WritePrivateProfileStringA("OriginalSetup", "VersionOriginal", "107", original.c_str()));
    ASSERT_TRUE(
        WritePrivateProfileStringA("OriginalSetup", "ProbeSecondsInterval", "3600", original.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("NewSetup", "VersionNew", "110", info.c_str()));
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, original.c_str());  // flush the cache
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, info.c_str());

    first_ = Start(exe, "");
    ASSERT_TRUE(first_.Ok);
    HWND wnd = WaitForWindow(".AutoUpdate.Other Tool", first_.Pi.hProcess);
    ASSERT_NE(wnd, nullptr) << viewer_.Text();

    auto request = [&](WPARAM code, LPARAM argument) {
        DWORD_PTR result = 12345;
        EXPECT_NE(SendMessageTimeoutA(wnd, 1125, code, argument, SMTO_NORMAL, 20000, &result), 0);
        return static_cast<int32_t>(result);
    };
    EXPECT_EQ(request(4, 0), 107);
    EXPECT_EQ(request(5, 0), 110);
    EXPECT_EQ(request(7, 0), 0);  // idle
    EXPECT_EQ(request(8, 0), 3600);
    EXPECT_EQ(request(99, 0), 0);

    const int32_t probeLast = 2 * 86400 + 3661;  // 01-JAN-1900 01:01:01
    EXPECT_EQ(request(12, 7200), 0);
    EXPECT_EQ(request(14, probeLast), 0);
    EXPECT_EQ(request(8, 0), 7200);
    EXPECT_EQ(request(10, 0), probeLast);
    auto key = [&](const char* name) {
        char buffer[256] = {};
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, original.c_str());  // no stale cache
        GetPrivateProfileStringA("OriginalSetup", name, "<none>", buffer, sizeof buffer, original.c_str());
        return std::string(buffer);
    };
    EXPECT_EQ(key("ProbeSecondsInterval"), "7200");
    EXPECT_EQ(key("ProbeSecondsLast"), std::to_string(probeLast));
    EXPECT_EQ(key("__ProbeSecondsLast"), ReadableAgentTime(probeLast));
    EXPECT_EQ(key("__ProbeSecondsLast").substr(0, 12), "01-JAN-1900 ");
    EXPECT_EQ(key("VersionOriginal"), "107");

    CloseTwice(wnd);
    ASSERT_TRUE(WaitPumped(first_.Pi.hProcess, 60000)) << "the agent did not end on WM_CLOSE";
}

}  // namespace
