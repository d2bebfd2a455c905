// The standard progress sink: what each event does to the two bars, and the
// TProgBar events with their message pumping.
#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "ui/progress.h"

namespace {

using A = TBarAction;

TEST(ProgressActions, StartSetsBothRangesAndStepAdvancesBoth)
{
    int counter = 3;
    EXPECT_EQ(ProgressActions(kProgressStart, 70000, 1, 1, counter),
              (std::vector<A>{{TBar::Main, TBarOp::SetRange, 70000},
                              {TBar::Main, TBarOp::SetPos, 1},
                              {TBar::Main, TBarOp::SetStep, 1},
                              {TBar::Activity, TBarOp::SetRange, 5},
                              {TBar::Activity, TBarOp::SetPos, 0},
                              {TBar::Activity, TBarOp::SetStep, 1}}));
    EXPECT_EQ(counter, 3) << "a start event does not reset the activity counter";
    EXPECT_EQ(ProgressActions(kProgressStep, 0, 0, 0, counter),
              (std::vector<A>{{TBar::Main, TBarOp::StepIt, 0}, {TBar::Activity, TBarOp::SetPos, 4}}));
    EXPECT_TRUE(ProgressActions(2, 10, 1, 1, counter).empty());
    EXPECT_TRUE(ProgressActions(-1, 10, 1, 1, counter).empty());
    EXPECT_EQ(counter, 4);
}

TEST(ProgressActions, SixStepsCycleTheActivityBarBackToZero)
{
    int counter = 0;
    std::vector<int> positions;
    for (int i = 0; i < 7; ++i)
        positions.push_back(ProgressActions(kProgressStep, 0, 0, 0, counter)[1].Value);
    EXPECT_EQ(positions, (std::vector<int>{1, 2, 3, 4, 5, 0, 1}));
}

std::vector<std::string> g_log;
void RecordingSink(int kind, int reserved, int maximum, int position, int step, const std::string& text)
{
    g_log.push_back("sink " + std::to_string(kind) + "," + std::to_string(reserved) + "," +
                    std::to_string(maximum) + "," + std::to_string(position) + "," + std::to_string(step) +
                    "," + text);
}
void RecordingPump()
{
    g_log.push_back("pump");
}

int64_t g_now = 0;
int64_t FakeClock()
{
    return g_now;
}

TEST(TProgBar, EventsArePumpedBeforeAndAfterAndSetTextDeliversNothing)
{
    g_log.clear();
    SetProgressPump(RecordingPump);
    TProgBar bar(RecordingSink, FakeClock);
    bar.Start(1, 9);
    g_now += kStepBatchMs;
    bar.Step("10 KB of 70 KB");
    bar.SetText("setup.exe");
    SetProgressPump(nullptr);
    EXPECT_EQ(g_log, (std::vector<std::string>{"pump", "sink 0,0,9,1,1,", "pump", "pump",
                                               "sink 1,0,0,0,0,10 KB of 70 KB", "pump", "pump"}));
}

TEST(TProgBar, FastStepsAreDeliveredTogetherAndNoneIsLost)
{
    g_log.clear();
    SetProgressPump(RecordingPump);
    TProgBar bar(RecordingSink, FakeClock);
    bar.Start(0, 100);
    const auto steps = [] {
        return std::count_if(g_log.begin(), g_log.end(),
                             [](const std::string& e) { return e.rfind("sink 1,", 0) == 0; });
    };
    // Three steps inside one batch time: pumped, not delivered.
    for (int i = 1; i <= 3; ++i) {
        g_now += 10;
        bar.Step("step " + std::to_string(i));
    }
    EXPECT_EQ(steps(), 0);
    EXPECT_EQ(std::count(g_log.begin(), g_log.end(), "pump"), 2 + 3) << "every step still pumps";
    // The batch time has passed since the start: all four go out at once.
    g_now += kStepBatchMs - 30;
    bar.Step("step 4");
    EXPECT_EQ(steps(), 4);
    EXPECT_EQ(std::vector<std::string>(g_log.end() - 6, g_log.end()),
              (std::vector<std::string>{"pump", "sink 1,0,0,0,0,step 1", "sink 1,0,0,0,0,step 2",
                                        "sink 1,0,0,0,0,step 3", "sink 1,0,0,0,0,step 4", "pump"}));
    // A held step goes out with Flush, and before the next start.
    g_now += 1;
    bar.Step("step 5");
    EXPECT_EQ(steps(), 4);
    bar.Flush();
    EXPECT_EQ(steps(), 5);
    bar.Flush();
    EXPECT_EQ(steps(), 5) << "nothing held, nothing delivered";
    g_now += 1;
    bar.Step("step 6");
    bar.Start(0, 10);
    EXPECT_EQ(steps(), 6);
    EXPECT_EQ(g_log[g_log.size() - 2], "sink 0,0,10,0,1,");
    SetProgressPump(nullptr);
}

std::vector<A> g_driven;
void RecordingDriver(const A& a)
{
    g_driven.push_back(a);
}

TEST(StandardProgressSink, DrivesTheBarsThroughTheDriver)
{
    g_driven.clear();
    SetProgressBarDriver(RecordingDriver);
    ProgBar().Start(0, 0);  // an empty main bar
    const int before = ActivityCounter();
    StandardProgressSink(kProgressStep, 0, 0, 0, 0, "ignored");
    SetProgressBarDriver(nullptr);
    StandardProgressSink(kProgressStep, 0, 0, 0, 0, "");  // no driver: nothing breaks
    ASSERT_EQ(g_driven.size(), 8u);
    EXPECT_EQ(g_driven[0], (A{TBar::Main, TBarOp::SetRange, 0}));
    EXPECT_EQ(g_driven[7], (A{TBar::Activity, TBarOp::SetPos, (before + 1) % 6}));
    EXPECT_EQ(ActivityCounter(), (before + 2) % 6);  // the counter runs even without bars
}

}  // namespace

