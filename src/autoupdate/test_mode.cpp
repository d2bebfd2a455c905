#include "autoupdate/test_mode.h"

#include "base/text_utils.h"

std::string TestModeDateText(TAgentTime now)
{
    return DateText(now);
}

bool TTestMode::Check(bool force, const TTestModeSources& sources)
{
    const uint32_t tick = sources.TickCount();
    // The difference survives the wrap of the tick count.
    if (force || static_cast<uint32_t>(tick - lastTick_) > kTestModeRefreshMs) {
        const bool flag = sources.ReadValue("TestMode", "0") == "1";
        const bool today = sources.ReadValue("TestModeDate", "") == TestModeDateText(sources.Now());
        on_ = flag && today;
        location_ = sources.ReadValue("TestModeURL", "");
    }
    lastTick_ = tick;
    return on_;
}
