#include "process/process_viewer.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

// Short forms as a system would give them: only for the paths it knows.
TShortPathFunc ShortForms(std::map<std::string, std::string> known)
{
    return [known](const std::string& path) {
        auto it = known.find(path);
        return it == known.end() ? std::string(kNoShortPathMark) : it->second;
    };
}

const TShortPathFunc kNoShortForms = ShortForms({});

}  // namespace

TEST(ProgramNames, MatchTrimmedIgnoringCaseButPlaceholdersNever)
{
    struct Case {
        const char* A;
        const char* B;
        bool Same;
    } cases[] = {
        {"C:\\App\\Tool.EXE", " c:\\app\\tool.exe  ", true},
        {"tool.exe", "tool.ex", false},
        {"", "", false},  // no name is no program
        {" ", "", false},
        {kNoShortPathMark, kNoShortPathMark, false},  // two unknown short forms are not one program
        {kNoNameMatchMark, kNoNameMatchMark, false},
        {kNoNameMatchMark, "tool.exe", false},
    };
    for (const Case& c : cases) EXPECT_EQ(SameProgramName(c.A, c.B), c.Same) << c.A << " / " << c.B;

    EXPECT_EQ(CleanProgramPath("  \"C:\\Program Files\\A\\a.exe\"  "), "C:\\Program Files\\A\\a.exe");
    EXPECT_EQ(CleanProgramPath("\""), "");
    EXPECT_EQ(ProgramFileName("C:\\Program Files\\A\\a.exe"), "a.exe");
    EXPECT_EQ(ProgramFileName("a.exe"), "a.exe");
}

