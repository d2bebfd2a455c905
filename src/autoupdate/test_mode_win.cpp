#include "autoupdate/test_mode.h"

#include <windows.h>

#include "base/text_utils.h"
#include "lang/sysinfo.h"

TTestModeSources SystemTestModeSources()
{
    TTestModeSources s;
    s.TickCount = [] { return static_cast<uint32_t>(GetTickCount()); };
    s.Now = NowLocalDateTime;
    s.ReadValue = [](const std::string& value, const std::string& def) {
        return ReadRegistryString(kTestModeKey, value, def, false);
    };
    return s;
}

TTestMode& ProcessTestMode()
{
    static TTestMode mode;
    return mode;
}

bool CheckTestMode(bool force)
{
    return ProcessTestMode().Check(force, SystemTestModeSources());
}
bool TestModeOn()
{
    return ProcessTestMode().On();
}
std::string TestLocation()
{
    return ProcessTestMode().Location();
}
