#include "autoupdate/agent_settings.h"

#include <gtest/gtest.h>

#include "lang/sysinfo.h"
#include "package/token.h"
#include "base/text_utils.h"

namespace {

class AgentSettingsText : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetTransientSlots();
        SetUserSeparators({'/', ':', '.'});
    }
    void TearDown() override
    {
        ResetTransientSlots();
        ResetUserSeparators();
    }
};

}  // namespace

TEST_F(AgentSettingsText, DescriptionFilePathsComeFromTheAgentBlockName)
{
    EXPECT_EQ(InfoFilePathIn("C:\\Agent\\", "MyApp.info"), "C:\\Agent\\MyApp.info");
    EXPECT_EQ(InfoFilePathIn("C:\\Agent\\", "http:\\\\host\\dir\\MyApp.info"), "C:\\Agent\\MyApp.info");
    EXPECT_EQ(InfoFilePathIn("C:\\Agent\\", "D:MyApp.info"), "C:\\Agent\\MyApp.info");
    EXPECT_EQ(OriginalFilePathIn("C:\\Agent\\", "MyApp.info"), "C:\\Agent\\MyApp.original");
    EXPECT_EQ(OriginalFilePathIn("C:\\Agent\\", "dir\\My.App.v2.info"), "C:\\Agent\\My.original");
    EXPECT_EQ(OriginalFilePathIn("C:\\Agent\\", "NoExtension"), "C:\\Agent\\NoExtension.original");
    EXPECT_EQ(FetchedFileName("http://host/dir/Update.exe"), "Update.exe");
    EXPECT_EQ(FetchedFileName("..\\..\\Update.exe"), "Update.exe");
    EXPECT_EQ(FetchedFileName("Update.exe"), "Update.exe");
}

TEST_F(AgentSettingsText, ReadableTimeShowsDayMonthYearAndTime)
{
    EXPECT_EQ(ReadableAgentTime(0), "30-DEC-1899 00:00:00");
    EXPECT_EQ(ReadableAgentTime(EncodeDateTime({2024, 2, 1, 13, 5, 9})), "01-FEB-2024 13:05:09");
    EXPECT_EQ(ReadableAgentTime(86399), "30-DEC-1899 23:59:59");
    // -1 stands for "now" in the date helpers, but a stored time is just a number.
    EXPECT_EQ(ReadableAgentTime(-1), "29-DEC-1899 23:59:59");
}

TEST_F(AgentSettingsText, ValidVersionsAreMatchedAsWholeCommaSeparatedNumbers)
{
    struct Case {
        const char* List;
        int32_t Version;
        bool Valid;
    } cases[] = {
        {"", 10, true},          {"100,101", 10, false}, {"100,101", 101, true},
        {"100,101", 100, true},  {"100,101", 1, false},  {"103, 104", 104, false},  // no trimming
        {"103,104,", 104, true}, {"-5,7", -5, true},     {"7", 7, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsValidVersion(c.List, c.Version), c.Valid) << c.List << " / " << c.Version;
}

TEST_F(AgentSettingsText, InformTextSplitsAfterTheFourthBar)
{
    const std::string scrambledToken = ScrambleToken("T0K3N-42", 7);
    std::string token, rest;

    SplitTokenLine("head|" + scrambledToken + "|x|y|<b>New</b> version|with|bars", token, rest);
    EXPECT_EQ(token, "T0K3N-42");
    EXPECT_EQ(rest, "<b>New</b> version|with|bars");

    SplitTokenLine("|" + scrambledToken + "|||", token, rest);
    EXPECT_EQ(token, "T0K3N-42");
    EXPECT_EQ(rest, "");

    // The whole file may be scrambled by the text scrambling of the utilities.
    const std::string plain = "|" + scrambledToken + "|a|b|Inform <P>text";
    SplitTokenLine(ScrambleTextWithKey(plain, true, false, 77), token, rest);
    EXPECT_EQ(token, "T0K3N-42");
    EXPECT_EQ(rest, "Inform <P>text");

    // Fewer than four bars: no inform text; a broken token matches no real one.
    SplitTokenLine("|" + scrambledToken + "|a|only three", token, rest);
    EXPECT_EQ(token, "T0K3N-42");
    EXPECT_EQ(rest, "");
    SplitTokenLine("no bars at all", token, rest);
    EXPECT_EQ(rest, "");
    EXPECT_NE(token, "");
    EXPECT_NE(token, "T0K3N-42");
}

TEST_F(AgentSettingsText, TransientSlotsRoundTripThroughTheirText)
{
    EXPECT_EQ(TransientSettingsText(), "|255|255|255|255|255|255|255|255|");
    SetTransientSlot(kSlotConfirmBeforeDownload, 1);
    SetTransientSlot(kSlotConfirmBeforeInstallForce, 0);
    SetTransientSlot(8, 1);  // no such slot
    SetTransientSlot(-1, 1);
    const std::string text = TransientSettingsText();
    EXPECT_EQ(text, "|255|1|255|255|255|255|255|0|");

    ResetTransientSlots();
    ParseTransientSettings(text);
    EXPECT_EQ(TransientSettingsText(), text);
    EXPECT_EQ(GetTransientSlot(99), kTransientUnset);
}

TEST_F(AgentSettingsText, ParsingSetsOnlyTheSlotsItHasNumbersFor)
{
    SetTransientSlot(5, 1);
    ParseTransientSettings("|1|0|");  // two items: slots 0 and 1
    EXPECT_EQ(TransientSettingsText(), "|1|0|255|255|255|1|255|255|");
    EXPECT_TRUE(GetAskBeforeProbe());

    ResetTransientSlots();
    ParseTransientSettings("|x||7|256|-1|3a|9|1|1|1|");  // nine items: the ninth is ignored
    EXPECT_EQ(TransientSettingsText(), "|255|255|7|0|255|255|9|1|");
    EXPECT_FALSE(GetAskBeforeProbe());

    ParseTransientSettings("");
    ParseTransientSettings("|99999999999999999999999|");  // beyond 64 bits: not a number
    EXPECT_EQ(GetTransientSlot(0), kTransientUnset);
}

TEST_F(AgentSettingsText, ProbingFlagStartsOnAndCanBeCleared)
{
    EXPECT_TRUE(IsProbingEnabled());
    SetProbingEnabled(false);
    EXPECT_FALSE(IsProbingEnabled());
    SetProbingEnabled(true);
    EXPECT_TRUE(IsProbingEnabled());
}

TEST(AgentTextDefaults, AgentHasTextsOfItsOwnForSomeKeys)
{
    EXPECT_EQ(AgentTextDefault("s3"), "File Download Aborted!");
    EXPECT_EQ(AgentTextDefault("S34"), "New Version");
    EXPECT_EQ(AgentTextDefault("s35"), "Download");
    EXPECT_EQ(AgentTextDefault("s2"), "");
    EXPECT_EQ(AgentTextDefault("s36"), "");
}
