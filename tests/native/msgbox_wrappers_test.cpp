#include <gtest/gtest.h>

#include <vector>

#include "ui/msgbox.h"

namespace {

// Answers every box with `answer` and keeps what was asked.
class MsgBoxWrappersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetMsgBoxHook([this](const TMsgBoxRequest& r) {
            asked.push_back(r);
            return answer;
        });
    }
    void TearDown() override { SetMsgBoxHook(nullptr); }
    std::vector<TMsgBoxRequest> asked;
    int answer = 0;
};

TEST_F(MsgBoxWrappersTest, DefaultsFillEmptyCaptionAndButtons)
{
    MsgError(0, "Disk full");
    MsgAttention(1, "Look", "", 500);
    MsgConfirm(2, "Go?", "Question", 0, 177, "|1|2|3|4|5|6|7|");
    MsgConfirmOkCancel(0x4242, "Ok?");
    ASSERT_EQ(asked.size(), 4u);

    EXPECT_EQ(asked[0].Caption, "Error");
    EXPECT_EQ(asked[0].Text, "<<b>ERROR</b><P><P>Disk full<P>");
    EXPECT_EQ(asked[0].Flags, 0x10u);
    EXPECT_EQ(asked[0].ButtonTexts, kDefaultButtonTexts);

    EXPECT_EQ(asked[1].Caption, "Attention");
    EXPECT_EQ(asked[1].Text, "Look");
    EXPECT_EQ(asked[1].Flags, 0x30u);
    EXPECT_EQ(asked[1].TimeoutMs, 500);

    EXPECT_EQ(asked[2].Caption, "Question");
    EXPECT_EQ(asked[2].Flags, 0x24u | MBX_NOCLOSE | 0x180000u);
    EXPECT_EQ(asked[2].ButtonTexts, "|1|2|3|4|5|6|7|");

    EXPECT_EQ(asked[3].Caption, "Confirm");
    EXPECT_EQ(asked[3].Flags, 0x21u);
    EXPECT_EQ(asked[3].OwnerCode, 0x4242);
}

TEST_F(MsgBoxWrappersTest, ConfirmAnswers)
{
    const struct {
        int answer;
        bool yes_no, ok_cancel;
    } cases[] = {{6, true, false}, {7, false, false}, {1, false, true}, {2, false, false}, {0, false, false}};
    for (const auto& c : cases) {
        answer = c.answer;
        EXPECT_EQ(MsgConfirm(1, "q"), c.yes_no) << c.answer;
        EXPECT_EQ(MsgConfirmOkCancel(1, "q"), c.ok_cancel) << c.answer;
    }
}

TEST(MsgBoxFontState, SizeZeroKeepsTheSize)
{
    SetMsgBoxFont("Arial", 10, 204);
    SetMsgBoxFont("Verdana", 0, 0);
    const TMsgBoxFont font = MsgBoxFont();
    EXPECT_EQ(font.Face, "Verdana");
    EXPECT_EQ(font.PointSize, 10);
    EXPECT_EQ(font.Charset, 0);
    SetMsgBoxFont("Tahoma", 8, 1);
}

}  // namespace
