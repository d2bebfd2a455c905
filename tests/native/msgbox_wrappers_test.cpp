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

    EXPECT_EQ(asked[0].caption, "Error");
    EXPECT_EQ(asked[0].text, "<<b>ERROR</b><P><P>Disk full<P>");
    EXPECT_EQ(asked[0].flags, 0x10u);
    EXPECT_EQ(asked[0].button_texts, kDefaultButtonTexts);

    EXPECT_EQ(asked[1].caption, "Attention");
    EXPECT_EQ(asked[1].text, "Look");
    EXPECT_EQ(asked[1].flags, 0x30u);
    EXPECT_EQ(asked[1].timeout_ms, 500);

    EXPECT_EQ(asked[2].caption, "Question");
    EXPECT_EQ(asked[2].flags, 0x24u | MBX_NOCLOSE | 0x180000u);
    EXPECT_EQ(asked[2].button_texts, "|1|2|3|4|5|6|7|");

    EXPECT_EQ(asked[3].caption, "Confirm");
    EXPECT_EQ(asked[3].flags, 0x21u);
    EXPECT_EQ(asked[3].owner_code, 0x4242);
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
    EXPECT_EQ(font.face, "Verdana");
    EXPECT_EQ(font.point_size, 10);
    EXPECT_EQ(font.charset, 0);
    SetMsgBoxFont("Tahoma", 8, 1);
}

}  // namespace
