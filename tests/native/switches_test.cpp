#include "base/switches.h"

#include <gtest/gtest.h>

namespace {

TEST(GetArgsText, ProgramNameRemoved)
{
    struct {
        const char* cmd;
        const char* path;
        const char* args;
    } cases[] = {
        {"\"C:\\Program Files\\App\\setup.exe\" /hide /L=1", "C:\\Program Files\\App\\setup.exe",
         "/hide /L=1"},
        {"\"C:\\Program Files\\App\\SETUP.EXE\"  /x ", "C:\\Program Files\\App\\setup.exe", "/x"},
        {"C:\\App\\setup.exe /SleepX=5", "C:\\App\\setup.exe", "/SleepX=5"},
        {"setup /a", "C:\\App\\setup.exe", "setup /a"},  // name not found: nothing removed
        {"\"C:\\App\\setup.exe\"", "C:\\App\\setup.exe", ""},
        {"C:\\App\\setup.exe x", "C:\\App\\setup.exe", ""},  // a result of one character is empty
        {"", "C:\\App\\setup.exe", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(GetArgsTextFrom(c.cmd, c.path), c.args) << c.cmd;
}

TEST(GetSwitchStr, ValueSwitches)
{
    const std::string args =
        "/SpanDiskFName1=\"C:\\My Files\\disk 1.001\" /hide /sleepx= 5 /Empty= /WM_MSG=12:34 "
        "/L=1 /L=2 /Name=two words /OriginExe=\"C:\\a b\\x.exe\"";
    struct {
        const char* name;
        const char* expected;
    } cases[] = {
        {"/SpanDiskFName1=", "C:\\My Files\\disk 1.001"},  // quotes gone, following flag not part of it
        {"/SleepX=", "5"},                                 // lower case in the line, blank after "=" trimmed
        {"SleepX", "5"},                                   // "/" and "=" may be left out
        {"/Empty=", ""},
        {"/WM_MSG=", "12:34"},
        {"/L=", "1"},  // first occurrence wins
        {"/Name=", "two words"},
        {"/OriginExe=", "C:\\a b\\x.exe"},
        {"/Missing=", "<def>"},
        {"/hide", "<def>"},  // a flag has no value
        {"   ", "<def>"},
        {"/", "<def>"},
    };
    for (const auto& c : cases) EXPECT_EQ(GetSwitchStrFrom(args, c.name, "<def>"), c.expected) << c.name;
}

TEST(GetSwitchStr, KeyMatchesWholeNamesOnly)
{
    EXPECT_EQ(GetSwitchStrFrom("/TRANSIENTx=1|2 /TRANSIENT=9", "/TRANSIENT=", ""), "9");
    EXPECT_EQ(GetSwitchStrFrom("/TRANSIENT=9 /TRANSIENTx=1|2", "/TRANSIENTx=", ""), "1|2");
    EXPECT_EQ(GetSwitchStrFrom("/xSleepX=1", "/SleepX=", "d"), "d");
    EXPECT_EQ(GetSwitchStrFrom("a/SleepX=1", "/SleepX=", "d"), "d");  // must follow a blank
    // A "-" switch ends only at the next " -", a "/" switch only at the next " /".
    EXPECT_EQ(GetSwitchStrFrom("-dash=d -e=1 /x=2", "-dash=", ""), "d");
    EXPECT_EQ(GetSwitchStrFrom("-e=1 /x=2", "-e", ""), "1 /x=2");
    EXPECT_EQ(GetSwitchStrFrom("/x=a -e=1 /y", "/x=", ""), "a -e=1");
}

TEST(GetSwitchInt, NumbersAndFallbacks)
{
    struct {
        const char* args;
        int64_t expected;
    } cases[] = {
        {"/SleepX=7", 7},
        {"/sleepx= 7", 7},
        {"/SleepX=-2", -2},
        {"/SleepX=abc", -3},
        {"/SleepX=", -3},
        {"/SleepX=5x", -3},
        {"/SleepX=99999999999999999999", -3},
        {"/SleepX=9223372036854775807", INT64_MAX},
        {"/hide", -3},
        {"", -3},
    };
    for (const auto& c : cases) EXPECT_EQ(GetSwitchIntFrom(c.args, "/SleepX=", -3), c.expected) << c.args;
}

TEST(HasSwitch, FlagSwitches)
{
    EXPECT_TRUE(HasSwitchFrom("/hide", "/hide"));
    EXPECT_TRUE(HasSwitchFrom("/L=1 /HIDE /x", "/hide"));
    EXPECT_TRUE(HasSwitchFrom("/x /hide ", " /hide "));
    EXPECT_FALSE(HasSwitchFrom("/hidden", "/hide"));
    EXPECT_FALSE(HasSwitchFrom("/hide=1", "/hide"));
    EXPECT_FALSE(HasSwitchFrom("", "/hide"));
    EXPECT_FALSE(HasSwitchFrom("/hide", ""));
}

TEST(SwitchReaders, ProcessCommandLineSource)
{
    SetCommandLineSource(
        "\"C:\\Disk\\setup.exe\" /SpanCdLvl=2 /SpanDiskFName1=\"C:\\Disk\\setup.exe.001\" /hide",
        "C:\\Disk\\setup.exe");
    EXPECT_EQ(GetArgsText(), "/SpanCdLvl=2 /SpanDiskFName1=\"C:\\Disk\\setup.exe.001\" /hide");
    EXPECT_EQ(GetSwitchInt(SwitchSpanCdLvl, SwitchSpanCdLvlDefault), 2);
    EXPECT_EQ(GetSwitchStr(SwitchSpanDiskFName1, ""), "C:\\Disk\\setup.exe.001");
    EXPECT_TRUE(HasSwitch(SwitchHide));
    EXPECT_EQ(GetSwitchInt(SwitchStop, SwitchStopDefault), -1);
    SetCommandLineSource("", "");
}

}  // namespace
