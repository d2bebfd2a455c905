// The setup flow end to end under Wine: packages built around the real
// launcher, the fake setup program recording what it saw, and the launcher
// started as a user would start it.
#include "base/system_error.h"
#include "win/setup_test_support.h"

#include "lang/sysinfo.h"

namespace {

using namespace setup_test;

TEST_F(SetupFlowTest, ExtractsRunsTheMarkedProgramAndCleansUp)
{
    const std::string big(300000, 'b');
    const std::string big2 = "tail of the big file";
    TVolume p = Package();
    p.File("fake_setup_gui.exe*/S", fake_, Stamp(0))
        .File("readme.txt", "hello\r\n", Stamp(4), false)
        .File("big.bin", big, Stamp(8))
        .File("big.bin", big2, Stamp(8))
        .File("no time.txt", "x", 0);
    WriteBytes(launcher_, p.Build());

    TRun run;
    run.Args = "/L=1";
    Run(run);
    ASSERT_TRUE(run.Ended);
    EXPECT_EQ(run.ExitCode, 0u);
    EXPECT_TRUE(run.Boxes.empty());
    EXPECT_TRUE(run.WindowSeen) << "the main window shows during extraction in the foreground";

    std::vector<std::string> files;
    const auto rec = ReadRecord(record_, &files);
    ASSERT_TRUE(rec.count("cmd")) << "the setup program did not run";
    ExpectCommandLine(rec, "/L=1 /S", launcher_);
    EXPECT_EQ(rec.at("show"), "5");
    EXPECT_EQ(rec.at("atom"), "1");
    EXPECT_EQ(rec.at("cwd") + "\\", work_ + "\\") << "the launcher's current folder";
    const std::string temp = ParentOf(rec.at("self"));
    EXPECT_NE(temp.find("\\SETUP_"), std::string::npos) << temp;
    EXPECT_FALSE(Exists(temp)) << "temporary folder left behind";

    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"big.bin|300020",
                                               "fake_setup_gui.exe|" + std::to_string(fake_.size()),
                                               "no time.txt|1", "readme.txt|7"}));
    EXPECT_EQ(ReadBytes(copies_ + "\\big.bin"), big + big2);
    EXPECT_EQ(ReadBytes(copies_ + "\\readme.txt"), "hello\r\n");
    EXPECT_EQ(ReadBytes(copies_ + "\\fake_setup_gui.exe"), fake_);
    struct Case {
        const char* Name;
        uint32_t Stamp;
    };
    for (const Case c :
         {Case{"readme.txt", Stamp(4)}, Case{"big.bin", Stamp(8)}, Case{"fake_setup_gui.exe", Stamp(0)}}) {
        WIN32_FILE_ATTRIBUTE_DATA a{};
        ASSERT_TRUE(GetFileAttributesExA((copies_ + "\\" + c.Name).c_str(), GetFileExInfoStandard, &a));
        FILETIME local;
        WORD date = 0, time = 0;
        FileTimeToLocalFileTime(&a.ftLastWriteTime, &local);
        FileTimeToDosDateTime(&local, &date, &time);
        EXPECT_EQ(static_cast<uint32_t>(date) << 16 | time, c.Stamp) << c.Name;
    }
}

TEST_F(SetupFlowTest, PassesTheExitCodeOnAndAddsOriginExeOnlyOnce)
{
    TVolume p = Package();
    p.File("fake_setup_gui.exe*", fake_, Stamp());
    WriteBytes(launcher_, p.Build());
    struct Case {
        const char* Exit;
        DWORD Code;
        std::string Args;
        bool OriginAdded;
    };
    for (const Case& c : {Case{"0", 0, "", true}, Case{"3", 3, "/OriginExe=\"X:\\first.exe\" /Q", false},
                          Case{"255", 255, "/originexe=lower", true},
                          // 259 is the "still active" code: the wait must not take it for a running program.
                          Case{"259", 259, "", true}}) {
        DeleteFileA(record_.c_str());
        SetEnvironmentVariableA("VEL_FAKE_EXIT", c.Exit);
        TRun run;
        run.Args = c.Args;
        Run(run);
        ASSERT_TRUE(run.Ended);
        EXPECT_EQ(run.ExitCode, c.Code);
        const auto rec = ReadRecord(record_);
        ASSERT_TRUE(rec.count("cmd")) << c.Exit;
        ExpectCommandLine(rec, c.Args, launcher_, c.OriginAdded);
    }
}

