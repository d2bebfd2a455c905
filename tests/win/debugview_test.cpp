// tools/debugview with the real launcher: the viewer window it opens gets
// the launcher's debug stream, and the viewer writes whole lines with their
// arrival time to its console and log, with the process they mostly came from.
#include "win/setup_test_support.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace setup_test;

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// "hh:mm:ss.mmm  " at the start.
bool Stamped(const std::string& line)
{
    if (line.size() < 14 || line.compare(12, 2, "  ") != 0) return false;
    for (int i : {0, 1, 3, 4, 6, 7, 9, 10, 11})
        if (line[i] < '0' || line[i] > '9') return false;
    return line[2] == ':' && line[5] == ':' && line[8] == '.';
}

class DebugViewTool : public SetupFlowTest {
protected:
    void TearDown() override
    {
        StopViewer();
        SetupFlowTest::TearDown();
    }

    static std::string ViewerCommand(const std::string& args)
    {
        std::string line(1, '"');
        line += ProgramFolder() + "debugview.exe\" ";
        return line + args;
    }

    // Starts the viewer with its console written to `console_`; false when its
    // window does not appear.
    bool StartViewer(const std::string& args)
    {
        console_ = work_ + "\\console.txt";
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        HANDLE out = CreateFileA(console_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        STARTUPINFOA si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = out;
        si.hStdError = out;
        std::string line = ViewerCommand(args);
        const bool started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                            nullptr, work_.c_str(), &si, &viewer_);
        CloseHandle(out);
        if (!started) return false;
        CloseHandle(viewer_.hThread);
        for (int i = 0; i < 1000 && !FindWindowA(".VDebug.", nullptr); ++i) Sleep(10);
        return FindWindowA(".VDebug.", nullptr) != nullptr;
    }
    // Closes the viewer's window as Ctrl+C does; its exit code, or STILL_ACTIVE.
    DWORD StopViewer()
    {
        if (!viewer_.hProcess) return 0;
        if (HWND w = FindWindowA(".VDebug.", nullptr)) PostMessageA(w, WM_CLOSE, 0, 0);
        WaitForSingleObject(viewer_.hProcess, 10000);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(viewer_.hProcess, &code);
        if (code == STILL_ACTIVE) TerminateProcess(viewer_.hProcess, 1);
        CloseHandle(viewer_.hProcess);
        viewer_ = {};
        return code;
    }

    // The launcher run with arguments long enough that its start line spans
    // several chunks.
    void RunLauncher(const std::string& args)
    {
        TVolume v = Package();
        v.File("fake_setup_gui.exe*/FROMVIEW", fake_, Stamp());
        WriteBytes(launcher_, v.Build());
        TRun run;
        run.Args = args;
        Run(run);
        ASSERT_TRUE(run.Ended);
    }

    std::string console_;
    PROCESS_INFORMATION viewer_{};
};

TEST_F(DebugViewTool, JoinsTheLauncherChunksIntoStampedLinesAndNamesItsProcess)
{
    const std::string log = work_ + "\\view log.txt";
    ASSERT_TRUE(StartViewer("--log \"" + log + "\""));
    const std::string args = "/ARG=" + std::string(200, 'v');
    RunLauncher(args);
    EXPECT_EQ(StopViewer(), 0u);

    const std::string logText = ReadBytes(log);
    EXPECT_EQ(ReadBytes(console_), logText) << "the console shows what the log keeps";
    const std::vector<std::string> lines = Lines(logText);
    const std::string start = " ==== STUB START ====> \"" + launcher_ + "\" " + args + "<";
    std::string pid;
    for (const std::string& line : lines) {
        const size_t at = line.find(start);
        if (at == std::string::npos) continue;
        EXPECT_TRUE(Stamped(line)) << line;
        pid = line.substr(14, at - 14);
    }
    ASSERT_FALSE(pid.empty()) << "the start line, whole:\n" << logText;
    EXPECT_NE(logText.find(pid + " ==== STUB END ====> "), std::string::npos) << logText;
    EXPECT_NE(logText.find("-- most lines come from process " + pid + "\r\n"), std::string::npos) << logText;
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("-- process " + pid + ": ", 0), 0u) << lines.back();
}

TEST_F(DebugViewTool, FilterKeepsOnlyMatchingLinesCaseIgnored)
{
    const std::string log = work_ + "\\filtered.txt";
    ASSERT_TRUE(StartViewer("--filter \"stub end\" --log \"" + log + "\""));
    RunLauncher("/X");
    EXPECT_EQ(StopViewer(), 0u);
    int shown = 0;
    for (const std::string& line : Lines(ReadBytes(log))) {
        if (line.rfind("-- ", 0) == 0) continue;  // the viewer's own notes
        ++shown;
        EXPECT_NE(line.find("==== STUB END ====>"), std::string::npos) << line;
    }
    EXPECT_EQ(shown, 1);
}

TEST_F(DebugViewTool, RefusesASecondViewerAndBadArguments)
{
    ASSERT_TRUE(StartViewer("--log \"" + work_ + "\\first.txt\""));
    for (const std::string& args :
         {"--log \"" + work_ + "\\second.txt\"", std::string("--filter"), std::string("--colour")}) {
        std::string line = ViewerCommand(args);
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                                   work_.c_str(), &si, &pi));
        ASSERT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0) << args;
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        EXPECT_NE(code, 0u) << args;
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    EXPECT_FALSE(Exists(work_ + "\\second.txt"));
}

}  // namespace
