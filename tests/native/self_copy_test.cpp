#include "stub/self_copy.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SelfCopy, XCopyCommandLines)
{
    struct {
        const char* Program;
        const char* Transient;
        const char* Delay;
        const char* Expected;
    } cases[] = {
        {"C:\\Prog\\Agent.exe", "", "", "C:\\Prog\\X_Agent.exe"},
        {"C:\\Prog\\Agent.exe", "|1|0|255|255|255|255|255|255|", "",
         "C:\\Prog\\X_Agent.exe /TRANSIENTx=|1|0|255|255|255|255|255|255|"},
        {"C:\\Prog\\Agent.exe", "", "5", "C:\\Prog\\X_Agent.exe /SleepX=5"},
        {"C:\\Program Files\\Vel Agent.exe", "|1|", "0",
         "\"C:\\Program Files\\X_Vel Agent.exe\" /TRANSIENTx=|1| /SleepX=0"},
        {"C:\\Tab\tFolder\\Agent.exe", "", "", "\"C:\\Tab\tFolder\\X_Agent.exe\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Program);
        EXPECT_EQ(XCopyCommandLine(XCopyPath(c.Program), XCopyArguments(c.Transient, c.Delay)), c.Expected);
    }
}

TEST(SelfCopy, YCopyCommandLines)
{
    struct {
        const char* Temp;
        const char* Program;
        const char* Args;
        const char* Expected;
    } cases[] = {
        // A program at the root of a CD: its own path + ".001" is the first volume.
        {"C:\\Temp\\SETUP_1234", "X:\\SETUP.EXE", "",
         "C:\\Temp\\SETUP_1234\\Y_SETUP.EXE /SpanCdLvl=2 /SpanDiskFName1=\"X:\\SETUP.EXE.001\" "
         "/OriginExe=\"X:\\SETUP.EXE\""},
        // A Y_ path with a blank is quoted; the arguments are trimmed.
        {"C:\\Temp\\SETUP_1234\\", "X:\\Disk 1\\My Setup.exe", "  /L=1 /hide ",
         "\"C:\\Temp\\SETUP_1234\\Y_My Setup.exe\" /L=1 /hide /SpanCdLvl=2 "
         "/SpanDiskFName1=\"X:\\Disk 1\\My Setup.exe.001\" /OriginExe=\"X:\\Disk 1\\My Setup.exe\""},
        {"C:\\Documents and Settings\\u\\Temp\\SETUP_7", "X:\\My Setup.exe", "/A",
         "\"C:\\Documents and Settings\\u\\Temp\\SETUP_7\\Y_My Setup.exe\" /A /SpanCdLvl=2 "
         "/SpanDiskFName1=\"X:\\My Setup.exe.001\" /OriginExe=\"X:\\My Setup.exe\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Program);
        EXPECT_EQ(YCopyCommandLine(YCopyPath(c.Temp, c.Program), c.Args, c.Program), c.Expected);
    }
}

TEST(SelfCopy, WmMsgValues)
{
    struct {
        const char* Value;
        int64_t Window;
        int64_t Message;
    } cases[] = {
        {"1234:1500", 1234, 1500},
        {"1234", 1234, 0},  // without ":" the message is 0
        {"1234:", 1234, 0},
        {":1500", 0, 1500},
        {"abc:1500", 0, 1500},
        {"1234:x", 1234, 0},
        {"4294967296:7", 4294967296, 7},  // a 64-bit window handle
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Value);
        const TControllerTarget t = ParseWmMsg(c.Value);
        EXPECT_EQ(t.Window, c.Window);
        EXPECT_EQ(t.Message, c.Message);
    }
    EXPECT_EQ(WmMsgList("12:34"), ":12:34:");
}

TEST(SelfCopy, DeleteScriptNamePerProcess)
{
    EXPECT_EQ(DeleteScriptName(4711), "_DEL_ME_4711.BAT");
    EXPECT_NE(DeleteScriptName(1), DeleteScriptName(2));
}

std::string Lines(std::initializer_list<std::string> lines)
{
    std::string text;
    for (const std::string& l : lines) text += l + "\r\n";
    return text;
}

TEST(SelfCopy, DeleteScripts)
{
    const std::string tries(kDeleteScriptTries, 'x');
    auto script = [&](const std::string& program, const std::string& tail) {
        return Lines({"@ECHO OFF", "SET VELDEL=", ":START", "ATTRIB -R " + program, "DEL " + program,
                      "IF NOT exist " + program + " GOTO DONE", "SET VELDEL=%VELDEL%x",
                      "IF \"%VELDEL%\"==\"" + tries + "\" GOTO DONE", "PING -n 2 127.0.0.1 >NUL",
                      "GOTO START", ":DONE", "SET VELDEL="}) +
               tail;
    };
    struct {
        const char* Name;
        TDeleteScript Script;
        std::string Expected;
    } cases[] = {
        {"paths with blanks, quoted",
         {"C:\\Temp Dir\\_DEL_ME_12.BAT", "C:\\Program Files\\Vel\\X_Agent.exe", "C:\\Program Files\\Vel",
          false, true},
         script("\"C:\\Program Files\\Vel\\X_Agent.exe\"", Lines({"DEL \"C:\\Temp Dir\\_DEL_ME_12.BAT\""}))},
        {"folder removed too",
         {"C:\\Temp\\_DEL_ME_12.BAT", "C:\\Temp\\SETUP_1\\Y_Setup.exe", "C:\\Temp\\SETUP_1", true, true},
         script("\"C:\\Temp\\SETUP_1\\Y_Setup.exe\"",
                Lines({"RD \"C:\\Temp\\SETUP_1\"", "DEL \"C:\\Temp\\_DEL_ME_12.BAT\""}))},
        {"short names, no quotes",
         {"C:\\TEMP\\_DEL_M~1.BAT", "C:\\PROGRA~1\\VEL\\X_AGENT.EXE", "C:\\PROGRA~1\\VEL", true, false},
         script("C:\\PROGRA~1\\VEL\\X_AGENT.EXE",
                Lines({"RD C:\\PROGRA~1\\VEL", "DEL C:\\TEMP\\_DEL_M~1.BAT"}))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(DeleteScriptText(c.Script), c.Expected);
    }
}

}  // namespace
