// The update agent for real: a launcher with an agent package probes an
// update location (a folder, or the local HTTP server), decides, shuts a
// running test program down, runs the update package, records the new
// version and starts the program again. The test process registers a
// controller window and records the agent's events.
#include "win/setup_test_support.h"

#include "win/http_test_support.h"
#include "win/signing_test_support.h"
#include "win/web_link_handler.h"

#include "package/package_reader.h"
#include "package/token.h"

#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace setup_test;

constexpr const char* kToken = "agent secret 42";
constexpr UINT kEventMessage = WM_APP + 77;
constexpr UINT kStopCountdown = 1123;
constexpr UINT kRegister = 1124;
constexpr UINT kRequest = 1125;
constexpr const char* kProgramClass = "VelTestOwnerMain";

std::vector<std::pair<WPARAM, LPARAM>> g_events;

LRESULT CALLBACK ControllerProc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == kEventMessage) {
        g_events.emplace_back(wp, lp);
        return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

HWND MakeController()
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = ControllerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VelAgentTestController";
    RegisterClassA(&wc);
    return CreateWindowExA(0, wc.lpszClassName, "controller", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                           wc.hInstance, nullptr);
}

void PumpFor(DWORD ms)
{
    const DWORD end = GetTickCount() + ms;
    do {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
        Sleep(10);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

using TKeys = std::map<std::string, std::string>;
using TSections = std::map<std::string, TKeys>;

std::string Ini(const TSections& sections)
{
    std::string text;
    for (const auto& [section, keys] : sections) {
        text += "[" + section + "]\r\n";
        for (const auto& [k, v] : keys) text += k + "=" + v + "\r\n";
    }
    return text;
}

std::string IniValue(const std::string& file, const std::string& section, const std::string& key)
{
    char buf[512] = {};
    GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buf, sizeof buf, file.c_str());
    return buf;
}

struct TAgentRun {
    std::vector<std::string> Answers;          // buttons for the boxes, in order ("" closes the box)
    std::vector<std::string> Boxes;            // texts of the boxes seen
    std::string StopAfter;                     // trace text after which the agent is told to stop
    std::function<void(HWND agent)> OnWindow;  // once the agent's window exists
    std::function<bool()> KillWhen;            // the agent is killed as soon as this holds
    bool Killed = false;
    bool Ended = false;
    bool InformSeen = false;
};

class AgentCycle : public SetupFlowTest {
protected:
    void SetUp() override
    {
        SetupFlowTest::SetUp();
        g_events.clear();
        agent_ = work_ + "\\Other Tool.exe";
        updates_ = work_ + "\\updates";
        CreateDirectoryA(updates_.c_str(), nullptr);
        program_ = work_ + "\\my program.exe";
        WriteBytes(program_, ReadBytes(ProgramFolder() + "proc_owner_gui.exe"));
        original_ = work_ + "\\VelAgent.original";
        info_ = work_ + "\\VelAgent.info";
        log_ = work_ + "\\X_Other Tool.log";
        controller_ = MakeController();

        origin_ = {{"OriginalSetup",
                    {{"VersionOriginal", "100"},
                     {"Stamp", "1"},
                     {"ProbeSecondsInterval", "0"},
                     {"ProgramName", "My Program"}}},
                   {"Directories", {{"TargetDir", work_}}},
                   {"AutoUpdate",
                    {{"s11", "A new PROG_NAME is there. "},
                     {"s12", "Download it?"},
                     {"s14", "Install PROG_NAME now?"},
                     {"s15", "Please close PROG_NAME."},
                     {"s16", "PROG_NAME is up to date."},
                     {"s17", " Start it again?"},
                     {"s21", "No update."},
                     {"s22", "Check for a new PROG_NAME?"}}}};
        newSetup_ = {{"VersionNew", "101"},
                     {"Stamp", "2"},
                     {"DownloadURL_UPDATE", updates_},
                     {"NameOfUpdateFile", "update.exe"},
                     {"RequestConfirmationBeforeDownload", "0"},
                     {"RequestConfirmationBeforeInstall", "0"},
                     {"BackgroundUpdate", "1"},
                     {"ShutDownMethod", "Using WM_CLOSE"},
                     {"RunningProcess", "<InstallDir>my program.exe"},
                     {"RestartProcess", "1"},
                     {"ProgramName", "My Program 2"}};
    }
    void TearDown() override
    {
        KillProgram();
        if (controller_) DestroyWindow(controller_);
        SetupFlowTest::TearDown();
    }

    // The agent under a name of its own, so that it runs its window at once.
    // `signers`: the thumbprints of the sixth agent item, left out when empty.
    void WriteAgent(const std::string& location, const std::string& signers = "")
    {
        TVolume v = Package();
        v.AutoUpdateProg = true;
        v.Flags = kFlagTraceLogEnabled;
        v.Agent = "|" + location + "|VelAgent.info|VelAgent.exe|" + ScrambleToken(kToken, 7) + "|0|" +
                  (signers.empty() ? "" : signers + "|");
        WriteBytes(agent_, v.Build());
    }

    // An update package: the fake setup program, marked, with the token.
    std::string UpdatePackage(const std::string& token = kToken, const std::string& args = "/U")
    {
        TVolume v = Package();
        v.Agent = "|http:/|.info|.exe|" + ScrambleToken(token, 9) + "|0|";
        v.File("fake_setup_gui.exe*" + args, fake_, Stamp(0));
        return v.Build();
    }

    // The description files: .ORIGINAL in the agent folder, .INFO at the location.
    void Publish(const std::string& updateData, const std::string& infoFolder = "", int64_t size = -1,
                 bool original = true)
    {
        newSetup_["SizeOfUpdateFile"] =
            std::to_string(size < 0 ? static_cast<int64_t>(updateData.size()) : size);
        if (original) WriteBytes(original_, Ini(origin_));
        TSections info = {{"NewSetup", newSetup_}};
        if (!general_.empty()) info["General"] = general_;
        if (!inform_.empty()) info["AutoInform"] = inform_;
        WriteBytes((infoFolder.empty() ? updates_ : infoFolder) + "\\VelAgent.info", Ini(info));
    }

    // The agent and its update location on the test server (answer options
    // as the server reads them), the update served as `served`; returns the
    // server folder.
    std::string PublishOverHttp(const std::string& options, const std::string& update,
                                const std::string& served)
    {
        const std::string folder = http_test::Unique("au");
        CreateDirectoryA((http_test::Root() + "\\" + folder).c_str(), nullptr);
        http_test::Serve(folder + "\\update.exe", update, served == update ? "" : served);
        RepublishOverHttp(options, update, folder);
        return folder;
    }
    // The same location with other answer options; `original`: the agent's
    // description is written anew too.
    void RepublishOverHttp(const std::string& options, const std::string& update, const std::string& folder,
                           bool original = true)
    {
        const std::string url =
            "http://127.0.0.1:" + std::to_string(http_test::Port()) + "/" + options + "/" + folder;
        WriteAgent(url);
        newSetup_["DownloadURL_UPDATE"] = url;
        newSetup_["ShutDownMethod"] = "Don't Shut Down";
        newSetup_["RestartProcess"] = "0";
        Publish(update, http_test::Root() + "\\" + folder, -1, original);
    }

    void StartProgram()
    {
        std::string line = "\"" + program_ + "\"";
        STARTUPINFOA si{};
        si.cb = sizeof si;
        ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, work_.c_str(),
                                   &si, &programPi_))
            << GetLastError();
        for (int i = 0; i < 500 && !FindWindowA(kProgramClass, nullptr); ++i) Sleep(10);
        ASSERT_NE(FindWindowA(kProgramClass, nullptr), nullptr);
    }
    // The program's exit code, or STILL_ACTIVE.
    DWORD ProgramExit(DWORD waitMs = 5000)
    {
        DWORD code = 0;
        WaitForSingleObject(programPi_.hProcess, waitMs);
        GetExitCodeProcess(programPi_.hProcess, &code);
        return code;
    }
    void KillProgram()
    {
        if (programPi_.hProcess) {
            TerminateProcess(programPi_.hProcess, 1);
            CloseHandle(programPi_.hProcess);
            CloseHandle(programPi_.hThread);
            programPi_ = {};
        }
        // A restarted one.
        while (HWND w = FindWindowA(kProgramClass, nullptr)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
            if (!p) break;
            TerminateProcess(p, 1);
            WaitForSingleObject(p, 5000);
            CloseHandle(p);
        }
    }

    std::string Log() const { return ReadBytes(log_); }

    // Runs the agent until it ends (the update restarts it) or, after the
    // trace shows `StopAfter`, a stop countdown of 0 ends it.
    void RunAgent(TAgentRun& run, const std::string& args = "/SleepX=0")
    {
        std::string line = "\"" + agent_ + "\" " + args;
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, work_.c_str(),
                                   &si, &pi));
        const std::string cls = ".AutoUpdate.Other Tool";
        HWND agent = nullptr;
        bool stopped = false;
        size_t answer = 0;
        const DWORD start = GetTickCount();
        while (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
            if (GetTickCount() - start > 90000) {
                TerminateProcess(pi.hProcess, 9999);
                ADD_FAILURE() << "the agent did not end; trace:\n" << Log();
                break;
            }
            if (!agent && (agent = FindWindowA(cls.c_str(), nullptr)) != nullptr) {
                PostMessageA(agent, kRegister, reinterpret_cast<WPARAM>(controller_), kEventMessage);
                if (run.OnWindow) run.OnWindow(agent);
            }
            TFindBox fb{pi.dwProcessId};
            EnumWindows(FindBox, reinterpret_cast<LPARAM>(&fb));
            if (fb.Box) {
                PumpFor(300);
                TSeenBox seen;
                EnumChildWindows(fb.Box, CollectText, reinterpret_cast<LPARAM>(&seen.Text));
                run.Boxes.push_back(seen.Text);
                TFindButton button{answer < run.Answers.size() ? run.Answers[answer] : ""};
                ++answer;
                EnumChildWindows(fb.Box, FindButton, reinterpret_cast<LPARAM>(&button));
                PostMessageA(button.Found ? button.Found : fb.Box, button.Found ? BM_CLICK : WM_CLOSE, 0, 0);
                PumpFor(500);
            }
            if (HWND inform = FindInform(pi.dwProcessId)) {
                run.InformSeen = true;
                PumpFor(300);
                PostMessageA(inform, WM_CLOSE, 0, 0);
            }
            if (run.KillWhen && run.KillWhen()) {
                TerminateProcess(pi.hProcess, 99);
                WaitForSingleObject(pi.hProcess, 10000);
                run.Killed = true;
                break;
            }
            if (agent && !stopped && !run.StopAfter.empty() &&
                Log().find(run.StopAfter) != std::string::npos) {
                PostMessageA(agent, kStopCountdown, 0, 0);
                stopped = true;
            }
            PumpFor(50);
        }
        run.Ended = WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0;
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        PumpFor(200);  // the last events
    }

    // One update cycle from the folder location with `update` published and
    // the program left running; a box is answered with OK.
    void RunUpdateCycle(TAgentRun& run, const std::string& update, const std::string& signers = "")
    {
        DeleteFileA(log_.c_str());
        DeleteFileA(record_.c_str());
        WriteAgent(updates_, signers);
        WriteBytes(updates_ + "\\update.exe", update);
        newSetup_["ShutDownMethod"] = "Don't Shut Down";
        Publish(update);
        run.Answers = {"OK"};
        run.StopAfter = "PerformAutoUpdate() - END";
        RunAgent(run);
    }

    static HWND FindInform(DWORD pid)
    {
        struct TFind {
            DWORD Pid;
            HWND Found = nullptr;
        } f{pid};
        EnumWindows(
            [](HWND w, LPARAM lp) CALLBACK -> BOOL {
                auto* f = reinterpret_cast<TFind*>(lp);
                DWORD owner = 0;
                GetWindowThreadProcessId(w, &owner);
                char cls[64] = {};
                GetClassNameA(w, cls, sizeof cls);
                if (owner == f->Pid && std::string(cls) == "VRichEditBox" && IsWindowVisible(w)) {
                    f->Found = w;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&f));
        return f.Found;
    }

    std::string agent_, updates_, program_, original_, info_, log_;
    HWND controller_ = nullptr;
    PROCESS_INFORMATION programPi_{};
    TSections origin_;
    TKeys newSetup_, general_, inform_;
};

