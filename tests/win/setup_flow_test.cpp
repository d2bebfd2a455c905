// ExtractAndRunSetup inside this process under Wine, with the extraction,
// the message boxes and the agent's link settings replaced: the real setup
// program start, completion atom, exit code, space question and link removal;
// then with the setup program's process replaced too: exit codes, failed
// starts and a completion atom that could not be added.
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
    std::string fake_exe;  // copied into the target folder by the fake extraction
    std::string main_entry = "fake_setup_gui.exe*/X";
    bool success = true;
    std::vector<TUnPackRequest> unpacks;
    std::vector<std::string> questions;
    bool answer = true;
    std::vector<std::string> errors;
    TSetupLinks links;
};
TFakeWorld* g_world = nullptr;

TUnPackResult FakeUnPack(const TUnPackRequest& r)
{
    g_world->unpacks.push_back(r);
    CopyFileA(g_world->fake_exe.c_str(), (r.TargetDir + "\\fake_setup_gui.exe").c_str(), FALSE);
    return {g_world->success, g_world->main_entry};
}
bool FakeConfirm(intptr_t owner, const std::string& text, const std::string& caption, int, int,
                 const std::string&)
{
    g_world->questions.push_back(std::to_string(owner) + "|" + caption + "|" + text);
    return g_world->answer;
}
void FakeError(intptr_t owner, const std::string& text, const std::string& caption, int, const std::string&)
{
    g_world->errors.push_back(std::to_string(owner) + "|" + caption + "|" + text);
}
TSetupLinks FakeLinks()
{
    return g_world->links;
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
        world_.fake_exe = ProgramFolder() + "fake_setup_gui.exe";
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
        p.flags = flags;
        p.space = space;
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
        const char* exit;
        const char* keep_atom;
        bool completed;
    };
    for (const Case c : {Case{"3", "0", true}, Case{"255", "1", false}}) {
        DeleteFileA(record_.c_str());
        SetEnvironmentVariableA("VEL_FAKE_EXIT", c.exit);
        SetEnvironmentVariableA("VEL_FAKE_KEEP_ATOM", c.keep_atom);
        EXPECT_EQ(ExtractAndRunSetup(deps_, target_, package_, "agent.exe", true, "/A=1 /SpanCdLvl=2 /B"),
                  c.completed);
        EXPECT_EQ(SetupExitCode(), static_cast<uint32_t>(std::atoi(c.exit)));
        const auto rec = ReadRecord(record_);
        ASSERT_TRUE(rec.count("cmd"));
        char self[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        ExpectCommandLine(rec, "/A=1 /B /X", self);
        EXPECT_EQ(rec.at("atom"), "1");
        const std::string atom = "AutoUpdateAtomTokenByVelmora_" + std::to_string(GetCurrentThreadId());
        EXPECT_EQ(GlobalFindAtomA(atom.c_str()), 0) << "the completion atom outlived the run";
    }
    ASSERT_EQ(world_.unpacks.size(), 2u);
    const TUnPackRequest& r = world_.unpacks[0];
    EXPECT_EQ(r.PackageFile, package_);
    EXPECT_EQ(r.TargetDir, target_);
    EXPECT_EQ(r.AgentName, "agent.exe");
    EXPECT_EQ(r.DiskPrompt, kTextDiskPrompt);
    EXPECT_EQ(r.PromptCaption, "Attention");
    EXPECT_EQ(r.ButtonTexts, kDefaultButtonTexts);
    EXPECT_TRUE(world_.questions.empty()) << "enough space and no notice: no question";
    EXPECT_TRUE(world_.errors.empty());
}

TEST_F(ExtractAndRunSetupTest, RemovesTheLinkFilesOnlyAfterACompletedRun)
{
    WritePackage(0, 1000);
    world_.links.StartUpLink = work_ + "\\startup.lnk";
    world_.links.CheckLink = work_ + "\\check.lnk";
    world_.links.RemoveStartUp = true;
    world_.links.RemoveCheck = false;
    for (const char* keep : {"1", "0"}) {
        WriteBytes(world_.links.StartUpLink, "l");
        WriteBytes(world_.links.CheckLink, "l");
        SetEnvironmentVariableA("VEL_FAKE_KEEP_ATOM", keep);
        const bool completed = ExtractAndRunSetup(deps_, target_, package_, "", false, "");
        EXPECT_EQ(completed, std::string(keep) == "0");
        EXPECT_EQ(Exists(world_.links.StartUpLink), !completed) << keep;
        EXPECT_TRUE(Exists(world_.links.CheckLink)) << "its flag is off";
    }
}

