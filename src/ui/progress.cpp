#include "ui/progress.h"

#include "base/pump.h"

namespace {

TBarDriver g_driver = nullptr;
TProgressPump g_pump = nullptr;
TProgressBatchHook g_batch = nullptr;
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

TProgressBatchHook SetProgressBatchHook(TProgressBatchHook hook)
{
    const TProgressBatchHook before = g_batch;
    g_batch = hook;
    return before;
}

TProgBar::TProgBar(TProgressSink sink, TProgressClock clock)
    : sink_(sink), clock_(clock ? clock : MilliSecondsNow)
{}

void TProgBar::Deliver(int kind, int maximum, int position, int step, const std::string& text)
{
    Pump();
    if (sink_) sink_(kind, 0, maximum, position, step, text);
    Pump();
    lastDelivery_ = clock_();
    delivered_ = true;
}

void TProgBar::Start(int position, int maximum)
{
    Flush();
    Deliver(kProgressStart, maximum, position, 1, "");
}

void TProgBar::Step(const std::string& text)
{
    held_.push_back(text);
    if (!delivered_ || clock_() - lastDelivery_ >= kStepBatchMs)
        Flush();
    else
        Pump();
}

void TProgBar::Flush()
{
    if (held_.empty()) return;
    // The bar state moves step by step; the pumping and the painting are shared.
    const std::vector<std::string> steps = std::move(held_);
    held_.clear();
    const bool batch = steps.size() > 1 && g_batch;
    if (batch) g_batch(true);
    Pump();
    for (const std::string& text : steps)
        if (sink_) sink_(kProgressStep, 0, 0, 0, 0, text);
    if (batch) g_batch(false);
    Pump();
    lastDelivery_ = clock_();
    delivered_ = true;
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
