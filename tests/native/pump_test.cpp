#include "base/pump.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(WaitPumping, StepFromDuration)
{
    const struct {
        int duration, step, want;
    } cases[] = {{100, 0, 10}, {1000, 0, 25}, {5, 0, 1},    {0, 0, 1},
                 {-50, 0, 1},  {250, 0, 25},  {240, 0, 24}, {1000, 7, 7}};
    for (const auto& c : cases)
        EXPECT_EQ(WaitPumpingStep(c.duration, c.step), c.want) << c.duration << "/" << c.step;
}

// A fake clock that advances by each pump's sleep.
struct FakeClock {
    int64_t Now = 1000;
    std::vector<int> Sleeps;
    void Run(int duration, int step)
    {
        WaitPumpingWith(
            duration, step, [this] { return Now; },
            [this](int ms) {
                Sleeps.push_back(ms);
                Now += ms;
            });
    }
};

TEST(WaitPumping, PumpsInStepsUntilDeadline)
{
    FakeClock clock;
    clock.Run(100, 0);
    EXPECT_EQ(clock.Sleeps, std::vector<int>(10, 10));

    FakeClock once;
    once.Run(0, 0);  // a zero wait still dispatches the queue once
    EXPECT_EQ(once.Sleeps, std::vector<int>{1});

    FakeClock uneven;
    uneven.Run(1010, 0);
    EXPECT_EQ(uneven.Sleeps.size(), 41u);  // 40 x 25 ms leave 10 ms: one more step
}

TEST(WaitPumping, RealClockWaitsAtLeastTheDuration)
{
    const int64_t start = MilliSecondsNow();
    WaitPumping(30);
    EXPECT_GE(MilliSecondsNow() - start, 30);
}

}  // namespace