// Older common controls know only the 16-bit range message.
TEST(ProgressRangeMessage, SixteenBitUpTo65535ThirtyTwoBitAbove)
{
    constexpr unsigned kSetRange = 0x0400 + 1, kSetRange32 = 0x0400 + 6;
    const struct {
        int maximum;
        TRangeMessage expected;
    } cases[] = {
        {0, {kSetRange, 0, 0}},           {-5, {kSetRange, 0, 0}},
        {100, {kSetRange, 0, 100 << 16}}, {65535, {kSetRange, 0, static_cast<intptr_t>(0xFFFF0000u)}},
        {65536, {kSetRange32, 0, 65536}}, {100000, {kSetRange32, 0, 100000}},
    };
    for (const auto& c : cases) EXPECT_EQ(ProgressRangeMessage(c.maximum), c.expected) << c.maximum;
}

TEST(CoalesceBarActions, StepsAddUpAndPositionsReplace)
{
    const int steps[2] = {3, 1};
    struct Case {
        const char* What;
        std::vector<A> In, Out;
    };
    for (const Case& c : {
             Case{"steps of the main bar",
                  {{TBar::Main, TBarOp::StepIt, 0}, {TBar::Main, TBarOp::StepIt, 0}},
                  {{TBar::Main, TBarOp::DeltaPos, 6}}},
             Case{"the last position of the activity bar",
                  {{TBar::Main, TBarOp::StepIt, 0},
                   {TBar::Activity, TBarOp::SetPos, 4},
                   {TBar::Main, TBarOp::StepIt, 0},
                   {TBar::Activity, TBarOp::SetPos, 5}},
                  {{TBar::Main, TBarOp::DeltaPos, 6}, {TBar::Activity, TBarOp::SetPos, 5}}},
             Case{"a position, then steps from it",
                  {{TBar::Main, TBarOp::StepIt, 0},
                   {TBar::Main, TBarOp::SetPos, 10},
                   {TBar::Main, TBarOp::StepIt, 0}},
                  {{TBar::Main, TBarOp::SetPos, 10}, {TBar::Main, TBarOp::DeltaPos, 3}}},
             Case{"a range keeps its place",
                  {{TBar::Main, TBarOp::StepIt, 0},
                   {TBar::Main, TBarOp::SetRange, 9},
                   {TBar::Main, TBarOp::StepIt, 0}},
                  {{TBar::Main, TBarOp::DeltaPos, 3},
                   {TBar::Main, TBarOp::SetRange, 9},
                   {TBar::Main, TBarOp::DeltaPos, 3}}},
             Case{"nothing", {}, {}},
         })
        EXPECT_EQ(CoalesceBarActions(c.In, steps), c.Out) << c.What;
}

TEST(StandardProgressSink, ABatchOfStepsReachesTheBarsAsItsNetEffect)
{
    g_driven.clear();
    SetProgressBarDriver(RecordingDriver);
    TProgBar bar(StandardProgressSink, FakeClock);
    bar.Start(0, 100);
    g_driven.clear();
    const int before = ActivityCounter();
    for (int i = 0; i < 8; ++i) {
        g_now += 1;
        bar.Step("");  // all inside one batch time after the start: held
    }
    EXPECT_TRUE(g_driven.empty());
    bar.Flush();
    SetProgressBarDriver(nullptr);
    EXPECT_EQ(g_driven, (std::vector<A>{{TBar::Main, TBarOp::DeltaPos, 8},
                                        {TBar::Activity, TBarOp::SetPos, (before + 8) % 6}}));
    EXPECT_EQ(ActivityCounter(), (before + 8) % 6) << "the counter moved step by step";
}
