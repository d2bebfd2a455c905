#include "autoupdate/update_decision.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <string>
#include <vector>

#include "autoupdate/test_mode.h"
#include "base/text_utils.h"

namespace {

constexpr TAgentTime kMax = std::numeric_limits<TAgentTime>::max();
constexpr TAgentTime kMin = std::numeric_limits<TAgentTime>::min();

// A function, not a constant: the date helpers' own constants are set up at
// start-up too, in an order between files that is not fixed.
TAgentTime TestNow()
{
    return EncodeDateTime({2024, 12, 6, 10, 30, 0});
}

// ---- test mode ------------------------------------------------------------------

struct TFakeRegistry {
    std::map<std::string, std::string> Values;
    uint32_t Tick = 0;
    TAgentTime now = TestNow();
    int Reads = 0;
    TTestModeSources Sources()
    {
        TTestModeSources s;
        s.TickCount = [this] { return Tick; };
        s.Now = [this] { return now; };
        s.ReadValue = [this](const std::string& name, const std::string& def) {
            ++Reads;
            const auto it = Values.find(name);
            return it == Values.end() ? def : it->second;
        };
        return s;
    }
};

TEST(TestMode, OnlyOnTheDayTheRegistryNames)
{
    const TAgentTime kNow = TestNow();
    EXPECT_EQ(TestModeDateText(kNow), "06-DEC-2024");
    struct {
        const char* mode;
        const char* date;
        bool on;
    } const cases[] = {
        {"1", "06-DEC-2024", true},
        {"1", "05-DEC-2024", false},
        {"1", "06-dec-2024", false},
        {"1", "6-DEC-2024", false},
        {"1", "", false},
        {"0", "06-DEC-2024", false},
        {"01", "06-DEC-2024", false},
        {"1 ", "06-DEC-2024", false},
        {nullptr, "06-DEC-2024", false},
    };
    for (const auto& c : cases) {
        TFakeRegistry reg;
        if (c.mode) reg.Values["TestMode"] = c.mode;
        reg.Values["TestModeDate"] = c.date;
        reg.Values["TestModeURL"] = "\\\\server\\test";
        TTestMode mode;
        EXPECT_EQ(mode.Check(true, reg.Sources()), c.on) << (c.mode ? c.mode : "(none)") << " " << c.date;
        EXPECT_EQ(mode.On(), c.on);
        // The location is kept whether test mode is on or not.
        EXPECT_EQ(mode.Location(), "\\\\server\\test");
    }
}

TEST(TestMode, RefreshedWhenForcedOrAfterThirtySeconds)
{
    TFakeRegistry reg;
    reg.Values = {{"TestMode", "1"}, {"TestModeDate", "06-DEC-2024"}, {"TestModeURL", "C:\\t1"}};
    TTestMode mode;
    struct {
        uint32_t tick;
        bool force;
        const char* registryMode;  // TestMode in the registry at this call
        bool on;
        bool refreshed;
    } const steps[] = {
        {10000, false, "1", false, false},  // 10 s after the start of the count: too early
        {10000, true, "1", true, true},     // forced
        {40000, false, "0", true, false},   // exactly 30 s: not more
        {60000, false, "0", true, false},   // every call counts as the last one
        {90001, false, "0", false, true},   // 30.001 s after the previous call
        {90002, true, "1", true, true},          {0xFFFFA000u, false, "0", false, true},
        {0xFFFFB000u, false, "1", false, false},  // 4 s later, near the end of the count
        {0x00002000u, false, "1", false, false},  // 28.7 s later, across the wrap
        {0x00010000u, false, "1", true, true},    // 57 s later
    };
    for (const auto& s : steps) {
        reg.Tick = s.tick;
        reg.Values["TestMode"] = s.registryMode;
        const int before = reg.Reads;
        EXPECT_EQ(mode.Check(s.force, reg.Sources()), s.on) << s.tick;
        EXPECT_EQ(reg.Reads > before, s.refreshed) << s.tick;
    }
}

// ---- is a probe due? ----------------------------------------------------------------

TEST(ShotTimeStatus, Table)
{
    const TAgentTime kNow = TestNow();
    struct {
        const char* what;
        TShotInputs in;
        int status;
    } const cases[] = {
        {"never automatically", {true, false, false, kNow, -1, 0}, 0},
        {"never automatically, forced", {true, true, false, kNow, -1, 0}, 1},
        {"any negative interval is never", {true, false, false, kNow, -2, 0}, 0},
        {"the smallest interval too", {true, false, false, kMax, kMin, kMin}, 0},
        {"negative, in test mode", {true, false, true, kNow, -7, 0}, 0},
        {"once per run", {true, false, false, kNow, 0, kNow - 10}, 2},
        {"once per run, even with the last probe just now", {true, false, false, kNow, 0, kNow}, 2},
        {"once per run, done: probing is off", {false, false, false, kNow, 0, 0}, 0},
        {"probing off, forced", {false, true, false, kNow, 0, 0}, 1},
        {"interval passed", {true, false, false, kNow, 3600, kNow - 3600}, 1},
        {"interval not yet passed", {true, false, false, kNow, 3600, kNow - 3599}, 0},
        {"probing off, interval passed", {false, false, false, kNow, 3600, 0}, 0},
        {"the last probe in the future (clock set back)", {true, false, false, kNow, 60, kNow + 100}, 0},
        {"... until the clock passes it", {true, false, false, kNow + 160, 60, kNow + 100}, 1},
        {"test mode probes every 5 seconds", {true, false, true, kNow, 3600, kNow - 5}, 1},
        {"test mode, 4 seconds", {true, false, true, kNow, 3600, kNow - 4}, 0},
        {"test mode, once-per-run key", {true, false, true, kNow, 0, kNow - 5}, 2},
        {"a last time near the end of the range does not wrap",
         {true, false, false, kNow, 100, kMax - 10},
         0},
        {"nor a huge interval", {true, false, false, kNow, kMax, kNow - 10}, 0},
        {"a last time at the start of the range", {true, false, false, kNow, 100, kMin}, 1},
    };
    for (const auto& c : cases) EXPECT_EQ(ShotTimeStatusFor(c.in), c.status) << c.what;
}

TEST(ShotTimeStatus, SaturatingAdd)
{
    EXPECT_EQ(SaturatingAdd(1, 2), 3);
    EXPECT_EQ(SaturatingAdd(kMax, 1), kMax);
    EXPECT_EQ(SaturatingAdd(kMax - 1, kMax), kMax);
    EXPECT_EQ(SaturatingAdd(kMin, -1), kMin);
    EXPECT_EQ(SaturatingAdd(kMin, kMax), -1);
    EXPECT_EQ(SaturatingAdd(-5, 3), -2);
}

TEST(IsReAskDue, Table)
{
    const TAgentTime kNow = TestNow();
    struct {
        TAgentTime now, last, interval;
        bool due;
    } const cases[] = {
        {kNow, kNow - 100, 99, true}, {kNow, kNow - 100, 100, false}, {kNow, 0, 0, false},
        {kNow, 0, -1, false},         {kNow, kMin, -5, false},        {kNow, kMax - 5, 10, false},
        {kNow, kMin, 10, true},       {kNow, kNow - 10, kMax, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsReAskDueAt(c.now, c.last, c.interval), c.due) << c.last << " + " << c.interval;
}

// ---- the decision ---------------------------------------------------------------------

// Description files as plain values; counts what is read.
struct TFakeAgent {
    int32_t VersionOriginal = 100, OriginalStamp = 7, VersionNew = 101, NewStamp = 8;
    TAgentTime ReAskLast = 0, ReAskInterval = 0;
    std::string ValidVersions;
    bool AutoInform = false;
    std::string Url = "http://updates.example/app", updateName = "setup.exe", informName = "news.txt";
    int32_t UpdateSize = 5000, InformSize = 300;
    bool TestMode = false;
    std::string TestLocation = "C:\\TestUpdates";
    std::map<std::string, int64_t> Files;   // path -> size
    std::map<std::string, int64_t> remote;  // url -> length
    bool Connected = false;
    std::map<std::string, int> reads;
    std::vector<std::string> Debug, Trace, Asked;

    TDecisionInputs Inputs()
    {
        TDecisionInputs in;
        const auto counted = [this](const char* name, auto value) {
            return [this, name, value] {
                ++reads[name];
                return value();
            };
        };
        in.Now = [] { return TestNow(); };
        in.VersionOriginal = counted("VersionOriginal", [this] { return VersionOriginal; });
        in.OriginalStamp = counted("OriginalStamp", [this] { return OriginalStamp; });
        in.ReAskSecondsLast = counted("ReAskSecondsLast", [this] { return ReAskLast; });
        in.ReAskSecondsInterval = counted("ReAskSecondsInterval", [this] { return ReAskInterval; });
        in.VersionNew = counted("VersionNew", [this] { return VersionNew; });
        in.NewStamp = counted("NewStamp", [this] { return NewStamp; });
        in.ValidVersions = counted("ValidVersions", [this] { return ValidVersions; });
        in.AutoInform = [this] { return AutoInform; };
        in.DownloadURL_UPDATE = [this] { return Url; };
        in.NameOfUpdateFile = [this] { return updateName; };
        in.NameOfInformFile = [this] { return informName; };
        in.SizeOfUpdateFile = [this] { return UpdateSize; };
        in.SizeOfInformFile = [this] { return InformSize; };
        in.TestMode = [this] { return TestMode; };
        in.TestLocation = [this] { return TestLocation; };
        in.FileSize = [this](const std::string& path) -> int64_t {
            Asked.push_back(path);
            const auto it = Files.find(path);
            return it == Files.end() ? -1 : it->second;
        };
        in.Network = Network();
        in.Debug = [this](const std::string& line) { Debug.push_back(line); };
        in.Trace = [this](const std::string& line) { Trace.push_back(line); };
        return in;
    }

    // The network seam takes plain functions: route them to this fake.
    static inline TFakeAgent* current = nullptr;
    TUpdateNetwork Network()
    {
        current = this;
        TUpdateNetwork n;
        n.IsInternetConnected = [] { return current->Connected; };
        n.HttpFileSize = [](const std::string& url) -> int64_t {
            current->Asked.push_back(url);
            const auto it = current->remote.find(url);
            return it == current->remote.end() ? -1 : it->second;
        };
        return n;
    }
};

TEST(GetOkToPerformAU, CodesAndReasons)
{
    const TAgentTime kNow = TestNow();
    struct {
        const char* what;
        std::function<void(TFakeAgent&)> setup;
        bool fetched;
        int code;
    } const cases[] = {
        {".INFO file not fetched", [](TFakeAgent&) {}, false, 0},
        {"no installed version", [](TFakeAgent& a) { a.VersionOriginal = 0; }, true, 1},
        {"a negative installed version", [](TFakeAgent& a) { a.VersionOriginal = -4; }, true, 1},
        {"same stamp, re-asking off", [](TFakeAgent& a) { a.NewStamp = 7; }, true, 2},
        {"same stamp, re-asking not yet due",
         [kNow](TFakeAgent& a) {
             a.NewStamp = 7;
             a.ReAskInterval = 3600;
             a.ReAskLast = kNow - 3600;
         },
         true, 2},
        {"same stamp, re-asking due",
         [kNow](TFakeAgent& a) {
             a.NewStamp = 7;
             a.ReAskInterval = 3600;
             a.ReAskLast = kNow - 3601;
         },
         true, 6},
        {"same stamp, user's check", [](TFakeAgent& a) { a.NewStamp = 7; }, true, 6},
        {"same version", [](TFakeAgent& a) { a.VersionNew = 100; }, true, 3},
        {"older version", [](TFakeAgent& a) { a.VersionNew = 99; }, true, 3},
        {"not valid for the installed version", [](TFakeAgent& a) { a.ValidVersions = "98,99,1000"; }, true,
         4},
        {"valid for the installed version", [](TFakeAgent& a) { a.ValidVersions = "98,100"; }, true, 6},
        {"file size wrong", [](TFakeAgent& a) { a.Files["http://updates.example/app\\setup.exe"] = 100; },
         true, 5},
        {"all passed", [](TFakeAgent&) {}, true, 6},
    };
    const char* const reasons[] = {"Error downloading .INFO file",
                                   "Error reading .ORIGINAL file",
                                   "Too early for retesting",
                                   "New version is not higher then old version",
                                   "\"Valid for version\" mismatch",
                                   "Download file size error",
                                   "OK"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TFakeAgent agent;
        agent.UpdateSize = 0;  // unreachable file of unknown size: passes
        c.setup(agent);
        TDecisionInputs in = agent.Inputs();
        in.UserRequested = std::string(c.what) == "same stamp, user's check";
        int code = -1;
        std::string reason;
        EXPECT_EQ(GetOkToPerformAUWith(in, c.fetched, code, reason), c.code == 6);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(reason, reasons[c.code]);
        EXPECT_EQ(DecisionReason(c.code), reasons[c.code]);
        EXPECT_EQ(agent.Debug, std::vector<std::string>{" GetOkToPerformAU=" + std::to_string(c.code)});
        ASSERT_FALSE(agent.Trace.empty());
        EXPECT_EQ(agent.Trace.back(),
                  "GetOkToPerformAU = " + std::to_string(c.code) + " - " + reasons[c.code]);
        // Each test runs only when those before it passed: no .ORIGINAL read
        // after a failed download, no size check before the last step.
        EXPECT_EQ(agent.reads["VersionOriginal"] > 0, c.code >= 1);
        EXPECT_EQ(agent.reads["VersionNew"] > 0, c.code >= 3);
        EXPECT_EQ(agent.reads["ValidVersions"] > 0, c.code >= 4);
        EXPECT_EQ(!agent.Asked.empty(), c.code >= 5);
    }
    EXPECT_EQ(DecisionReason(7), "");
    EXPECT_EQ(DecisionReason(-1), "");
}

TEST(CheckUpdateSize, ExtremeAnnouncedSizesNeverPass)
{
    // A description file may announce any 64-bit number: the distance must
    // not overflow into a small one (found by fuzzing).
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    const struct {
        int64_t actual, announced;
        bool passed;
    } cases[] = {
        {100050, kMin, false},   {-1, kMax, false},         {kMax, kMin, false}, {kMin, kMax, false},
        {kMin, kMin + 99, true}, {kMax, kMax - 100, false}, {5000, 5099, true},  {-1, 0, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SizeWithinTolerance(c.actual, c.announced), c.passed) << c.actual << " " << c.announced;
}

TEST(CheckUpdateSize, FileOrRemoteLength)
{
    const std::string local = "http://updates.example/app\\setup.exe";
    const std::string remote = "http://updates.example/app/setup.exe";
    struct {
        const char* what;
        std::function<void(TFakeAgent&)> setup;
        bool passed;
        const char* triedLast;  // the "  URL=" line of a failure
        int64_t actual;
    } const cases[] = {
        {"announced 0, nothing reachable: -1 is 1 away", [](TFakeAgent& a) { a.UpdateSize = 0; }, true, "",
         0},
        {"nothing reachable", [](TFakeAgent&) {}, false, "http://updates.example/app\\setup.exe", -1},
        {"99 bytes larger", [&](TFakeAgent& a) { a.Files[local] = 5099; }, true, "", 0},
        {"100 bytes larger", [&](TFakeAgent& a) { a.Files[local] = 5100; }, false,
         "http://updates.example/app\\setup.exe", 5100},
        {"99 bytes smaller", [&](TFakeAgent& a) { a.Files[local] = 4901; }, true, "", 0},
        {"100 bytes smaller", [&](TFakeAgent& a) { a.Files[local] = 4900; }, false,
         "http://updates.example/app\\setup.exe", 4900},
        {"the low 32 bits of a large file", [&](TFakeAgent& a) { a.Files[local] = 0x100001388LL; }, true, "",
         0},
        {"sizes far apart do not wrap into a match",
         [&](TFakeAgent& a) {
             a.UpdateSize = std::numeric_limits<int32_t>::min();
             a.Files[local] = 0x7FFFFFFF;
         },
         false, "http://updates.example/app\\setup.exe", 0x7FFFFFFF},
        {"the file-name part of the name",
         [&](TFakeAgent& a) {
             a.updateName = "sub\\dir\\setup.exe";
             a.Files[local] = 5000;
         },
         true, "", 0},
        {"remote length when connected",
         [&](TFakeAgent& a) {
             a.Connected = true;
             a.remote[remote] = 5050;
         },
         true, "", 0},
        {"remote length unknown", [&](TFakeAgent& a) { a.Connected = true; }, false,
         "http://updates.example/app/setup.exe", -1},
        {"not connected: no request", [&](TFakeAgent& a) { a.remote[remote] = 5000; }, false,
         "http://updates.example/app\\setup.exe", -1},
        {"inform mode: the INFORM file",
         [&](TFakeAgent& a) {
             a.AutoInform = true;
             a.Files["http://updates.example/app\\news.txt"] = 310;
         },
         true, "", 0},
        {"inform mode, wrong size",
         [&](TFakeAgent& a) {
             a.AutoInform = true;
             a.Files["http://updates.example/app\\news.txt"] = 5000;
         },
         false, "http://updates.example/app\\news.txt", 5000},
        {"test mode: the test location",
         [&](TFakeAgent& a) {
             a.TestMode = true;
             a.Files["C:\\TestUpdates\\setup.exe"] = 5000;
         },
         true, "", 0},
        {"test mode, missing there: never asked over HTTP",
         [&](TFakeAgent& a) {
             a.TestMode = true;
             a.Connected = true;
             a.remote["C:\\TestUpdates/setup.exe"] = 5000;
             a.Files[local] = 5000;
         },
         false, "C:\\TestUpdates\\setup.exe", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TFakeAgent agent;
        c.setup(agent);
        const TDecisionInputs in = agent.Inputs();
        EXPECT_EQ(CheckUpdateSizeWith(in, agent.Url, agent.updateName, agent.informName), c.passed);
        if (c.passed) {
            EXPECT_TRUE(agent.Trace.empty());
            continue;
        }
        const int32_t expected = agent.AutoInform ? agent.InformSize : agent.UpdateSize;
        EXPECT_EQ(agent.Trace, (std::vector<std::string>{"  InfoSize=" + std::to_string(expected),
                                                         "  HttpSize=" + std::to_string(c.actual),
                                                         std::string("  URL=") + c.triedLast}));
    }

    // Without a network the size check never asks for a remote length.
    TFakeAgent offline;
    TDecisionInputs in = offline.Inputs();
    in.Network = TUpdateNetwork{};
    EXPECT_FALSE(CheckUpdateSizeWith(in, offline.Url, offline.updateName, offline.informName));
    EXPECT_EQ(offline.Asked, std::vector<std::string>{"http://updates.example/app\\setup.exe"});
}

TEST(UpdateDecision, RunFlagsAndNetworkDefaults)
{
    EXPECT_FALSE(ForceShotFlag());
    SetForceShotFlag(true);
    EXPECT_TRUE(ForceShotFlag());
    SetForceShotFlag(false);
    EXPECT_EQ(AgentCheckMode(), kCheckAutomatic);
    SetAgentCheckMode(kCheckByUser);
    EXPECT_EQ(AgentCheckMode(), kCheckByUser);
    SetAgentCheckMode(kCheckAutomatic);
    // Until the HTTP client is wired in there is no network.
    EXPECT_EQ(UpdateNetwork().IsInternetConnected, nullptr);
    EXPECT_EQ(UpdateNetwork().HttpFileSize, nullptr);
}

}  // namespace
