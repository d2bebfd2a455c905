// ExtractAndRunSetup inside this process under Wine, with the extraction,
// the message boxes and the agent's link settings replaced: the real setup
// program start, completion atom, exit code, space question and link removal;
// then with the setup program's process replaced too: exit codes, failed
// starts and a completion atom that could not be added.
#include "base/debug_stream.h"
#include "base/system_error.h"
#include "win/setup_test_support.h"

#include <iostream>
#include <sstream>

#include "lang/sysinfo.h"
#include "package/files.h"
#include "setup/setup_deps.h"
#include "setup/setup_flow.h"

namespace {

using namespace setup_test;

struct TFakeWorld {
    std::string FakeExe;  // copied into the target folder by the fake extraction
    std::string MainEntry = "fake_setup_gui.exe*/X";
    bool Success = true;
    int FailedWrites = 0;
    uint32_t WriteError = 0;
    std::vector<TUnPackRequest> Unpacks;
    std::vector<std::string> Questions;
    bool Answer = true;
    std::vector<std::string> Errors;
    TSetupLinks Links;
};
TFakeWorld* g_world = nullptr;

TUnPackResult FakeUnPack(const TUnPackRequest& r)
{
    g_world->Unpacks.push_back(r);
    CopyFileA(g_world->FakeExe.c_str(), (r.TargetDir + "\\fake_setup_gui.exe").c_str(), FALSE);
    return {g_world->Success, g_world->MainEntry, g_world->FailedWrites, g_world->WriteError};
}
bool FakeConfirm(intptr_t owner, const std::string& text, const std::string& caption, int, int,
                 const std::string&)
{
    g_world->Questions.push_back(std::to_string(owner) + "|" + caption + "|" + text);
    return g_world->Answer;
}
void FakeError(intptr_t owner, const std::string& text, const std::string& caption, int, const std::string&)
{
    g_world->Errors.push_back(std::to_string(owner) + "|" + caption + "|" + text);
}
TSetupLinks FakeLinks()
{
    return g_world->Links;
}
void FastPump(uint32_t) {}

class ExtractAndRunSetupTest : public SetupFlowTest {
protected:
    void SetUp() override
    {
        SetupFlowTest::SetUp();
        deps_ = DefaultSetupDeps();
        deps_.Unpack = FakeUnPack;
        deps_.Confirm = FakeConfirm;
        deps_.Error = FakeError;
        deps_.ReadLinks = FakeLinks;
        deps_.WaitPumping = FastPump;
        world_.FakeExe = ProgramFolder() + "fake_setup_gui.exe";
        g_world = &world_;
        target_ = work_ + "\\target";
        CreateDirectoryA(target_.c_str(), nullptr);
        package_ = work_ + "\\package.bin";
        SetSetupExitCode(0);
    }
    void TearDown() override
    {
        g_world = nullptr;
        SetSetupExitCode(0);
        SetupFlowTest::TearDown();
    }
    void WritePackage(uint8_t flags, uint32_t space)
    {
        TVolume p;
        p.Flags = flags;
        p.Space = space;
        p.File("x.txt", "x", 0);
        WriteBytes(package_, p.Build());
    }
    TSetupDeps deps_;
    TFakeWorld world_;
    std::string target_, package_;
};

TEST_F(ExtractAndRunSetupTest, RunsTheEntryTakesItsExitCodeAndReportsCompletion)
{
    WritePackage(0, 1000);
    struct Case {
        const char* Exit;
        const char* KeepAtom;
        bool Completed;
    };
    for (const Case c : {Case{"3", "0", true}, Case{"255", "1", false}}) {
        DeleteFileA(record_.c_str());
        SetEnvironmentVariableA("VEL_FAKE_EXIT", c.Exit);
        SetEnvironmentVariableA("VEL_FAKE_KEEP_ATOM", c.KeepAtom);
        EXPECT_EQ(ExtractAndRunSetup(deps_, target_, package_, "agent.exe", true, "/A=1 /SpanCdLvl=2 /B"),
                  c.Completed);
        EXPECT_EQ(SetupExitCode(), static_cast<uint32_t>(std::atoi(c.Exit)));
        const auto rec = ReadRecord(record_);
        ASSERT_TRUE(rec.count("cmd"));
        char self[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        ExpectCommandLine(rec, "/A=1 /B /X", self);
        EXPECT_EQ(rec.at("atom"), "1");
        const std::string atom = "AutoUpdateAtomTokenByVelmora_" + std::to_string(GetCurrentThreadId());
        EXPECT_EQ(GlobalFindAtomA(atom.c_str()), 0) << "the completion atom outlived the run";
    }
    ASSERT_EQ(world_.Unpacks.size(), 2u);
    const TUnPackRequest& r = world_.Unpacks[0];
    EXPECT_EQ(r.PackageFile, package_);
    EXPECT_EQ(r.TargetDir, target_);
    EXPECT_EQ(r.AgentName, "agent.exe");
    EXPECT_EQ(r.DiskPrompt, kLangInsertDisk.Default);
    EXPECT_EQ(r.PromptCaption, "Attention");
    EXPECT_EQ(r.ButtonTexts, kLangButtonTexts.Default);
    EXPECT_TRUE(world_.Questions.empty()) << "enough space and no notice: no question";
    EXPECT_TRUE(world_.Errors.empty());
}

TEST_F(ExtractAndRunSetupTest, RemovesTheLinkFilesOnlyAfterACompletedRun)
{
    WritePackage(0, 1000);
    world_.Links.StartUpLink = work_ + "\\startup.lnk";
    world_.Links.CheckLink = work_ + "\\check.lnk";
    world_.Links.RemoveStartUp = true;
    world_.Links.RemoveCheck = false;
    for (const char* keep : {"1", "0"}) {
        WriteBytes(world_.Links.StartUpLink, "l");
        WriteBytes(world_.Links.CheckLink, "l");
        SetEnvironmentVariableA("VEL_FAKE_KEEP_ATOM", keep);
        const bool completed = ExtractAndRunSetup(deps_, target_, package_, "", false, "");
        EXPECT_EQ(completed, std::string(keep) == "0");
        EXPECT_EQ(Exists(world_.Links.StartUpLink), !completed) << keep;
        EXPECT_TRUE(Exists(world_.Links.CheckLink)) << "its flag is off";
    }
}

TEST_F(ExtractAndRunSetupTest, ForegroundAsksAboutSpaceAndNoStopsEverything)
{
    // The notice flag asks with "s2" (the "s3" choice is tested natively: this
    // machine has more free space than a 32-bit space table can ask for).
    struct Case {
        uint8_t Flags;
        uint32_t Space;
        const char* FirstLine;
    };
    for (const Case c : {Case{0x01, 1000, "Velmora will extract files to your Temp Drive (C:)<P>"}}) {
        WritePackage(c.Flags, c.Space);
        world_.Questions.clear();
        world_.Unpacks.clear();
        world_.Answer = false;
        DeleteFileA(record_.c_str());
        EXPECT_FALSE(ExtractAndRunSetup(deps_, target_, package_, "", true, ""));
        ASSERT_EQ(world_.Questions.size(), 1u);
        const std::string q = world_.Questions[0];
        EXPECT_EQ(q.rfind(std::string("0|Confirm|") + c.FirstLine, 0), 0u) << q;
        EXPECT_NE(q.find(" MB<P>Free space available on your Temp drive is: <T>  "), std::string::npos) << q;
        EXPECT_NE(q.find("<P>Estimated space required on your Temp drive is: <T>  0.001 MB<P>"),
                  std::string::npos)
            << q;
        EXPECT_EQ(q.substr(q.size() - 29), "<P><P>Continue with Setup?<P>") << q;
        EXPECT_TRUE(world_.Unpacks.empty());
        EXPECT_FALSE(Exists(record_));
        // Hidden: no question, the run goes on.
        world_.Questions.clear();
        EXPECT_TRUE(ExtractAndRunSetup(deps_, target_, package_, "", false, ""));
        EXPECT_TRUE(world_.Questions.empty());
        EXPECT_TRUE(Exists(record_));
    }
}

TEST_F(ExtractAndRunSetupTest, FailedCheckShowsBadCrcAndRunsNothing)
{
    WritePackage(0, 1000);
    world_.Success = false;
    EXPECT_FALSE(ExtractAndRunSetup(deps_, target_, package_, "", true, ""));
    ASSERT_EQ(world_.Errors.size(), 1u);
    EXPECT_EQ(world_.Errors[0], std::string("0|Error|") + kLangBadCrc.Default);
    EXPECT_FALSE(Exists(record_));
    // No program marked: nothing run and no message.
    world_.Success = true;
    world_.MainEntry = "";
    world_.Errors.clear();
    EXPECT_FALSE(ExtractAndRunSetup(deps_, target_, package_, "", true, ""));
    EXPECT_TRUE(world_.Errors.empty());
    EXPECT_FALSE(Exists(record_));
}

// A file that could not be written: nothing runs and the run ends with the
// code of the failed write. A write the system refused (a full disk) has had
// the extraction's own box, and the package is not called corrupt; a name the
// extraction refused (no system code: 1) is the package's fault.
TEST_F(ExtractAndRunSetupTest, FailedWritesRunNothingAndEndWithTheWritesCode)
{
    WritePackage(0, 1000);
    struct Case {
        uint32_t WriteError;
        uint32_t ExitCode;
        bool BadCrc;
    };
    for (const Case c : {Case{ERROR_DISK_FULL, ERROR_DISK_FULL, false}, Case{0, 1, true}}) {
        SCOPED_TRACE(c.WriteError);
        world_.Success = false;
        world_.MainEntry = "";
        world_.FailedWrites = 2;
        world_.WriteError = c.WriteError;
        world_.Errors.clear();
        SetSetupExitCode(0);
        EXPECT_FALSE(ExtractAndRunSetup(deps_, target_, package_, "", true, ""));
        if (c.BadCrc) {
            ASSERT_EQ(world_.Errors.size(), 1u);
            EXPECT_EQ(world_.Errors[0], std::string("0|Error|") + kLangBadCrc.Default);
        } else {
            EXPECT_TRUE(world_.Errors.empty()) << world_.Errors[0];
        }
        EXPECT_FALSE(Exists(record_));
        EXPECT_EQ(SetupExitCode(), c.ExitCode);
    }
}

TEST_F(ExtractAndRunSetupTest, TempSpaceAndForcePromptComeFromTheSystem)
{
    WritePackage(0, 1000);
    EXPECT_TRUE(HasTempSpace(target_, package_));
    EXPECT_FALSE(HasTempSpace(target_ + "\\missing", package_));
    // (A short drive cannot be had here: the space table is 32-bit and the
    // test machine has more than 4 GiB free; the decision is tested natively.)

    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Tarnwick\\Velmora\\SpanDisk", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    struct Case {
        const char* Value;
        bool Force;
    };
    for (const Case c : {Case{"1", true}, Case{"0", false}, Case{"1 ", false}, Case{nullptr, false}}) {
        if (c.Value)
            RegSetValueExA(key, "ForcePrompt", 0, REG_SZ, reinterpret_cast<const BYTE*>(c.Value),
                           static_cast<DWORD>(strlen(c.Value) + 1));
        else
            RegDeleteValueA(key, "ForcePrompt");
        EXPECT_EQ(ReadSpanDiskForcePrompt(), c.Force) << (c.Value ? c.Value : "absent");
    }
    RegCloseKey(key);

    // Wine has no fixed D: or E:, and the temp folder is on C:: no alternative.
    if (GetDriveTypeA("D:\\") != DRIVE_FIXED && GetDriveTypeA("E:\\") != DRIVE_FIXED) {
        EXPECT_FALSE(FindAlternativeTempDrive());
        EXPECT_EQ(AlternativeTempFolder(), "");
    }
}

// ---- the setup program behind the process seam: nothing is started ----------------

// What the fake process entries answer and what the flow asked of them.
struct TFakeProcess {
    TProcessStart Start{0x5E7, 0};
    uint32_t Exit = 0;
    bool RemovesAtom = true;  // what the "program" does with the completion atom while it runs
    bool AtomAdded = true;    // whether GlobalAddAtom succeeds
    std::vector<std::string> Calls;
    bool AtomAtStart = false;
};
TFakeProcess* g_process = nullptr;

std::string CompletionAtom()
{
    return kCompletionAtomPrefix + ThreadTag(GetCurrentThreadId());
}

class SetupProcessSeamTest : public ExtractAndRunSetupTest {
protected:
    void SetUp() override
    {
        ExtractAndRunSetupTest::SetUp();
        g_process = &process_;
        deps_.AddCompletionAtom = [](const std::string& name) -> uint16_t {
            g_process->Calls.push_back("atom|" + name);
            return g_process->AtomAdded ? GlobalAddAtomA(name.c_str()) : 0;
        };
        deps_.StartProcess = [](const std::string& line, int show) {
            g_process->Calls.push_back("start|" + line + "|" + std::to_string(show));
            g_process->AtomAtStart = GlobalFindAtomA(CompletionAtom().c_str()) != 0;
            return g_process->Start;
        };
        deps_.WaitProcess = [](TProcessRef p) {
            g_process->Calls.push_back("wait|" + std::to_string(p));
            if (g_process->RemovesAtom)
                if (const ATOM a = GlobalFindAtomA(CompletionAtom().c_str())) GlobalDeleteAtom(a);
        };
        deps_.ExitCode = [](TProcessRef p, uint32_t& code) {
            g_process->Calls.push_back("exit|" + std::to_string(p));
            code = g_process->Exit;
            return true;
        };
        deps_.CloseProcess = [](TProcessRef p) { g_process->Calls.push_back("close|" + std::to_string(p)); };
        WritePackage(0, 1000);
        world_.Links.StartUpLink = work_ + "\\startup.lnk";
        world_.Links.CheckLink = work_ + "\\check.lnk";
        world_.Links.RemoveStartUp = true;
        world_.Links.RemoveCheck = true;
        char self[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        program_ = target_ + "\\fake_setup_gui.exe";
        line_ = "\"" + program_ + "\" /X /TH_ID=" + ThreadTag(GetCurrentThreadId()) + " /OriginExe=\"" +
                self + "\"";
    }
    void TearDown() override
    {
        g_process = nullptr;
        // No atom of a run may outlive it, whatever the case did.
        EXPECT_EQ(GlobalFindAtomA(CompletionAtom().c_str()), 0);
        ExtractAndRunSetupTest::TearDown();
    }
    TFakeProcess process_;
    std::string program_, line_;
};

std::string SystemText(uint32_t code)
{
    SetLastError(code);
    return LastErrorText();
}

TEST_F(SetupProcessSeamTest, ExitCodesFailedStartsAndTheCompletionAtom)
{
    struct Case {
        const char* What;
        TProcessStart Start;
        uint32_t Exit;
        bool RemovesAtom;
        bool AtomAdded;
        bool Completed;
        uint32_t LauncherExit;
    };
    const TProcessStart started{0x5E7, 0};
    for (const Case& c : {
             Case{"0", started, 0, true, true, true, 0},
             Case{"3", started, 3, true, true, true, 3},
             Case{"255, atom left in place", started, 255, false, true, false, 255},
             // The code of a running process, as the program's own: taken over as it is.
             Case{"259", started, 259, true, true, true, 259},
             Case{"file missing", {0, ERROR_FILE_NOT_FOUND}, 0, true, true, false, ERROR_FILE_NOT_FOUND},
             Case{"not a program", {0, ERROR_BAD_EXE_FORMAT}, 0, true, true, false, ERROR_BAD_EXE_FORMAT},
             Case{"no system code", {0, 0}, 0, true, true, false, 1},
             // The program did remove the atom, but the flow never had one of its own.
             Case{"atom not added", started, 0, true, false, false, 0},
         }) {
        for (const bool foreground : {true, false}) {
            const std::string what = std::string(c.What) + (foreground ? ", foreground" : ", hidden");
            process_ = TFakeProcess{};
            process_.Start = c.Start;
            process_.Exit = c.Exit;
            process_.RemovesAtom = c.RemovesAtom;
            process_.AtomAdded = c.AtomAdded;
            world_.Errors.clear();
            WriteBytes(world_.Links.StartUpLink, "l");
            WriteBytes(world_.Links.CheckLink, "l");
            SetSetupExitCode(0);
            TDebugCapture out;
            const bool completed = ExtractAndRunSetup(deps_, target_, package_, "", foreground, "");

            EXPECT_EQ(completed, c.Completed) << what;
            EXPECT_EQ(SetupExitCode(), c.LauncherExit) << what;
            EXPECT_EQ(Exists(world_.Links.StartUpLink), !c.Completed) << what;
            EXPECT_EQ(Exists(world_.Links.CheckLink), !c.Completed) << what;
            EXPECT_EQ(process_.AtomAtStart, c.AtomAdded) << what;

            const std::string show = foreground ? "5" : "0";
            std::vector<std::string> calls{"atom|" + CompletionAtom(), "start|" + line_ + "|" + show};
            if (c.Start.Process) {
                // One wait and one question for the code: 259 does not make the flow ask again.
                const std::string p = std::to_string(c.Start.Process);
                calls.insert(calls.end(), {"wait|" + p, "exit|" + p, "close|" + p});
            }
            EXPECT_EQ(process_.Calls, calls) << what;

            const bool failed = c.Start.Process == 0;
            std::vector<std::string> boxes;
            if (failed && foreground)
                boxes.push_back("0|Error|" +
                                StartFailureText(program_, c.Start.Error ? SystemText(c.Start.Error) : ""));
            EXPECT_EQ(world_.Errors, boxes) << what;
            const std::string debug = out.Text();
            EXPECT_EQ(debug.find(" ==== Setup program not started (" + std::to_string(c.Start.Error) +
                                 "): " + line_) != std::string::npos,
                      failed)
                << what << "\n"
                << debug;
            EXPECT_EQ(debug.find(" ==== Completion atom not added: " + CompletionAtom() + "\n") !=
                          std::string::npos,
                      !c.AtomAdded)
                << what << "\n"
                << debug;
        }
    }
}

}  // namespace
