// The launcher's copies of itself, for real: the plain agent makes and starts
// its X_ copy and forwards its control switches to the copy's window, the
// copies delete themselves by script when they end, and a span-CD setup runs
// from its Y_ copy in the temporary folder.
#include "base/paths.h"
#include "stub/self_copy.h"
#include "pkgtool/package_writer.h"
#include "win/debug_viewer.h"
#include "win/setup_test_support.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using setup_test::Exists;
using setup_test::ReadBytes;
using setup_test::RemoveTree;

// Dispatches this thread's messages (the debug viewer is reached by
// synchronous sends) for about ms.
void Pump(DWORD ms)
{
    const DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

// Pumps until the condition holds; false when it did not within ms.
template <class F> bool PumpUntil(F condition, DWORD ms)
{
    const DWORD end = GetTickCount() + ms;
    while (!condition()) {
        if (static_cast<LONG>(end - GetTickCount()) <= 0) return false;
        Pump(50);
    }
    return true;
}

struct TProcess {
    PROCESS_INFORMATION Pi = {};
    std::string CommandLine;
    bool Ok = false;
};

TProcess Start(const std::string& exe, const std::string& args)
{
    TProcess p;
    p.CommandLine = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
    std::string cmd = p.CommandLine;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    p.Ok = CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &p.Pi) != 0;
    if (p.Ok) CloseHandle(p.Pi.hThread);
    return p;
}

bool Ended(const TProcess& p, DWORD ms)
{
    return PumpUntil([&] { return WaitForSingleObject(p.Pi.hProcess, 0) == WAIT_OBJECT_0; }, ms);
}

