#include "ui/progress.h"

#include "base/pump.h"

namespace {

TBarDriver g_driver = nullptr;
TProgressPump g_pump = nullptr;
int g_activity_counter = 0;
// The steps of the two bars as last set, for a batch's net effect.
int g_bar_steps[2] = {1, 1};
// While a batch of steps is delivered, the standard sink collects here.
bool g_batching = false;
std::vector<TBarAction> g_batch;

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

std::vector<TBarAction> CoalesceBarActions(const std::vector<TBarAction>& actions, const int steps[2])
{
    struct TPending {
        bool HasPos = false;
        int Pos = 0;
        int Delta = 0;
    } pending[2];
    std::vector<TBarAction> out;
    const auto flush = [&] {
        for (int b = 0; b < 2; ++b) {
            const TBar bar = b == 0 ? TBar::Main : TBar::Activity;
            if (pending[b].HasPos) out.push_back({bar, TBarOp::SetPos, pending[b].Pos});
            if (pending[b].Delta != 0) out.push_back({bar, TBarOp::DeltaPos, pending[b].Delta});
            pending[b] = {};
        }
    };
    for (const TBarAction& a : actions) {
        TPending& p = pending[a.Bar == TBar::Main ? 0 : 1];
        if (a.Op == TBarOp::StepIt) {
            p.Delta += steps[a.Bar == TBar::Main ? 0 : 1];
        } else if (a.Op == TBarOp::DeltaPos) {
            p.Delta += a.Value;
        } else if (a.Op == TBarOp::SetPos) {
            p = {true, a.Value, 0};
        } else {
            flush();
            out.push_back(a);
        }
    }
    flush();
    return out;
}

void StandardProgressSink(int kind, int, int maximum, int position, int step, const std::string&)
{
    for (const TBarAction& a : ProgressActions(kind, maximum, position, step, g_activity_counter)) {
        if (a.Op == TBarOp::SetStep) g_bar_steps[a.Bar == TBar::Main ? 0 : 1] = a.Value;
        if (g_batching)
            g_batch.push_back(a);
        else if (g_driver)
            g_driver(a);
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
    // The sink sees every step; the pumping and the bars see the batch.
    const std::vector<std::string> steps = std::move(held_);
    held_.clear();
    const bool batch = steps.size() > 1;
    g_batching = batch;
    Pump();
    for (const std::string& text : steps)
        if (sink_) sink_(kProgressStep, 0, 0, 0, 0, text);
    if (batch) {
        g_batching = false;
        for (const TBarAction& a : CoalesceBarActions(g_batch, g_bar_steps))
            if (g_driver) g_driver(a);
        g_batch.clear();
    }
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