TEST(ProcessEntries, MatchByFullPathBaseNameOrShortForm)
{
    const std::vector<TProcessEntry> entries = {
        {4, "C:\\Windows\\system32\\svc.exe", "svc.exe"},
        {100, "C:\\Program Files\\Vendor\\app.exe", "app.exe"},
        {200, "D:\\Other\\app.exe", "app.exe"},
        {300, "C:\\Gone\\deleted.exe", "deleted.exe"},  // no short form: the file is gone
    };
    const TShortPathFunc shortForms = ShortForms({
        {"C:\\Program Files\\Vendor\\app.exe", "C:\\PROGRA~1\\Vendor\\app.exe"},
        {"C:\\PROGRA~1\\Vendor\\app.exe", "C:\\PROGRA~1\\Vendor\\app.exe"},
        {"D:\\Other\\app.exe", "D:\\Other\\app.exe"},
    });
    struct Case {
        const char* Path;
        bool FullPathMatch;
        unsigned long Id;
    } cases[] = {
        {"c:\\program files\\vendor\\APP.exe", true, 100},
        {"C:\\PROGRA~1\\Vendor\\app.exe", true, 100},  // short form of the running program's path
        {"app.exe", false, 200},                       // the last match wins
        {"app.exe", true, 0},                          // bare names need the name comparison
        {"C:\\Elsewhere\\app.exe", true, 0},
        {"C:\\Elsewhere\\app.exe", false, 0},  // base names compare with the whole path
        {"C:\\Missing\\ghost.exe", false, 0},  // neither side has a short form
        {"C:\\Missing\\ghost.exe", true, 0},
        {"", false, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindIdInEntries(entries, c.Path, c.FullPathMatch, shortForms), c.Id)
            << c.Path << " full=" << c.FullPathMatch;
}

TEST(TaskListCsv, FindsTheIdOfTheFirstLineWithTheImageName)
{
    // Recorded from "tasklist.exe /FO csv" (Windows 8.1, English and German).
    const std::string english = "\"Image Name\",\"PID\",\"Session Name\",\"Session#\",\"Mem Usage\"\r\n"
                                "\"System Idle Process\",\"0\",\"Services\",\"0\",\"4 K\"\r\n"
                                "\"System\",\"4\",\"Services\",\"0\",\"1,024 K\"\r\n"
                                "\"svchost.exe\",\"812\",\"Services\",\"0\",\"12,304 K\"\r\n"
                                "\"Notepad.exe\",\"4242\",\"Console\",\"1\",\"9,876 K\"\r\n"
                                "\"notepad.exe\",\"5150\",\"Console\",\"1\",\"9,880 K\"\r\n";
    const std::string german =
        "\r\n\"Abbildname\",\"PID\",\"Sitzungsname\",\"Sitz.-Nr.\",\"Speichernutzung\"\r\n"
        "\"explorer.exe\",\"2044\",\"Console\",\"1\",\"51.220 K\"\r\n";
    struct Case {
        const std::string* Output;
        const char* Name;
        unsigned long Id;
    } cases[] = {
        {&english, "notepad.exe", 4242},  // first line, ignoring case
        {&english, " NOTEPAD.EXE ", 4242},
        {&english, "svchost.exe", 812},
        {&english, "System Idle Process", 0},  // an id of 0 never counts
        {&english, "Image Name", 0},           // the heading is no process
        {&english, "word.exe", 0},
        {&english, "", 0},
        {&german, "explorer.exe", 2044},
        {&german, "Abbildname", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(FindIdInTaskListCsv(*c.Output, c.Name), c.Id) << c.Name;

    EXPECT_EQ(FindIdInTaskListCsv("\"a.exe\",\"12x\",\"C\"\r\n\"a.exe\",\"13\",\"C\"\r\n", "a.exe"), 13u);
    EXPECT_EQ(FindIdInTaskListCsv("\"a.exe\",\"77\",\"C\"\n\"b.exe\",\"78\",\"C\"\n", "b.exe"), 78u);
    EXPECT_EQ(FindIdInTaskListCsv("", "a.exe"), 0u);
    EXPECT_EQ(FindIdInTaskListCsv("INFO: No tasks are running.", "a.exe"), 0u);
}

TEST(ProcessLists, BuildAndSearchFromTheEnd)
{
    EXPECT_EQ(BuildProcessList({{"a.exe", 1}, {"b.exe", 2}, {"", 3}}, false), "|a.exe|b.exe|");
    EXPECT_EQ(BuildProcessList({{"a.exe", 1}, {"", 3}}, true), "|a.exe=1|=3|");
    EXPECT_EQ(BuildProcessList({}, true), "");

    const std::string list = "|System Idle Process=0|app.exe=10|tool.exe=11|APP.EXE=12|=13|";
    const TShortPathFunc shortForms =
        ShortForms({{"APPLIC~1.EXE", "APPLIC~1.EXE"}, {"application.exe", "APPLIC~1.EXE"}});
    struct Case {
        const char* Name;
        bool Found;
        unsigned long Id;
    } cases[] = {
        {"app.exe", true, 12},  // the last window's process first
        {"tool.exe", true, 11},  {"System Idle Process", true, 0},
        {"ghost.exe", false, 0},  // no short forms on either side: not running
        {"", false, 0},
    };
    for (const Case& c : cases) {
        unsigned long id = 99;
        EXPECT_EQ(FindInProcessList(list, c.Name, shortForms, id), c.Found) << c.Name;
        if (c.Found) {
            EXPECT_EQ(id, c.Id) << c.Name;
        }
    }
    unsigned long id = 0;
    EXPECT_TRUE(FindInProcessList("|APPLIC~1.EXE=44|", "application.exe", shortForms, id));
    EXPECT_EQ(id, 44u);
    EXPECT_FALSE(FindInProcessList("", "app.exe", shortForms, id));
}

TEST(LookupMethod, FollowsTheWindowsVersion)
{
    struct Case {
        unsigned long Platform, Major, Minor;
        TProcessIdMethod IdMethod;
        TProcessListMethod ListMethod;
    } cases[] = {
        {1, 4, 0, TProcessIdMethod::Snapshot, TProcessListMethod::WindowTable},         // 95
        {1, 4, 90, TProcessIdMethod::Snapshot, TProcessListMethod::WindowTable},        // ME
        {0, 3, 10, TProcessIdMethod::Snapshot, TProcessListMethod::WindowTable},        // Win32s
        {2, 4, 0, TProcessIdMethod::ProcessStatus, TProcessListMethod::WindowTable},    // NT 4
        {2, 5, 0, TProcessIdMethod::ProcessStatus, TProcessListMethod::WindowTable},    // 2000
        {2, 5, 1, TProcessIdMethod::ProcessStatus, TProcessListMethod::ProcessStatus},  // XP
        {2, 5, 2, TProcessIdMethod::ProcessStatus, TProcessListMethod::WindowTable},    // 2003
        {2, 6, 1, TProcessIdMethod::ProcessStatus, TProcessListMethod::WindowTable},    // 7
        {2, 6, 2, TProcessIdMethod::TaskList, TProcessListMethod::WindowTable},         // 8
        {2, 6, 3, TProcessIdMethod::TaskList, TProcessListMethod::WindowTable},         // 8.1
        {2, 10, 0, TProcessIdMethod::TaskList, TProcessListMethod::WindowTable},
    };
    for (const Case& c : cases) {
        const TOsClass os = OsClassFromVersion(c.Platform, c.Major, c.Minor);
        EXPECT_EQ(ChooseProcessIdMethod(os), c.IdMethod) << c.Major << "." << c.Minor;
        EXPECT_EQ(ChooseProcessListMethod(os), c.ListMethod) << c.Major << "." << c.Minor;
    }
}

namespace {

struct TRecordedWindow {
    TAnalizer::TWindow Owner;
    bool Titled;
    bool Visible;
};

// Scores windows as recorded from a real process, in enumeration order.
TAnalizer::TWindow PickMain(const std::vector<std::pair<TAnalizer::TWindow, TRecordedWindow>>& rec,
                            TAnalizer* out = nullptr)
{
    static TAnalizer analizer;
    analizer = TAnalizer{};
    std::map<TAnalizer::TWindow, TRecordedWindow> byHandle(rec.begin(), rec.end());
    for (const auto& [w, info] : rec) analizer.Add(w);
    analizer.Score([&](TAnalizer::TWindow w) { return byHandle.count(w) ? byHandle[w].Owner : 0; },
                   [&](TAnalizer::TWindow w) { return byHandle[w].Titled; },
                   [&](TAnalizer::TWindow w) { return byHandle[w].Visible; });
    if (out) *out = analizer;
    return analizer.Best();
}

}  // namespace

TEST(WindowScore, OwnerOfTheOtherWindowsIsTheMainWindow)
{
    // An owned tool window above its titled owner, and an unrelated hidden helper window.
    TAnalizer a;
    EXPECT_EQ(PickMain({{0x20, {0x10, true, true}}, {0x10, {0, true, true}}, {0x30, {0, false, false}}}, &a),
              0x10u);
    EXPECT_EQ(a.scores[0], 3u);          // owned: title and visible only
    EXPECT_EQ(a.scores[1], 2u * 4 + 3);  // root of itself and of 0x20
    EXPECT_EQ(a.scores[2], 4u);

    // Roots are found through the whole chain, even outside the recorded windows.
    EXPECT_EQ(PickMain({{0x3, {0x2, true, true}}, {0x2, {0x1, true, true}}, {0x1, {0, false, false}}}), 0x1u);
    // Invisible untitled windows: the one that owns itself is still chosen.
    EXPECT_EQ(PickMain({{0x7, {0x8, false, false}}, {0x8, {0, false, false}}}), 0x8u);
    // Equal scores: the first one wins.
    EXPECT_EQ(PickMain({{0x5, {0, true, true}}, {0x6, {0, true, true}}}), 0x5u);
    // Nothing owns itself (owners belong to another process) and nothing is titled or visible.
    EXPECT_EQ(PickMain({{0x9, {0x99, false, false}}}), 0u);
    EXPECT_EQ(PickMain({}), 0u);
    // An owner cycle ends.
    EXPECT_EQ(PickMain({{0xA, {0xB, true, false}}, {0xB, {0xA, false, false}}}), 0xAu);
}

TEST(WindowScore, RecordHoldsAtMost2001Windows)
{
    TAnalizer a;
    for (TAnalizer::TWindow w = 1; w <= TAnalizer::kMaxWindows; ++w) ASSERT_TRUE(a.Add(w));
    EXPECT_FALSE(a.Add(5000));
    EXPECT_EQ(a.count, TAnalizer::kMaxWindows);
    // All owned by window 1: its score is the largest there can be and still fits.
    a.Score([](TAnalizer::TWindow w) { return w == 1 ? TAnalizer::TWindow(0) : TAnalizer::TWindow(1); },
            [](TAnalizer::TWindow) { return true; }, [](TAnalizer::TWindow) { return true; });
    EXPECT_EQ(a.scores[0], TAnalizer::kMaxWindows * 4 + 3);
    EXPECT_EQ(a.Best(), 1u);
}
