#include "process/exec_pipe.h"

#include <gtest/gtest.h>

TEST(BuildCommandLine, QuotesOnlyUnquotedProgramsWithBlanks)
{
    struct Case {
        const char* Program;
        const char* Arguments;
        const char* Expected;
    } cases[] = {
        {"C:\\Program Files\\App\\app.exe", "", "\"C:\\Program Files\\App\\app.exe\""},
        {"C:\\Program Files\\App\\app.exe", "/a b", "\"C:\\Program Files\\App\\app.exe\" /a b"},
        {"\"C:\\Program Files\\App\\app.exe\"", "/x", "\"C:\\Program Files\\App\\app.exe\" /x"},
        {"tasklist.exe", "/FO csv", "tasklist.exe /FO csv"},
        {"tasklist.exe", "", "tasklist.exe"},
        // A quote anywhere means the caller has quoted it already.
        {"C:\\A B\\x.exe \"arg\"", "", "C:\\A B\\x.exe \"arg\""},
    };
    for (const Case& c : cases) EXPECT_EQ(BuildCommandLine(c.Program, c.Arguments), c.Expected) << c.Program;
}