TEST_F(SetupFlowTest, ASetupProgramThatCannotStartEndsTheLauncherWithTheSystemCode)
{
    TVolume p = Package();
    p.File("broken.exe*/S", "this file is not a program", Stamp(), false);
    WriteBytes(launcher_, p.Build());
    SetLastError(ERROR_BAD_EXE_FORMAT);
    const std::string reason = LastErrorText();
    struct Case {
        const char* How;
        std::string Args;
        bool Box;
    };
    for (const Case& c : {Case{"foreground", "", true}, Case{"hidden", "/hide", false}}) {
        TRun run;
        run.Args = c.Args;
        run.Answer = "OK";
        Run(run);
        ASSERT_TRUE(run.Ended) << c.How;
        // 193 fits in the low 8 bits, which is all a caller outside Wine sees.
        EXPECT_EQ(run.ExitCode, static_cast<DWORD>(ERROR_BAD_EXE_FORMAT)) << c.How;
        ASSERT_EQ(run.Boxes.size(), c.Box ? 1u : 0u) << c.How;
        if (c.Box) {
            const std::string& text = run.Boxes[0].Text;
            EXPECT_NE(text.find("The setup program could not be started:"), std::string::npos) << text;
            EXPECT_NE(text.find("\\broken.exe"), std::string::npos) << text;
            EXPECT_NE(text.find(reason), std::string::npos) << reason << "\n" << text;
            EXPECT_TRUE(run.Boxes[0].Clicked);
        }
    }
}

TEST_F(SetupFlowTest, WaitsForTheDialogWindowOfTheSetupProgram)
{
    TVolume p = Package();
    p.File("fake_setup_gui.exe*", fake_, Stamp());
    WriteBytes(launcher_, p.Build());
    SetEnvironmentVariableA("VEL_FAKE_DIALOG_MS", "3000");
    SetEnvironmentVariableA("VEL_FAKE_EXIT", "7");
    TRun run;
    Run(run);
    ASSERT_TRUE(run.Ended);
    EXPECT_EQ(run.ExitCode, 7u);
    EXPECT_TRUE(Exists(record_ + ".dialog")) << "the launcher ended while a dialog window was open";
}

TEST_F(SetupFlowTest, HiddenRunsAskNothingAndStartTheProgramHidden)
{
    struct Case {
        const char* How;
        const char* Silent;
        std::string Args;
    };
    for (const Case& c : {Case{"/hide", "0", "/hide"}, Case{"silent item", "1", ""}}) {
        TVolume p = Package();
        p.Flags = 0x01 | 0x08;  // extract notice and activity bar: would ask in the foreground
        p.Agent = std::string("|http:/|.info|.exe|token|") + c.Silent + "|";
        p.File("fake_setup_gui.exe*", fake_, Stamp());
        WriteBytes(launcher_, p.Build());
        DeleteFileA(record_.c_str());
        TRun run;
        run.Args = c.Args;
        Run(run);
        ASSERT_TRUE(run.Ended) << c.How;
        EXPECT_TRUE(run.Boxes.empty()) << c.How;
        EXPECT_FALSE(run.WindowSeen) << c.How;
        const auto rec = ReadRecord(record_);
        ASSERT_TRUE(rec.count("show")) << c.How;
        EXPECT_EQ(rec.at("show"), "0") << c.How;
    }
}

TEST_F(SetupFlowTest, ExtractsAPackageSplitOverVolumesInOneFolder)
{
    const std::string part1(5000, '1'), part2(7000, '2'), part3 = "end";
    TVolume v1 = Package();
    v1.Flags = 0x02;  // more volumes follow
    v1.File("fake_setup_gui.exe*/V", fake_, Stamp()).File("split.bin", part1, Stamp(2));
    TVolume v2;
    v2.First = false;
    v2.Flags = 0x02;
    v2.File("split.bin", part2, Stamp(2));
    TVolume v3;
    v3.First = false;
    v3.File("split.bin", part3, Stamp(2)).File("last.txt", "last", Stamp(2), false);
    WriteBytes(launcher_, v1.Build());
    WriteBytes(launcher_ + ".002", v2.Build());
    WriteBytes(launcher_ + ".003", v3.Build());
    TRun run;
    Run(run);
    ASSERT_TRUE(run.Ended);
    EXPECT_TRUE(run.Boxes.empty()) << "no disk prompt when the volumes are there";
    const auto rec = ReadRecord(record_);
    ASSERT_TRUE(rec.count("cmd"));
    ExpectCommandLine(rec, "/V", launcher_);
    EXPECT_EQ(ReadBytes(copies_ + "\\split.bin"), part1 + part2 + part3);
    EXPECT_EQ(ReadBytes(copies_ + "\\last.txt"), "last");
}

TEST_F(SetupFlowTest, CorruptedPackageShowsBadCrcAndRunsNothing)
{
    // A small package fails its checksum; a large one (no checksum) carries a
    // compressed record that zlib rejects: both are reported with "s7".
    TVolume small;
    small.WithChecksum = true;
    small.File("fake_setup_gui.exe*", "not really a program", Stamp(), false);
    std::string small_bytes = small.Build();
    small_bytes[small_bytes.size() - 74 - 16] ^= 0x55;  // inside the record data, in the summed part
    const std::string small_path = work_ + "\\small package.bin";
    WriteBytes(small_path, small_bytes);

    TVolume large = Package();
    large.File("fake_setup_gui.exe*", fake_, Stamp());
    std::string large_bytes = large.Build();
    const size_t body = image_.size() + 4 + large.Language.size() + 4 + large.Agent.size() + 4;
    for (size_t i = body + 200; i < body + 260; ++i) large_bytes[i] = '\x5A';  // inside the zlib stream
    const std::string large_path = work_ + "\\large package.exe";
    WriteBytes(large_path, large_bytes);

    WriteBytes(launcher_, image_);  // a launcher without a package of its own
    for (const std::string& volume : {small_path, large_path}) {
        TRun run;
        run.Args = "/SpanDiskFName1=\"" + volume + "\"";
        run.Answer = "OK";
        Run(run);
        ASSERT_TRUE(run.Ended) << volume;
        EXPECT_EQ(run.ExitCode, 0u) << volume;
        ASSERT_EQ(run.Boxes.size(), 1u) << volume;
        EXPECT_NE(run.Boxes[0].Text.find("Bad CRC!"), std::string::npos) << run.Boxes[0].Text;
        EXPECT_TRUE(run.Boxes[0].Clicked);
        EXPECT_FALSE(Exists(record_)) << "a program ran from a corrupted package";
    }
}

