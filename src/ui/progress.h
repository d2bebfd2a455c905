// Progress reporting: a sink procedure receives start and step events; the
// standard sink drives the main window's two bars (a main bar that advances
// one step per unit of work and an activity bar that cycles through six
// positions). TProgBar wraps a sink for the download client and keeps the
// windows alive around every event.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int kProgressStart = 0;  // maximum, position, step
constexpr int kProgressStep = 1;   // text (informational)

// reserved is always 0. Other kinds are ignored.
using TProgressSink = void (*)(int kind, int reserved, int maximum, int position, int step,
                               const std::string& text);

// ---- what the standard sink does to the bars ---------------------------------

enum class TBar {
    Main,
    Activity
};
enum class TBarOp {
    SetRange,
    SetPos,
    SetStep,
    StepIt,
    DeltaPos  // moves the position by Value (several steps at once)
};
struct TBarAction {
    TBar Bar;
    TBarOp Op;
    int Value;  // range maximum (minimum is 0), position, step or delta; 0 for StepIt
    bool operator==(const TBarAction&) const = default;
};

constexpr int kActivityPositions = 6;  // 0..5

// The bar commands of one event. The activity counter (0..5) carries over
// from event to event; a start event does not reset it.
std::vector<TBarAction> ProgressActions(int kind, int maximum, int position, int step, int& activity_counter);

// The net effect of a run of commands, for bars that should not be sent
// each of them: the steps of a bar add up to one DeltaPos (by its step:
// `steps` holds the step of the main and of the activity bar), a position
// replaces what came before it on that bar. A range or step command is
// passed on as it is, after what came before it. Stepped at once, a bar
// that would pass its maximum stops there instead of starting over.
std::vector<TBarAction> CoalesceBarActions(const std::vector<TBarAction>& actions, const int steps[2]);

// The range message for a maximum: the 16-bit PBM_SETRANGE (WM_USER + 1,
// lParam = MAKELPARAM(0, maximum)) up to 65,535, which every version of the
// common controls knows, and PBM_SETRANGE32 (WM_USER + 6, lParam = maximum)
// only above it. Negative maxima count as 0.
struct TRangeMessage {
    unsigned Message;
    uintptr_t Wparam;
    intptr_t Lparam;
    bool operator==(const TRangeMessage&) const = default;
};
TRangeMessage ProgressRangeMessage(int maximum);

#ifdef _WIN32
#include <windows.h>
// Sends one command to a progress-bar control (nothing for a null handle).
void ApplyBarAction(HWND bar, const TBarAction& action);
#endif

// Applies one command to the real bar; installed by the main window. Without
// a driver the sink changes nothing.
using TBarDriver = void (*)(const TBarAction& action);
void SetProgressBarDriver(TBarDriver driver);

// The standard sink: ProgressActions with the module-wide activity counter,
// handed to the bar driver.
void StandardProgressSink(int kind, int reserved, int maximum, int position, int step,
                          const std::string& text);
int ActivityCounter();

// ---- TProgBar -----------------------------------------------------------------

// Dispatches the pending window messages once (a zero-length pumping wait);
// installed by the main window. Without one nothing is pumped. Returns the
// pump installed before, so a caller can put it back.
using TProgressPump = void (*)();
TProgressPump SetProgressPump(TProgressPump pump);

// Steps that come faster than one per kStepBatchMs are held back and
// delivered together once that time has passed since the last delivery (or
// at Start and Flush), while every step still pumps the messages. The
// standard sink hands such a batch to the bars as its net effect
// (CoalesceBarActions): they change and repaint at most that often, however
// fast the data arrives.
constexpr int64_t kStepBatchMs = 40;
using TProgressClock = int64_t (*)();  // milliseconds

class TProgBar {
public:
    explicit TProgBar(TProgressSink sink, TProgressClock clock = nullptr);
    // Delivers the held steps, then (start, 0, maximum, position, 1, "").
    void Start(int position, int maximum);
    // Delivers (step, 0, 0, 0, 0, text), or holds it back (see above).
    void Step(const std::string& text);
    // Delivers the steps held back, each with its own text.
    void Flush();
    // Delivers nothing to a sink procedure; only pumps once.
    void SetText(const std::string& text);

private:
    void Deliver(int kind, int maximum, int position, int step, const std::string& text);
    TProgressSink sink_;
    TProgressClock clock_;
    int64_t lastDelivery_ = 0;
    bool delivered_ = false;
    std::vector<std::string> held_;
};

// The process-wide object over the standard sink, made on first use and kept
// until the program ends.
TProgBar& ProgBar();
