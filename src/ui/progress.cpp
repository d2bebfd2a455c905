#include "ui/progress.h"

namespace {

TBarDriver g_driver = nullptr;
TProgressPump g_pump = nullptr;
int g_activity_counter = 0;

void Pump()
{
    if (g_pump) g_pump();
}

}  // namespace

std::vector<TBarAction> ProgressActions(int kind, int maximum, int position, int step, int& activity_counter)
{
    if (kind == kProgressStart) {
        return {
            {TBar::Main, TBarOp::SetRange, maximum},
            {TBar::Main, TBarOp::SetPos, position},
            {TBar::Main, TBarOp::SetStep, step},
            {TBar::Activity, TBarOp::SetRange, kActivityPositions - 1},
            {TBar::Activity, TBarOp::SetPos, 0},
            {TBar::Activity, TBarOp::SetStep, 1},
        };
    }
    if (kind == kProgressStep) {
        ++activity_counter;
        if (activity_counter >= kActivityPositions || activity_counter < 0) activity_counter = 0;
        return {
            {TBar::Main, TBarOp::StepIt, 0},
            {TBar::Activity, TBarOp::SetPos, activity_counter},
        };
    }
    return {};
}

void SetProgressBarDriver(TBarDriver driver)
{
    g_driver = driver;
}

void StandardProgressSink(int kind, int, int maximum, int position, int step, const std::string&)
{
    for (const TBarAction& a : ProgressActions(kind, maximum, position, step, g_activity_counter)) {
        if (g_driver) g_driver(a);
    }
}

int ActivityCounter()
{
    return g_activity_counter;
}

TProgressPump SetProgressPump(TProgressPump pump)
{
    const TProgressPump before = g_pump;
    g_pump = pump;
    return before;
}

void TProgBar::Deliver(int kind, int maximum, int position, int step, const std::string& text)
{
    Pump();
    if (sink_) sink_(kind, 0, maximum, position, step, text);
    Pump();
}

void TProgBar::Start(int position, int maximum)
{
    Deliver(kProgressStart, maximum, position, 1, "");
}

void TProgBar::Step(const std::string& text)
{
    Deliver(kProgressStep, 0, 0, 0, text);
}

void TProgBar::SetText(const std::string&)
{
    Pump();
}

TProgBar& ProgBar()
{
    static TProgBar* bar = new TProgBar(StandardProgressSink);  // lives until exit
    return *bar;
}

TRangeMessage ProgressRangeMessage(int maximum)
{
    constexpr unsigned kWmUser = 0x0400;
    if (maximum < 0) maximum = 0;
    if (maximum <= 0xFFFF)
        return {kWmUser + 1, 0, static_cast<intptr_t>(static_cast<uint32_t>(maximum) << 16)};
    return {kWmUser + 6, 0, static_cast<intptr_t>(maximum)};
}