void Finish(TProcess& p)
{
    if (!p.Ok) return;
    if (WaitForSingleObject(p.Pi.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(p.Pi.hProcess, 99);
    CloseHandle(p.Pi.hProcess);
    p.Ok = false;
}

// A running process found by its window, held open so that its end can be seen.
struct TWindowProcess {
    HWND Window = nullptr;
    DWORD Id = 0;
    HANDLE Handle = nullptr;
    ~TWindowProcess()
    {
        if (Handle) CloseHandle(Handle);
    }
    bool Gone(DWORD ms) const
    {
        return Handle && PumpUntil([&] { return WaitForSingleObject(Handle, 0) == WAIT_OBJECT_0; }, ms);
    }
};

bool FindByClass(const std::string& cls, TWindowProcess& found, DWORD ms)
{
    if (!PumpUntil([&] { return FindWindowA(cls.c_str(), nullptr) != nullptr; }, ms)) return false;
    found.Window = FindWindowA(cls.c_str(), nullptr);
    GetWindowThreadProcessId(found.Window, &found.Id);
    found.Handle = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, found.Id);
    return found.Handle != nullptr;
}

constexpr const char* kAgentName = "CopyAgent.exe";  // its own name: other suites run agents too
constexpr const char* kXClass = ".AutoUpdate.X_CopyAgent";

class AgentCopy : public ::testing::Test {
protected:
    void SetUp() override
    {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        CreateDirectoryA((TempFolder(true) + "velmora self copy").c_str(), nullptr);
        folder_ = TempFolder(true) + "velmora self copy\\" + info->name() + "\\";
        RemoveTree(folder_.substr(0, folder_.size() - 1));
        ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
        plain_ = folder_ + kAgentName;
        x_ = folder_ + "X_" + kAgentName;
        log_ = folder_ + "X_CopyAgent.log";
        ASSERT_TRUE(viewer_.ok());
        ASSERT_EQ(FindWindowA(kXClass, nullptr), nullptr) << "an X_ copy of an earlier run is still up";

        TPackOptions o;
        o.Image = ReadBytes(ProgramFolder(true) + "launcher.exe");
        o.IsAutoUpdateProg = true;
        o.PackFlags = kFlagTraceLogEnabled;
        o.Agent.Exe = kAgentName;
        o.Agent.Url = "http://127.0.0.1:9/updates";
        o.Agent.InfoFile = "CopyAgent.info";
        o.Seed = 7;
        std::string error;
        ASSERT_TRUE(WritePackage(o, plain_, error)) << error;
    }
    void TearDown() override
    {
        // An X_ copy still up is told to end, then the folder goes.
        if (HWND w = FindWindowA(kXClass, nullptr)) {
            PostMessageA(w, 1123, 0, 0);
            PumpUntil([] { return FindWindowA(kXClass, nullptr) == nullptr; }, 10000);
        }
        for (TProcess* p : {&first_, &second_}) Finish(*p);
        PumpUntil([&] { return !Exists(x_); }, 10000);  // its script may still run
        SetFileAttributesA(plain_.c_str(), FILE_ATTRIBUTE_NORMAL);
        SetFileAttributesA(x_.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!HasFailure()) RemoveTree(folder_.substr(0, folder_.size() - 1));
    }

    // Starts the plain agent and waits until it has ended and a window of the
    // X_ copy is up.
    void StartPlain(TProcess& p, const std::string& args, TWindowProcess& x)
    {
        p = Start(plain_, args);
        ASSERT_TRUE(p.Ok);
        ASSERT_TRUE(FindByClass(kXClass, x, 30000)) << viewer_.Text();
        ASSERT_TRUE(Ended(p, 30000));
    }
    std::string Log() const { return ReadBytes(log_); }
    // The debug-stream lines of one process.
    bool Said(const TProcess& p, const std::string& text) const
    {
        return viewer_.Text().find(std::to_string(p.Pi.dwProcessId) + " " + text) != std::string::npos;
    }

    std::string folder_, plain_, x_, log_;
    ViewerWindow viewer_;
    TProcess first_, second_;
};

// A plain agent without a copy running: it copies itself to X_ (a read-only
// file, as from a CD, gives a read-only copy), starts it hidden, waits for its
// window and posts the stop countdown; the copy quits after the countdown and
// its script deletes it.
TEST_F(AgentCopy, PlainAgentStartsItsCopyWhichStopsAndDeletesItself)
{
    ASSERT_TRUE(SetFileAttributesA(plain_.c_str(), FILE_ATTRIBUTE_READONLY));
    TWindowProcess x;
    ASSERT_NO_FATAL_FAILURE(StartPlain(first_, "/STOP=2", x));
    EXPECT_NE(x.Id, first_.Pi.dwProcessId);
    EXPECT_FALSE(IsWindowVisible(x.Window));
    EXPECT_TRUE(Exists(x_));
    EXPECT_TRUE(GetFileAttributesA(x_.c_str()) & FILE_ATTRIBUTE_READONLY);

    ASSERT_TRUE(x.Gone(30000)) << "the X_ copy did not stop after its countdown";
    EXPECT_TRUE(PumpUntil([&] { return !Exists(x_); }, 60000)) << "the script left the read-only X_ copy";
    EXPECT_TRUE(Exists(plain_));

    const std::string log = Log();
    for (const std::string& line :
         std::vector<std::string>{"   Wait 0 SEC\r\n", "   Create X_ File \r\n",
                                  "   WinExec: \"" + x_ + "\"\r\n",  // the folder holds a blank
                                  "   PostProcessMessage(wm_ShutDown) to: " + x_ + "\r\n", " X WinMain\r\n",
                                  " X DeleteMySelf\r\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    EXPECT_TRUE(Said(first_, "CreateAndRun_X_Exe-2\n")) << viewer_.Text();
    EXPECT_EQ(viewer_.Text().find("not posted"), std::string::npos) << viewer_.Text();
    EXPECT_EQ(log.find("not posted"), std::string::npos) << log;
}

// "/WM_MSG=" registers a controller with the copy, which answers with its
// window (50) and the request message (51); a second start without "/_ZZ=99"
// leaves the running copy alone and only forwards "/STOP=".
TEST_F(AgentCopy, ControllerRegistrationAndASecondStart)
{
    const std::string record = folder_ + "controller.txt";
    TProcess controller = Start(ProgramFolder(true) + "agent_controller_gui.exe", "\"" + record + "\" 1500");
    ASSERT_TRUE(controller.Ok);
    std::string window;
    ASSERT_TRUE(PumpUntil(
        [&] {
            const std::string text = ReadBytes(record);
            const size_t at = text.find("window=");
            if (at == std::string::npos || text.find("\r\n", at) == std::string::npos) return false;
            window = text.substr(at + 7, text.find("\r\n", at) - at - 7);
            return true;
        },
        30000));

    TWindowProcess x;
    ASSERT_NO_FATAL_FAILURE(StartPlain(first_, "/WM_MSG=" + window + ":1500", x));
    EXPECT_TRUE(PumpUntil([&] { return ReadBytes(record).find("51 1125\r\n") != std::string::npos; }, 30000))
        << ReadBytes(record);
    EXPECT_NE(ReadBytes(record).find("50 " + std::to_string(reinterpret_cast<uintptr_t>(x.Window)) + "\r\n"),
              std::string::npos)
        << ReadBytes(record);
    EXPECT_NE(Log().find("   PostProcessMessage(wm_LocalMsg) to: " + x_ + " - :" + window + ":1500:\r\n"),
              std::string::npos)
        << Log();

    // The second start finds the copy's window: no new copy, the stop goes to the first.
    second_ = Start(plain_, "/STOP=0");
    ASSERT_TRUE(second_.Ok);
    ASSERT_TRUE(Ended(second_, 30000));
    EXPECT_TRUE(Said(second_, "CreateAndRun_X_Exe-1 \n")) << viewer_.Text();
    EXPECT_FALSE(Said(second_, "CreateAndRun_X_Exe-2")) << viewer_.Text();
    ASSERT_TRUE(x.Gone(30000)) << "the running copy did not get the stop";
    EXPECT_EQ(FindWindowA(kXClass, nullptr), nullptr);
    PostMessageA(FindWindowA("VelAgentControllerTest", nullptr), WM_CLOSE, 0, 0);
    Ended(controller, 10000);
    Finish(controller);
}

// "/_ZZ=99" (the agent's own restart) makes and starts the copy even though
// one is up; "/WAIT=" gives the old copy time to end first.
TEST_F(AgentCopy, RestartReplacesTheRunningCopy)
{
    TWindowProcess old;
    ASSERT_NO_FATAL_FAILURE(StartPlain(first_, "", old));

    second_ = Start(plain_, "/_ZZ=99 /WAIT=3 /TRANSIENT=|1|0|");
    ASSERT_TRUE(second_.Ok);
    // The second start sees the old window, then waits; meanwhile the old copy ends.
    Pump(1000);
    PostMessageA(old.Window, 1123, 0, 0);
    ASSERT_TRUE(old.Gone(30000));
    ASSERT_TRUE(Ended(second_, 60000));
    EXPECT_TRUE(Said(second_, "CreateAndRun_X_Exe-1 99\n")) << viewer_.Text();
    EXPECT_TRUE(Said(second_, "CreateAndRun_X_Exe-2\n")) << viewer_.Text();
    TWindowProcess fresh;
    ASSERT_TRUE(FindByClass(kXClass, fresh, 30000)) << viewer_.Text() << Log();
    EXPECT_NE(fresh.Id, old.Id);
    const std::string log = Log();
    EXPECT_NE(log.find("   X_ExeIsRunning=TRUE\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("   Wait 3 SEC\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("   WinExec: \"" + x_ + "\" /TRANSIENTx=|1|0|\r\n"), std::string::npos) << log;
    // The copy that runs the agent applies the settings itself.
    EXPECT_NE(log.find(" X TransientSettings=|1|0|255|255|255|255|255|255|\r\n"), std::string::npos) << log;
}

// "/TEST=n": the update request goes to the copy; a copy started for a test
// above 0 quits two ticks later, one that was running keeps running.
TEST_F(AgentCopy, TestRequestReachesTheCopy)
{
    TWindowProcess x;
    ASSERT_NO_FATAL_FAILURE(StartPlain(first_, "/TEST=1", x));
    ASSERT_TRUE(x.Gone(30000)) << "the copy started for the test did not end";
    const std::string log = Log();
    EXPECT_NE(log.find("   PostProcessMessage(wm_AgentMsg) to: " + x_ + " - AU_PerformUpdateCycle (1)\r\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(viewer_.Text().find("not posted"), std::string::npos) << viewer_.Text();
    // The request made the copy probe its update location at once.
    EXPECT_NE(log.find(" X Download START: http://127.0.0.1:9/updates"), std::string::npos) << log;

    // A running copy gets only the request. (Level 1: level 2 is the user's
    // check, which would ask first.)
    PumpUntil([&] { return !Exists(x_); }, 30000);
    TWindowProcess running;
    ASSERT_NO_FATAL_FAILURE(StartPlain(second_, "", running));
    TProcess third = Start(plain_, "/TEST=1");
    ASSERT_TRUE(third.Ok);
    ASSERT_TRUE(Ended(third, 30000));
    EXPECT_FALSE(running.Gone(5000)) << "a running copy must not be stopped by a test request";
    EXPECT_FALSE(Said(third, "not posted")) << viewer_.Text();
    Finish(third);
}

// Without the copy's window the forwarded switches are reported, not lost silently.
TEST_F(AgentCopy, MissingWindowIsReported)
{
    // An X_ file that is no agent (the bare launcher runs a setup without a
    // package and ends) and that the plain agent cannot replace: held open.
    ASSERT_TRUE(CopyFileA((ProgramFolder(true) + "launcher.exe").c_str(), x_.c_str(), FALSE));
    HANDLE held = CreateFileA(x_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    first_ = Start(plain_, "/STOP=1");
    ASSERT_TRUE(first_.Ok);
    ASSERT_TRUE(Ended(first_, 60000));
    EXPECT_TRUE(
        Said(first_, "HandleParamOK: /STOP= not posted to " + x_ + " - no window of the X_ copy in time"))
        << viewer_.Text();
    EXPECT_NE(Log().find("HandleParamOK: /STOP= not posted to " + x_), std::string::npos) << Log();
    CloseHandle(held);
}

}  // namespace

namespace {

// A span-CD setup started from the root of a CD drive copies itself as Y_
// into its temporary folder and runs from there with the first volume named;
// the copy extracts the volumes, runs the setup program and removes itself
// and its folder. The test prefix has drive X: typed "cdrom" (wine-run).
class SpanCdCopy : public setup_test::SetupFlowTest {
protected:
    void SetUp() override
    {
        SetupFlowTest::SetUp();
        ASSERT_EQ(GetDriveTypeA("X:\\"), static_cast<UINT>(DRIVE_CDROM))
            << "no CD drive X: in the test prefix";
        launcher_ = "X:\\my setup.exe";
        ASSERT_TRUE(viewer_.ok());
    }
    void TearDown() override
    {
        for (const std::string& f : {launcher_, launcher_ + ".001", launcher_ + ".002"}) {
            SetFileAttributesA(f.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(f.c_str());
        }
        SetupFlowTest::TearDown();
    }
    ViewerWindow viewer_;
};

TEST_F(SpanCdCopy, RelaunchesFromItsYCopyWhichRemovesItselfAndItsFolder)
{
    using namespace setup_test;
    TVolume own = Package();
    own.Flags = 0x04;  // relaunch from a temporary copy
    const std::string part1(3000, '1'), part2 = "two";
    TVolume v1;
    v1.Flags = 0x02;  // more volumes follow
    v1.File("fake_setup_gui.exe*/V", fake_, Stamp()).File("split.bin", part1, Stamp(2));
    TVolume v2;
    v2.First = false;
    v2.File("split.bin", part2, Stamp(2));
    WriteBytes(launcher_, own.Build());
    WriteBytes(launcher_ + ".001", v1.Build());
    WriteBytes(launcher_ + ".002", v2.Build());
    SetFileAttributesA(launcher_.c_str(), FILE_ATTRIBUTE_READONLY);  // as on a CD

    TRun run;
    run.Args = "/L=1";
    Run(run);
    SetFileAttributesA(launcher_.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(run.Ended);
    EXPECT_EQ(run.ExitCode, 0u);

    // The Y_ copy's start banner names its command line.
    const std::string tail = "Y_my setup.exe\" /L=1 /SpanCdLvl=2 /SpanDiskFName1=\"" + launcher_ +
                             ".001\" /OriginExe=\"" + launcher_ + "\"<";
    std::string yCopy;
    ASSERT_TRUE(PumpUntil(
        [&] {
            const std::string text = viewer_.Text();
            const size_t at = text.find(tail);
            if (at == std::string::npos) return false;
            const size_t open = text.rfind("> \"", at);
            yCopy = text.substr(open + 3, at + 14 - open - 3);
            return true;
        },
        60000))
        << viewer_.Text();
    EXPECT_EQ(yCopy.substr(yCopy.size() - 14), "Y_my setup.exe");

    ASSERT_TRUE(PumpUntil([&] { return Exists(record_); }, 60000)) << viewer_.Text();
    Pump(500);
    const auto rec = ReadRecord(record_);
    ASSERT_TRUE(rec.count("cmd"));
    // The setup program sees the launcher first started, not the copy.
    EXPECT_NE(rec.at("cmd").find(" /OriginExe=\"" + launcher_ + "\""), std::string::npos) << rec.at("cmd");
    EXPECT_EQ(rec.at("cmd").find("/SpanCdLvl"), std::string::npos) << rec.at("cmd");
    EXPECT_EQ(ReadBytes(copies_ + "\\split.bin"), part1 + part2);

    const std::string yFolder = yCopy.substr(0, yCopy.find_last_of('\\'));
    EXPECT_TRUE(PumpUntil([&] { return !Exists(yCopy) && !Exists(yFolder); }, 60000))
        << yFolder << " is still there\n"
        << viewer_.Text();
    EXPECT_TRUE(Exists(launcher_));
}

}  // namespace

namespace {

// The self-delete script under the system's command interpreter.
class DeleteScript : public ::testing::Test {
protected:
    void SetUp() override
    {
        CreateDirectoryA((TempFolder(true) + "velmora del script").c_str(), nullptr);
        folder_ = TempFolder(true) + "velmora del script\\copy folder";
        CreateDirectoryA(folder_.c_str(), nullptr);
        s_.Program = folder_ + "\\Y_my setup.exe";
        s_.Folder = folder_;
        s_.ScriptPath = TempFolder(true) + DeleteScriptName(GetCurrentProcessId());
        setup_test::WriteBytes(s_.Program, "MZ not really a program");
    }
    void TearDown() override
    {
        SetFileAttributesA(s_.Program.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveTree(TempFolder(true) + "velmora del script");
        DeleteFileA(s_.ScriptPath.c_str());
    }
    // Writes the script and runs it hidden; true when the interpreter ended.
    bool RunScript()
    {
        setup_test::WriteBytes(s_.ScriptPath, DeleteScriptText(s_));
        TProcess p = Start(SystemFolder(true) + "cmd.exe", "/C \"" + s_.ScriptPath + "\"");
        const bool ended = p.Ok && Ended(p, 120000);
        Finish(p);
        return ended;
    }
    std::string folder_;
    TDeleteScript s_;
};

TEST_F(DeleteScript, RemovesAReadOnlyCopyItsFolderAndItself)
{
    ASSERT_TRUE(SetFileAttributesA(s_.Program.c_str(), FILE_ATTRIBUTE_READONLY));
    s_.RemoveFolder = true;
    ASSERT_TRUE(RunScript());
    EXPECT_FALSE(Exists(s_.Program));
    EXPECT_FALSE(Exists(folder_));
    EXPECT_FALSE(Exists(s_.ScriptPath));
}

// A file that stays in use: the script gives up after its tries and still
// removes itself; the folder, not empty, stays.
TEST_F(DeleteScript, GivesUpOnAFileInUse)
{
    HANDLE held =
        CreateFileA(s_.Program.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    s_.RemoveFolder = true;
    s_.Tries = 2;
    const bool ended = RunScript();
    CloseHandle(held);
    ASSERT_TRUE(ended) << "the script did not give up";
    EXPECT_TRUE(Exists(s_.Program));
    EXPECT_TRUE(Exists(folder_));
    EXPECT_FALSE(Exists(s_.ScriptPath));
}

}  // namespace