TEST_F(SetupFlowTest, SpaceQuestionAnsweredNoExtractsAndRunsNothing)
{
    TVolume p = Package();
    p.Flags = 0x01;  // show the extract notice
    p.File("fake_setup_gui.exe*", fake_, Stamp());
    WriteBytes(launcher_, p.Build());
    TRun run;
    run.Answer = "No";
    Run(run);
    ASSERT_TRUE(run.Ended);
    EXPECT_EQ(run.ExitCode, 0u);
    ASSERT_EQ(run.Boxes.size(), 1u);
    EXPECT_TRUE(run.Boxes[0].Clicked) << run.Boxes[0].Text;
    EXPECT_NE(run.Boxes[0].Text.find("Velmora will extract files to your Temp Drive (C:)"), std::string::npos)
        << "[" << run.Boxes[0].Text << "]";
    EXPECT_NE(run.Boxes[0].Text.find("Continue with Setup?"), std::string::npos);
    EXPECT_FALSE(Exists(record_));
}

// Windows of the class (the launcher's full path in setup mode) that belong
// to the process.
struct ClassWindowCount {
    const std::string* Cls;
    DWORD Pid;
    int N = 0;
};

BOOL CALLBACK CountClassWindow(HWND w, LPARAM lp)
{
    auto* c = reinterpret_cast<ClassWindowCount*>(lp);
    char name[MAX_PATH + 1] = {};
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    GetClassNameA(w, name, sizeof name);
    if (owner == c->Pid && *c->Cls == name) ++c->N;
    return TRUE;
}

int CountClassWindowsOf(const std::string& cls, DWORD pid)
{
    ClassWindowCount c{&cls, pid};
    EnumWindows(CountClassWindow, reinterpret_cast<LPARAM>(&c));
    return c.N;
}

TEST_F(SetupFlowTest, SecondStartWhileTheFirstRunsEndsWithoutWindowOrRun)
{
    TVolume p = Package();
    p.File("fake_setup_gui.exe*", fake_, Stamp());
    WriteBytes(launcher_, p.Build());
    SetEnvironmentVariableA("VEL_FAKE_DIALOG_MS", "5000");
    SetEnvironmentVariableA("VEL_FAKE_EXIT", "5");

    std::string line = "\"" + launcher_ + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION first{};
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, work_.c_str(), &si,
                               &first));
    // The setup program has run and its dialog window keeps the first launcher waiting.
    for (int i = 0; i < 600 && !Exists(record_); ++i) Sleep(50);
    ASSERT_TRUE(Exists(record_)) << "the first start did not run its setup program";
    const std::string first_record = ReadBytes(record_);
    ASSERT_EQ(WaitForSingleObject(first.hProcess, 0), WAIT_TIMEOUT);
    ASSERT_EQ(CountClassWindowsOf(launcher_, first.dwProcessId), 1);

    PROCESS_INFORMATION second{};
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, work_.c_str(), &si,
                               &second));
    int windows = 0;
    bool ended = false;
    for (int i = 0; i < 1200 && !ended; ++i) {
        windows = std::max(windows, CountClassWindowsOf(launcher_, second.dwProcessId));
        ended = WaitForSingleObject(second.hProcess, 25) == WAIT_OBJECT_0;
    }
    DWORD second_code = 0xDEAD;
    GetExitCodeProcess(second.hProcess, &second_code);
    EXPECT_TRUE(ended) << "the second start did not end while the first ran";
    EXPECT_EQ(windows, 0) << "the second start made a main window";
    EXPECT_EQ(second_code, 0u);
    EXPECT_EQ(ReadBytes(record_), first_record) << "the second start ran the setup program";
    EXPECT_EQ(WaitForSingleObject(first.hProcess, 0), WAIT_TIMEOUT) << "the first start ended early";

    EXPECT_EQ(WaitForSingleObject(first.hProcess, 60000), WAIT_OBJECT_0);
    DWORD first_code = 0xDEAD;
    GetExitCodeProcess(first.hProcess, &first_code);
    EXPECT_EQ(first_code, 5u);
    for (PROCESS_INFORMATION* pi : {&first, &second}) {
        TerminateProcess(pi->hProcess, 1);
        CloseHandle(pi->hThread);
        CloseHandle(pi->hProcess);
    }
}

}  // namespace