TEST_F(ExtractAndRunSetupTest, ForegroundAsksAboutSpaceAndNoStopsEverything)
{
    // The notice flag asks with "s2" (the "s3" choice is tested natively: this
    // machine has more free space than a 32-bit space table can ask for).
    struct Case {
        uint8_t flags;
        uint32_t space;
        const char* first_line;
    };
    for (const Case c : {Case{0x01, 1000, "Velmora will extract files to your Temp Drive (C:)<P>"}}) {
        WritePackage(c.flags, c.space);
        world_.questions.clear();
        world_.unpacks.clear();
        world_.answer = false;
        DeleteFileA(record_.c_str());
        EXPECT_FALSE(ExtractAndRunSetup(deps_, target_, package_, "", true, ""));
        ASSERT_EQ(world_.questions.size(), 1u);
        const std::string q = world_.questions[0];
        EXPECT_EQ(q.rfind(std::string("0|Confirm|") + c.first_line, 0), 0u) << q;
        EXPECT_NE(q.find(" MB<P>Free space available on your Temp drive is: <T>  "), std::string::npos) << q;
        EXPECT_NE(q.find("<P>Estimated space required on your Temp drive is: <T>  0.001 MB<P>"),
                  std::string::npos)
            << q;
        EXPECT_EQ(q.substr(q.size() - 29), "<P><P>Continue with Setup?<P>") << q;
        EXPECT_TRUE(world_.unpacks.empty());
        EXPECT_FALSE(Exists(record_));
        // Hidden: no question, the run goes on.
        world_.questions.clear();
        EXPECT_TRUE(ExtractAndRunSetup(deps_, target_, package_, "", false, ""));
        EXPECT_TRUE(world_.questions.empty());
        EXPECT_TRUE(Exists(record_));
    }
}

TEST_F(ExtractAndRunSetupTest, FailedCheckShowsBadCrcAndRunsNothing)
{
    WritePackage(0, 1000);
    world_.success = false;
    EXPECT_FALSE(ExtractAndRunSetup(deps_, target_, package_, "", true, ""));
    ASSERT_EQ(world_.errors.size(), 1u);
    EXPECT_EQ(world_.errors[0], std::string("0|Error|") + kTextBadCrc);
    EXPECT_FALSE(Exists(record_));
    // No program marked: nothing run and no message.
    world_.success = true;
    world_.main_entry = "";
    world_.errors.clear();
    EXPECT_FALSE(ExtractAndRunSetup(deps_, target_, package_, "", true, ""));
    EXPECT_TRUE(world_.errors.empty());
    EXPECT_FALSE(Exists(record_));
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
        const char* value;
        bool force;
    };
    for (const Case c : {Case{"1", true}, Case{"0", false}, Case{"1 ", false}, Case{nullptr, false}}) {
        if (c.value)
            RegSetValueExA(key, "ForcePrompt", 0, REG_SZ, reinterpret_cast<const BYTE*>(c.value),
                           static_cast<DWORD>(strlen(c.value) + 1));
        else
            RegDeleteValueA(key, "ForcePrompt");
        EXPECT_EQ(ReadSpanDiskForcePrompt(), c.force) << (c.value ? c.value : "absent");
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
    TProcessStart start{0x5E7, 0};
    uint32_t exit = 0;
    bool removes_atom = true;  // what the "program" does with the completion atom while it runs
    bool atom_added = true;    // whether GlobalAddAtom succeeds
    std::vector<std::string> calls;
    bool atom_at_start = false;
};
TFakeProcess* g_process = nullptr;

std::string CompletionAtom()
{
    return kCompletionAtomPrefix + ThreadTag(GetCurrentThreadId());
}