TEST_F(AgentCycle, UpdatesFromAFolderClosesTheProgramRecordsTheVersionAndRestartsIt)
{
    WriteAgent(updates_);
    const std::string update = UpdatePackage();
    WriteBytes(updates_ + "\\update.exe", update);
    Publish(update);
    StartProgram();

    TAgentRun run;
    RunAgent(run);
    ASSERT_TRUE(run.Ended);
    const std::string log = Log();
    EXPECT_TRUE(run.Boxes.empty()) << run.Boxes[0];

    EXPECT_EQ(ProgramExit(), 7u) << "closed through its main window";
    const auto rec = ReadRecord(record_);
    ASSERT_TRUE(rec.count("cmd")) << log;
    EXPECT_NE(rec.at("cmd").find(" /OriginalInfoFile=\"" + info_ + "\" /U /TH_ID="), std::string::npos)
        << rec.at("cmd");
    EXPECT_EQ(rec.at("show"), "0") << "a background update runs hidden";
    EXPECT_EQ(IniValue(original_, "OriginalSetup", "VersionOriginal"), "101");
    EXPECT_EQ(IniValue(original_, "OriginalSetup", "Stamp"), "2");
    EXPECT_FALSE(IniValue(original_, "OriginalSetup", "ReAskSecondsLast").empty());
    EXPECT_FALSE(Exists(work_ + "\\update.exe")) << "the update file goes after its run";
    EXPECT_EQ(ParentOf(rec.at("self")).find(ParentOf(work_)), std::string::npos);
    EXPECT_FALSE(Exists(ParentOf(rec.at("self")))) << "the update's folder goes";

    // Started again, and a fresh agent asked for (its file is not there).
    for (int i = 0; i < 300 && !FindWindowA(kProgramClass, nullptr); ++i) Sleep(10);
    EXPECT_NE(FindWindowA(kProgramClass, nullptr), nullptr) << "the program was not started again";
    EXPECT_NE(log.find("Shut Down Process() - START  (" + program_ + ")  Method: Using WM_CLOSE"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(".. WinExec - \"" + work_ +
                       "\\VelAgent.exe\" /_ZZ=99 /WAIT=10 /TRANSIENT=|255|255|255|255|"
                       "255|255|255|255|"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("PerformAutoUpdate() - END    Result=TRUE"), std::string::npos) << log;

    const std::vector<std::pair<WPARAM, LPARAM>> expected = {{50, 0}, {51, 1125}, {40, 1}, {40, 2}, {41, 1},
                                                             {41, 2}, {42, 1},    {42, 2}, {43, 0}};
    ASSERT_EQ(g_events.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(g_events[i].first, expected[i].first) << i;
        if (i != 0) {
            EXPECT_EQ(g_events[i].second, expected[i].second) << i;
        }
    }
}

TEST_F(AgentCycle, EachShutDownMethod)
{
    struct Case {
        const char* Method;
        const char* Answer;  // of the box that asks to close the program
        DWORD ProgramExit;   // STILL_ACTIVE: left running
        bool Updated;
    };
    for (const Case c : {Case{"Using WM_QUIT", "", 15, true}, Case{"Using Terminate Process", "", 0, true},
                         Case{"Don't Shut Down", "", STILL_ACTIVE, true},
                         Case{"Issue a Message Box", "Cancel", STILL_ACTIVE, false}}) {
        SCOPED_TRACE(c.Method);
        KillProgram();
        DeleteFileA(record_.c_str());
        DeleteFileA(log_.c_str());
        WriteAgent(updates_);
        const std::string update = UpdatePackage();
        WriteBytes(updates_ + "\\update.exe", update);
        newSetup_["ShutDownMethod"] = c.Method;
        Publish(update);
        StartProgram();

        TAgentRun run;
        run.Answers = {c.Answer};
        run.StopAfter = "PerformAutoUpdate() - END";
        RunAgent(run);
        ASSERT_TRUE(run.Ended);
        const DWORD exit = ProgramExit(c.ProgramExit == STILL_ACTIVE ? 0 : 5000);
        if (c.ProgramExit == STILL_ACTIVE || c.ProgramExit == 15) {
            EXPECT_EQ(exit, c.ProgramExit);
        } else {
            EXPECT_NE(exit, static_cast<DWORD>(STILL_ACTIVE));
        }
        EXPECT_EQ(Exists(record_), c.Updated) << Log();
        EXPECT_EQ(IniValue(original_, "OriginalSetup", "VersionOriginal"), c.Updated ? "101" : "100");
        if (std::string(c.Answer) == "Cancel") {
            ASSERT_EQ(run.Boxes.size(), 1u);
            EXPECT_NE(run.Boxes[0].find("Please close my program.exe."), std::string::npos) << run.Boxes[0];
        }
    }
}

TEST_F(AgentCycle, VersionIsRecordedOnlyAfterACompletedRun)
{
    SetEnvironmentVariableA("VEL_FAKE_KEEP_ATOM", "1");
    WriteAgent(updates_);
    const std::string update = UpdatePackage();
    WriteBytes(updates_ + "\\update.exe", update);
    newSetup_["ShutDownMethod"] = "Don't Shut Down";
    Publish(update);

    TAgentRun run;
    run.StopAfter = "PerformAutoUpdate() - END";
    RunAgent(run);
    ASSERT_TRUE(run.Ended);
    EXPECT_TRUE(Exists(record_)) << "the update ran";
    EXPECT_EQ(IniValue(original_, "OriginalSetup", "VersionOriginal"), "100");
    EXPECT_NE(Log().find("PerformAutoUpdate() - END    Result=FALSE"), std::string::npos) << Log();
    EXPECT_FALSE(Exists(work_ + "\\update.exe"));
}

TEST_F(AgentCycle, RefusalsAreTracedWithTheirCodesAndRunNothing)
{
    struct Case {
        const char* Name;
        std::function<void(TSections& origin, TKeys& newSetup)> Change;
        const char* Trace;
    };
    const Case cases[] = {
        {"offered before, re-asking not due",
         [](TSections& origin, TKeys& newSetup) {
             newSetup["Stamp"] = "1";
             origin["OriginalSetup"]["ReAskSecondsInterval"] = "999999999";
             origin["OriginalSetup"]["ReAskSecondsLast"] = "4000000000";
         },
         "GetOkToPerformAU = 2 - "},
        {"not a valid version", [](TSections&, TKeys& newSetup) { newSetup["ValidVersions"] = "98,99"; },
         "GetOkToPerformAU = 4 - "},
        {"not newer", [](TSections&, TKeys& newSetup) { newSetup["VersionNew"] = "100"; },
         "GetOkToPerformAU = 3 - "},
    };
    const TSections origin = origin_;
    const TKeys newSetup = newSetup_;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        DeleteFileA(log_.c_str());
        WriteAgent(updates_);
        const std::string update = UpdatePackage();
        WriteBytes(updates_ + "\\update.exe", update);
        origin_ = origin;
        newSetup_ = newSetup;
        c.Change(origin_, newSetup_);
        Publish(update);
        TAgentRun run;
        run.StopAfter = "GetOkToPerformAU = ";
        RunAgent(run);
        ASSERT_TRUE(run.Ended);
        EXPECT_NE(Log().find(c.Trace), std::string::npos) << Log();
        EXPECT_FALSE(Exists(record_));
        EXPECT_EQ(IniValue(original_, "OriginalSetup", "VersionOriginal"), "100");
    }
}

TEST_F(AgentCycle, UpdateFileNamesCannotLeaveTheAgentFolderOrNameItsOwnFiles)
{
    // What "..\..\x.exe" would name when taken whole: a package without the
    // token, which must never run.
    const std::string planted = ParentOf(ParentOf(work_)) + "\\x.exe";
    WriteBytes(planted, UpdatePackage("another token", "/PLANTED"));
    WriteAgent(updates_);
    const std::string update = UpdatePackage();
    WriteBytes(updates_ + "\\x.exe", update);
    newSetup_["NameOfUpdateFile"] = "..\\..\\x.exe";
    newSetup_["ShutDownMethod"] = "Don't Shut Down";
    newSetup_["RestartProcess"] = "0";
    Publish(update);
    TAgentRun run;
    run.StopAfter = "PerformAutoUpdate() - END";
    RunAgent(run);
    ASSERT_TRUE(run.Ended);
    const auto rec = ReadRecord(record_);
    ASSERT_TRUE(rec.count("cmd")) << Log();
    EXPECT_NE(rec.at("cmd").find("\" /U /TH_ID="), std::string::npos) << rec.at("cmd");
    EXPECT_TRUE(Exists(planted)) << "a file outside the agent folder was deleted";
    EXPECT_FALSE(Exists(work_ + "\\x.exe"));
    DeleteFileA(planted.c_str());

    // Names of the agent's own files: the location holds a file of the
    // announced size under that name, so the decision passes, and the cycle
    // refuses the name before anything is fetched.
    for (const char* name : {"VelAgent.info", "..\\Other Tool.exe", "x_velagent.exe"}) {
        SCOPED_TRACE(name);
        DeleteFileA(record_.c_str());
        DeleteFileA(log_.c_str());
        const std::string agentBefore = ReadBytes(agent_);
        newSetup_["NameOfUpdateFile"] = name;
        const std::string file = std::string(name).substr(std::string(name).rfind('\\') + 1);
        if (file == "VelAgent.info") {
            // The description announces its own size (three digits either way).
            Publish(update, "", 100);
            Publish(update, "", static_cast<int64_t>(ReadBytes(updates_ + "\\VelAgent.info").size()));
        } else {
            WriteBytes(updates_ + "\\" + file, update);
            Publish(update);
        }
        TAgentRun refused;
        refused.StopAfter = "PerformAutoUpdate() - END";
        RunAgent(refused);
        ASSERT_TRUE(refused.Ended);
        EXPECT_NE(Log().find("Refused file name: " + std::string(name)), std::string::npos) << Log();
        EXPECT_FALSE(Exists(record_));
        EXPECT_EQ(ReadBytes(agent_), agentBefore);
        EXPECT_FALSE(Exists(work_ + "\\X_VelAgent.exe"));
    }
}

TEST_F(AgentCycle, AForeignTokenRunsNothingAndLeavesNoFile)
{
    struct Case {
        const char* Name;
        std::string Data;
        bool ErrorBox;
    };
    const Case cases[] = {
        {"foreign token", UpdatePackage("another token"), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TAgentRun run;
        RunUpdateCycle(run, c.Data);
        ASSERT_TRUE(run.Ended);
        EXPECT_FALSE(Exists(record_)) << Log();
        EXPECT_FALSE(Exists(work_ + "\\update.exe"));
        EXPECT_FALSE(Exists(work_ + "\\update.exe.fetch"));
        EXPECT_EQ(IniValue(original_, "OriginalSetup", "VersionOriginal"), "100");
        if (c.ErrorBox) {
            ASSERT_EQ(run.Boxes.size(), 1u);
            EXPECT_NE(run.Boxes[0].find("Bad Secret Token!"), std::string::npos) << run.Boxes[0];
        }
    }
}

// An agent whose package names signers runs an update only when it is signed
// by one of them; under Wine WinVerifyTrust accepts any well-formed signature,
// so the thumbprint is what stops the stranger.
TEST_F(AgentCycle, NamedSignersDecideWhichUpdateRuns)
{
    using namespace signing_test;
    for (const char* name : {"vendor", "old", "stranger"}) ASSERT_TRUE(MakeCertificate(name)) << name;
    const std::string signers = Thumbprint("vendor") + "," + Thumbprint("old");
    ASSERT_EQ(signers.size(), 129u);
    const std::string update = UpdatePackage();
    const std::string byVendor = Signed(update, "vendor");
    ASSERT_FALSE(byVendor.empty());
    // A byte of the DOS stub: the package still reads, the signature no longer fits.
    std::string changed = byVendor;
    changed[0x60] ^= 0x20;
    struct Case {
        const char* Name;
        std::string Data;
        const char* Refusal;  // in the trace; nullptr: the update runs
    };
    const Case cases[] = {
        {"signed by the vendor", byVendor, nullptr},
        {"signed by the older certificate", Signed(update, "old"), nullptr},
        {"unsigned", WithStoredEnd(update), "Update file refused: no valid Authenticode signature"},
        {"signed by a stranger", Signed(update, "stranger"),
         "Update file refused: signed by a certificate that is not one of the named signers"},
        {"changed after signing", changed, "Update file refused: no valid Authenticode signature"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        ASSERT_FALSE(c.Data.empty());
        TAgentRun run;
        RunUpdateCycle(run, c.Data, signers);
        ASSERT_TRUE(run.Ended);
        EXPECT_EQ(Exists(record_), !c.Refusal) << Log();
        EXPECT_EQ(IniValue(original_, "OriginalSetup", "VersionOriginal"), c.Refusal ? "100" : "101");
        EXPECT_FALSE(Exists(work_ + "\\update.exe"));
        EXPECT_FALSE(Exists(work_ + "\\update.exe.fetch"));
        if (!c.Refusal) {
            EXPECT_TRUE(run.Boxes.empty()) << run.Boxes[0];
            continue;
        }
        EXPECT_NE(Log().find(c.Refusal), std::string::npos) << Log();
        // Under load the watcher may meet the same box twice before it closes.
        ASSERT_FALSE(run.Boxes.empty());
        for (const std::string& box : run.Boxes)
            EXPECT_NE(box.find("Bad Secret Token!"), std::string::npos) << box;
    }
}

TEST_F(AgentCycle, CheckNowAsksFirstAndReportsTheEnd)
{
    WriteAgent(updates_);
    const std::string update = UpdatePackage();
    WriteBytes(updates_ + "\\update.exe", update);
    origin_["OriginalSetup"]["ProbeSecondsInterval"] = "-1";  // never on its own
    newSetup_["ShutDownMethod"] = "Don't Shut Down";
    newSetup_["RequestConfirmationBeforeDownload"] = "1";  // not asked: the user asked
    Publish(update);

    TAgentRun run;
    run.Answers = {"Yes", "OK"};
    run.OnWindow = [](HWND agent) { PostMessageA(agent, kRequest, 31, 2); };
    run.StopAfter = "PerformAutoUpdate() - END";
    RunAgent(run);
    ASSERT_TRUE(run.Ended);
    ASSERT_EQ(run.Boxes.size(), 2u) << Log();
    EXPECT_NE(run.Boxes[0].find("Check for a new My Program?"), std::string::npos) << run.Boxes[0];
    EXPECT_NE(run.Boxes[1].find("My Program 2 is up to date."), std::string::npos) << run.Boxes[1];
    EXPECT_TRUE(Exists(record_));
    EXPECT_EQ(IniValue(original_, "OriginalSetup", "VersionOriginal"), "101");
}

// Inform mode: a text is shown in the inform window; without one the link is
// opened at once. Either way the new version counts as shown.
TEST_F(AgentCycle, InformModeShowsTheTextOrOpensTheLink)
{
    struct Case {
        const char* Text;
        bool Window;
    };
    for (const Case c : {Case{"<b>Version 101</b> is out.", true}, Case{"", false}}) {
        SCOPED_TRACE(c.Text);
        WebLinkHandler handler;
        DeleteFileA(log_.c_str());
        WriteAgent(updates_);
        origin_["OriginalSetup"]["VersionOriginal"] = "100";
        general_["AutoInform"] = "1";
        inform_ = {{"NameOfInformFile", "news.txt"},
                   {"DownloadURL_INFORM", "http://127.0.0.1:9/new-version"}};
        const std::string news = "x|" + ScrambleToken(kToken, 3) + "|y|z|" + c.Text;
        WriteBytes(updates_ + "\\news.txt", news);
        inform_["SizeOfInformFile"] = std::to_string(news.size());
        Publish("");

        TAgentRun run;
        run.StopAfter = "PerformAutoInform() - END";
        RunAgent(run);
        ASSERT_TRUE(run.Ended);
        EXPECT_EQ(run.InformSeen, c.Window) << Log();
        EXPECT_NE(Log().find("PerformAutoInform() - END TRUE"), std::string::npos) << Log();
        EXPECT_EQ(IniValue(original_, "OriginalSetup", "VersionOriginal"), "101");
        EXPECT_EQ(ReadBytes(work_ + "\\news.txt"), news);
        if (!c.Window) {
            EXPECT_EQ(handler.Opened(), "http://127.0.0.1:9/new-version\n");
        }
    }
}

TEST_F(AgentCycle, UpdatesOverHttp)
{
    ASSERT_NE(http_test::Port(), 0) << "the test server does not run";
    const std::string update = UpdatePackage();
    const std::string folder = PublishOverHttp("-", update, update);

    TAgentRun run;
    RunAgent(run);
    ASSERT_TRUE(run.Ended);
    EXPECT_TRUE(Exists(record_)) << Log();
    EXPECT_EQ(IniValue(original_, "OriginalSetup", "VersionOriginal"), "101");
    const std::string requests = http_test::ReadAll(http_test::Folder() + "\\requests.log");
    EXPECT_NE(requests.find("/" + folder + "/VelAgent.info"), std::string::npos);
    EXPECT_NE(requests.find("/" + folder + "/update.exe"), std::string::npos);
}

}  // namespace

namespace {

// The update changes on the server between the decision's length query and
// the download: the file that arrives is checked again and never runs.
TEST_F(AgentCycle, AnUpdateThatChangedAfterTheDecisionIsRefused)
{
    ASSERT_NE(http_test::Port(), 0) << "the test server does not run";
    // The probe and the length query see the announced file; later requests the other one.
    const std::string update = UpdatePackage();
    PublishOverHttp("bump=2", update, update.substr(0, update.size() - 1000));

    TAgentRun run;
    run.StopAfter = "PerformAutoUpdate() - END";
    RunAgent(run);
    ASSERT_TRUE(run.Ended);
    EXPECT_NE(Log().find("Wrong file size: "), std::string::npos) << Log();
    EXPECT_FALSE(Exists(record_));
    EXPECT_FALSE(Exists(work_ + "\\update.exe"));
    EXPECT_FALSE(Exists(work_ + "\\update.exe.fetch"));
    EXPECT_EQ(IniValue(original_, "OriginalSetup", "VersionOriginal"), "100");
}

}  // namespace

namespace {

// The processes running a program of this file name.
std::vector<DWORD> ProcessesNamed(const std::string& exe)
{
    std::vector<DWORD> ids;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return ids;
    PROCESSENTRY32 e{};
    e.dwSize = sizeof e;
    for (BOOL more = Process32First(snap, &e); more; more = Process32Next(snap, &e))
        if (lstrcmpiA(e.szExeFile, exe.c_str()) == 0) ids.push_back(e.th32ProcessID);
    CloseHandle(snap);
    return ids;
}

void EndProcessesNamed(const std::string& exe)
{
    for (DWORD id : ProcessesNamed(exe)) {
        if (HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)) {
            TerminateProcess(p, 1);
            WaitForSingleObject(p, 5000);
            CloseHandle(p);
        }
    }
}

bool WaitFor(const std::function<bool()>& condition, DWORD ms = 30000)
{
    for (DWORD waited = 0; !condition(); waited += 50) {
        if (waited > ms) return false;
        Sleep(50);
    }
    return true;
}

// A server that cuts the update short every time, or whose length header
// does not match the body: what arrives is checked as a whole and never runs.
TEST_F(AgentCycle, AnUpdateTheServerSpoilsNeverRuns)
{
    ASSERT_NE(http_test::Port(), 0) << "the test server does not run";
    const std::string update = UpdatePackage();
    struct Case {
        std::string Options;
        const char* Trace;  // in the agent's trace
    };
    const Case cases[] = {
        {"only=update.exe,lm=1700000000,drop=50", "Error downloading file ("},
        // A chunked body longer than its announced length.
        {"only=update.exe,nolen,len=1000", "Error downloading file (more than 1000 bytes)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Options);
        DeleteFileA(log_.c_str());
        PublishOverHttp(c.Options, update, update);
        TAgentRun run;
        run.StopAfter = "PerformAutoUpdate() - END";
        RunAgent(run);
        ASSERT_TRUE(run.Ended);
        EXPECT_NE(Log().find(c.Trace), std::string::npos) << Log();
        EXPECT_NE(Log().find("PerformAutoUpdate() - END    Result=FALSE"), std::string::npos) << Log();
        EXPECT_FALSE(Exists(record_));
        // (A working file of the download may stay: a later one continues it.)
        EXPECT_FALSE(Exists(work_ + "\\update.exe"));
        EXPECT_FALSE(Exists(work_ + "\\update.exe.fetch"));
        EXPECT_EQ(IniValue(original_, "OriginalSetup", "VersionOriginal"), "100");
    }
}

// The agent killed at three points of an update and started again: the
// version is recorded only by a run that completed, what a killed agent
// fetched in part never runs, and the next probe offers the update again.
TEST_F(AgentCycle, AKilledAgentOffersTheUpdateAgainAndRunsOnlyAWholeOne)
{
    ASSERT_NE(http_test::Port(), 0) << "the test server does not run";
    const std::string stamp = "lm=1700000000";
    struct Case {
        const char* Point;
        std::string Options;  // of the killed run's location
        const char* Env;      // set for the killed run's setup program
        const char* Value;
        bool SetupRan;  // in the killed run
    };
    const Case cases[] = {
        // The body comes in pieces of 1 KiB, 20 ms apart: killed after its first bytes.
        {"during the download", stamp + ",slow=20", nullptr, nullptr, false},
        {"while the setup runs", stamp, "VEL_FAKE_RUN_MS", "4000", true},
        // The setup program has ended, the agent still waits for its dialog window.
        {"after the setup ended", stamp, "VEL_FAKE_DIALOG_MS", "60000", true},
    };
    const std::string update = UpdatePackage();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Point);
        DeleteFileA(record_.c_str());
        DeleteFileA(log_.c_str());
        const std::string folder = PublishOverHttp(c.Options, update, update);
        if (c.Env) SetEnvironmentVariableA(c.Env, c.Value);
        const std::string point = c.Point;

        TAgentRun killed;
        killed.KillWhen = [&] {
            if (point == "during the download") {
                // The working file of the download (not its validator) has bytes.
                bool arrived = false;
                WIN32_FIND_DATAA fd;
                HANDLE h = FindFirstFileA((work_ + "\\update.exe.fetch.*").c_str(), &fd);
                if (h == INVALID_HANDLE_VALUE) return false;
                do {
                    const std::string name = fd.cFileName;
                    arrived = arrived || (name.find(".ifrange") == std::string::npos && fd.nFileSizeLow > 0);
                } while (FindNextFileA(h, &fd));
                FindClose(h);
                return arrived;
            }
            if (point == "while the setup runs") return Exists(record_ + ".running");
            return Exists(record_) && ProcessesNamed("fake_setup_gui.exe").empty();
        };
        RunAgent(killed);
        if (c.Env) SetEnvironmentVariableA(c.Env, nullptr);
        ASSERT_TRUE(killed.Killed) << Log();
        if (point == "while the setup runs") {
            EXPECT_TRUE(WaitFor([&] { return Exists(record_); })) << "the setup did not end";
        }
        EndProcessesNamed("fake_dialog.exe");
        EXPECT_EQ(Exists(record_), c.SetupRan) << Log();
        EXPECT_EQ(IniValue(original_, "OriginalSetup", "VersionOriginal"), "100");
        DeleteFileA(record_.c_str());
        DeleteFileA((record_ + ".running").c_str());
        DeleteFileA((record_ + ".dialog").c_str());

        // Started again, with the description as the killed agent left it, it
        // offers the update again and runs it whole.
        DeleteFileA(log_.c_str());
        RepublishOverHttp(stamp, update, folder, false);
        TAgentRun again;
        again.StopAfter = "PerformAutoUpdate() - END";
        RunAgent(again);
        ASSERT_TRUE(again.Ended);
        const std::string log = Log();
        EXPECT_NE(log.find("GetOkToPerformAU = 6"), std::string::npos) << log;
        EXPECT_NE(log.find("PerformAutoUpdate() - END    Result=TRUE"), std::string::npos) << log;
        const auto rec = ReadRecord(record_);
        ASSERT_TRUE(rec.count("cmd")) << log;
        EXPECT_NE(rec.at("cmd").find(" /U /TH_ID="), std::string::npos) << rec.at("cmd");
        EXPECT_EQ(IniValue(original_, "OriginalSetup", "VersionOriginal"), "101");
        WIN32_FIND_DATAA fd;
        HANDLE left = FindFirstFileA((work_ + "\\update.exe*").c_str(), &fd);
        EXPECT_EQ(left, INVALID_HANDLE_VALUE) << "left behind: " << fd.cFileName;
        if (left != INVALID_HANDLE_VALUE) FindClose(left);
        if (point == "during the download") {
            // The part that had arrived was continued, and checked again as a whole.
            bool continued = false;
            for (const http_test::TRequest& r : http_test::Downloads(folder + "/update.exe"))
                continued = continued || (r.Status == 206 && r.Range.rfind("bytes=", 0) == 0);
            EXPECT_TRUE(continued);
        }
    }
}

}  // namespace
