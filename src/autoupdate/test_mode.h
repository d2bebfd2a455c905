// Test mode of the update agent: the files are taken from a test location and
// probes come every 5 seconds. It is on only on the day the registry names,
// so a forgotten setting ends by itself.
//
// Registry values below kTestModeKey: TestMode ("1" = on), TestModeDate
// (today's date as "06-DEC-2024"), TestModeURL (the test location).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "autoupdate/agent_settings.h"

inline constexpr const char* kTestModeKey = "HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora\\AutoUpdate";
// Calls closer together than this refresh from the registry only when forced.
inline constexpr uint32_t kTestModeRefreshMs = 30000;

struct TTestModeSources {
    std::function<uint32_t()> TickCount;  // milliseconds, wraps after 49.7 days
    std::function<TAgentTime()> Now;      // local time
    // A value below kTestModeKey as text (a DWORD in decimal), or the default.
    std::function<std::string(const std::string& value, const std::string& def)> ReadValue;
};

// The date text test mode requires on the day of `now`.
std::string TestModeDateText(TAgentTime now);

class TTestMode {
public:
    // Refreshes from the registry when forced or when more than 30 s passed
    // since the previous call; every call counts as the previous one.
    bool Check(bool force, const TTestModeSources& sources);
    bool On() const { return on_; }
    const std::string& Location() const { return location_; }

private:
    bool on_ = false;
    std::string location_;
    uint32_t lastTick_ = 0;
};

#ifdef _WIN32
TTestModeSources SystemTestModeSources();
TTestMode& ProcessTestMode();
// The agent's test mode (refreshed as TTestMode::Check does).
bool CheckTestMode(bool force);
// The flag and the location as last read, without a refresh.
bool TestModeOn();
std::string TestLocation();
#endif