// Everything written to std::cout while it lives.
class CaptureCout {
public:
    CaptureCout() : old_(std::cout.rdbuf(text_.rdbuf())) {}
    ~CaptureCout() { std::cout.rdbuf(old_); }
    std::string Text() const { return text_.str(); }

private:
    std::ostringstream text_;
    std::streambuf* old_;
};

class SetupProcessSeamTest : public ExtractAndRunSetupTest {
protected:
    void SetUp() override
    {
        ExtractAndRunSetupTest::SetUp();
        g_process = &process_;
        deps_.AddCompletionAtom = [](const std::string& name) -> uint16_t {
            g_process->calls.push_back("atom|" + name);
            return g_process->atom_added ? GlobalAddAtomA(name.c_str()) : 0;
        };
        deps_.StartProcess = [](const std::string& line, int show) {
            g_process->calls.push_back("start|" + line + "|" + std::to_string(show));
            g_process->atom_at_start = GlobalFindAtomA(CompletionAtom().c_str()) != 0;
            return g_process->start;
        };
        deps_.WaitProcess = [](TProcessRef p) {
            g_process->calls.push_back("wait|" + std::to_string(p));
            if (g_process->removes_atom)
                if (const ATOM a = GlobalFindAtomA(CompletionAtom().c_str())) GlobalDeleteAtom(a);
        };
        deps_.ExitCode = [](TProcessRef p, uint32_t& code) {
            g_process->calls.push_back("exit|" + std::to_string(p));
            code = g_process->exit;
            return true;
        };
        deps_.CloseProcess = [](TProcessRef p) { g_process->calls.push_back("close|" + std::to_string(p)); };
        WritePackage(0, 1000);
        world_.links.StartUpLink = work_ + "\\startup.lnk";
        world_.links.CheckLink = work_ + "\\check.lnk";
        world_.links.RemoveStartUp = true;
        world_.links.RemoveCheck = true;
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
        const char* what;
        TProcessStart start;
        uint32_t exit;
        bool removes_atom;
        bool atom_added;
        bool completed;
        uint32_t launcher_exit;
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
            const std::string what = std::string(c.what) + (foreground ? ", foreground" : ", hidden");
            process_ = TFakeProcess{};
            process_.start = c.start;
            process_.exit = c.exit;
            process_.removes_atom = c.removes_atom;
            process_.atom_added = c.atom_added;
            world_.errors.clear();
            WriteBytes(world_.links.StartUpLink, "l");
            WriteBytes(world_.links.CheckLink, "l");
            SetSetupExitCode(0);
            CaptureCout out;
            const bool completed = ExtractAndRunSetup(deps_, target_, package_, "", foreground, "");

            EXPECT_EQ(completed, c.completed) << what;
            EXPECT_EQ(SetupExitCode(), c.launcher_exit) << what;
            EXPECT_EQ(Exists(world_.links.StartUpLink), !c.completed) << what;
            EXPECT_EQ(Exists(world_.links.CheckLink), !c.completed) << what;
            EXPECT_EQ(process_.atom_at_start, c.atom_added) << what;

            const std::string show = foreground ? "5" : "0";
            std::vector<std::string> calls{"atom|" + CompletionAtom(), "start|" + line_ + "|" + show};
            if (c.start.Process) {
                // One wait and one question for the code: 259 does not make the flow ask again.
                const std::string p = std::to_string(c.start.Process);
                calls.insert(calls.end(), {"wait|" + p, "exit|" + p, "close|" + p});
            }
            EXPECT_EQ(process_.calls, calls) << what;

            const bool failed = c.start.Process == 0;
            std::vector<std::string> boxes;
            if (failed && foreground)
                boxes.push_back("0|Error|" +
                                StartFailureText(program_, c.start.Error ? SystemText(c.start.Error) : ""));
            EXPECT_EQ(world_.errors, boxes) << what;
            const std::string debug = out.Text();
            EXPECT_EQ(debug.find(" ==== Setup program not started (" + std::to_string(c.start.Error) +
                                 "): " + line_) != std::string::npos,
                      failed)
                << what << "\n"
                << debug;
            EXPECT_EQ(debug.find(" ==== Completion atom not added: " + CompletionAtom() + "\n") !=
                          std::string::npos,
                      !c.atom_added)
                << what << "\n"
                << debug;
        }
    }
}

}  // namespace
