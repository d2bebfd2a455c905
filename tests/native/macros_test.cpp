#include "lang/macros.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "base/lists.h"

namespace {

// A machine with fixed folders, names, clock and locale. The current folder
// of the full-path expansion is C:\Work\Current.
TMacroSources FakeSources()
{
    TMacroSources s;
    s.Folder = [](TMacroFolder f) -> std::string {
        switch (f) {
        case TMacroFolder::Windows:
            return R"(C:\WINDOWS)";
        case TMacroFolder::System:
            return R"(C:\WINDOWS\system32)";
        case TMacroFolder::System16:
            return R"(C:\WINDOWS\system)";
        case TMacroFolder::StartMenu:
            return R"(C:\Menu)";
        case TMacroFolder::ProgramFiles:
            return R"(C:\Program Files)";
        case TMacroFolder::CommonFiles:
            return R"(C:\Program Files\Common Files)";
        case TMacroFolder::Fonts:
            return R"(C:\WINDOWS\Fonts)";
        case TMacroFolder::Temp:
            return R"(C:\TEMP)";
        }
        return "";
    };
    s.ShellFolder = [](TShellFolder f) { return R"(S:\shell)" + std::to_string(static_cast<int>(f)); };
    s.RuntimeFolder = [](int n) { return n == 3 ? std::string(R"(R:\runtime3)") : std::string(); };
    s.LoggedUserName = [] { return std::string("logged"); };
    s.RegisteredOwner = [] { return std::string("Owner"); };
    s.RegisteredOrganization = [] { return std::string("Org"); };
    s.ComputerName = [] { return std::string("PC1"); };
    s.CurrentDomainName = [] { return std::string("DOMAIN"); };
    s.Now = [] { return EncodeDateTime({2024, 12, 6, 14, 5, 9}); };
    s.LongMonthName = [](int m) {
        return ListItem(
            "||Januar|Februar|Maerz|April|Mai|Juni|Juli|August|September|Oktober|November|Dezember|", m);
    };
    s.Separators = [] { return TUserSeparators{'.', '~', ','}; };
    s.FullPath = [](const std::string& path) {
        // Relative to C:\Work\Current, with "." and ".." resolved.
        std::vector<std::string> parts = {"C:", "Work", "Current"};
        std::string rest = path;
        if (rest.size() > 1 && rest[1] == ':') {
            parts = {rest.substr(0, 2)};
            rest = rest.substr(2);
        }
        size_t pos = 0;
        while (pos <= rest.size()) {
            const size_t end = std::min(rest.find('\\', pos), rest.size());
            const std::string part = rest.substr(pos, end - pos);
            if (part == "..") {
                if (parts.size() > 1) parts.pop_back();
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            pos = end + 1;
        }
        std::string out = parts[0];
        for (size_t i = 1; i < parts.size(); ++i) out += "\\" + parts[i];
        return out;
    };
    s.OriginExeSwitch = [] { return std::string(R"(D:\setup\launcher.exe)"); };
    s.ProgramPath = [] { return std::string(R"(C:\Temp\SETUP_1\launcher.exe)"); };
    s.IsLeadByte = [](unsigned char c) { return c == 0x81; };
    return s;
}

struct TExpandCase {
    const char* Text;
    const char* Expected;
};

void ExpectExpanded(TMacroExpander& expander, const std::vector<TExpandCase>& cases)
{
    for (const TExpandCase& c : cases)
        EXPECT_EQ(expander.ExpandMacros(c.Text, "\\", true, true, true), c.Expected) << c.Text;
}

TEST(Macros, FolderSuffixAndCase)
{
    TMacroExpander e(FakeSources());
    ExpectExpanded(e, {
                          {"<WinDir>notepad.exe", R"(C:\WINDOWS\notepad.exe)"},
                          {"<WinDir>", R"(C:\WINDOWS)"},
                          {"<WinDir> /s", R"(C:\WINDOWS /s)"},
                          {R"(<WinDir>\notepad.exe)", R"(C:\WINDOWS\notepad.exe)"},
                          {R"(<windir>\a)", R"(C:\WINDOWS\a)"},
                          {"<WINDIR>a <WinDir>b", R"(C:\WINDOWS\a C:\WINDOWS\b)"},
                          // A list whose items end with the macros gets no suffix ...
                          {"|<WinDir>|<TempDir>|", R"(|C:\WINDOWS|C:\TEMP|)"},
                          // ... but the bar is an ordinary character when the text is no list.
                          {"<WinDir>|x", R"(C:\WINDOWS\|x)"},
                          // A list delimited by letters is no list.
                          {"a<WinDir>a", R"(aC:\WINDOWS\a)"},
                          {"<Nope>\\x", "<Nope>\\x"},
                      });
}

TEST(Macros, StageTwoFolders)
{
    TMacroExpander e(FakeSources());
    e.SetInstallFolders(R"(E:\App)", R"(E:\Common)", R"(E:\Aux)");
    ExpectExpanded(
        e, {
               {R"(<InstallDir>\app.exe)", R"(E:\App\app.exe)"},
               {R"(<InstallCommonDir>\c.dll)", R"(E:\Common\c.dll)"},
               {R"(<InstallAuxDir>\x)", R"(E:\Aux\x)"},
               {R"(<Application Folder>\a|<Common Folder>b|<Auxiliary Folder>)",
                R"(E:\App\a|E:\Common\b|E:\Aux)"},
               // The long form names the folder: the short one beside it is a marker.
               {R"(<InstallDir><Application Folder>\app.exe)", R"(E:\App\app.exe)"},
               {R"(<AbsoluteDir>F:\tools\t.exe)", R"(F:\tools\t.exe)"},
               {R"(<Windows Directory>a <System Directory>b <System16 Directory>c)",
                R"(C:\WINDOWS\a C:\WINDOWS\system32\b C:\WINDOWS\system\c)"},
               {"<WinSysDir>a <WinSys32Dir>b <WinSys16Dir>c",
                R"(C:\WINDOWS\system32\a C:\WINDOWS\system32\b C:\WINDOWS\system\c)"},
               {"<InstallDrive>x <WinDrive>y <WinSysDrive>z <OriginDrive>o", R"(E:\x C:\y C:\z D:\o)"},
               {"<InstallDisk> <WinDisk> <WinSysDisk> <OriginDisk>", "E: C: C: D:"},
               {"<StartMenuDir>1 <ProgramFilesDir>2 <CommonFilesDir>3 <FontDir>4",
                R"(C:\Menu\1 C:\Program Files\2 C:\Program Files\Common Files\3 C:\WINDOWS\Fonts\4)"},
               {"<SrcDir>s <OriginDir>o <TempDir>t <ServiceDir>v",
                R"(C:\Temp\SETUP_1\s D:\setup\o C:\TEMP\t C:\Temp\SETUP_1\v)"},
               {R"(<RunTimeDir_3>\r.dll)", R"(R:\runtime3\r.dll)"},
               {R"(<RunTimeDir_4>r.dll)", "r.dll"},
               {"<RunTimeDir_9>", "<RunTimeDir_9>"},
               {"<UnInstallExePath>", ""},
           });

    const struct {
        const char* macro;
        TShellFolder kind;
    } shell[] = {
        {"<UserDir>", TShellFolder::User},
        {"<UserAppDataDir>", TShellFolder::UserAppData},
        {"<UserLocalAppDataDir>", TShellFolder::UserLocalAppData},
        {"<MyDocumentsDir>", TShellFolder::MyDocuments},
        {"<UserStartMenuDir>", TShellFolder::UserStartMenu},
        {"<UserStartProgramMenuDir>", TShellFolder::UserStartProgramMenu},
        {"<UserDesktopDir>", TShellFolder::UserDesktop},
        {"<DocumentsAndSettingsDir>", TShellFolder::DocumentsAndSettings},
        {"<AllUsersDir>", TShellFolder::AllUsers},
        {"<AllUsersAppDataDir>", TShellFolder::AllUsersAppData},
        {"<AllUsersDocumentsDir>", TShellFolder::AllUsersDocuments},
        {"<AllUsersStartMenuDir>", TShellFolder::AllUsersStartMenu},
        {"<AllUsersStartProgramMenuDir>", TShellFolder::AllUsersStartProgramMenu},
        {"<AllUsersDesktopDir>", TShellFolder::AllUsersDesktop},
    };
    for (const auto& f : shell)
        EXPECT_EQ(e.ExpandMacros(std::string(f.macro) + "\\f", "\\", false, true, false),
                  R"(S:\shell)" + std::to_string(static_cast<int>(f.kind)) + R"(\f)")
            << f.macro;
}

// The folder values of the description file are not trusted to be there.
TEST(Macros, EmptyAndNetworkFolderValues)
{
    TMacroExpander e(FakeSources());
    e.SetInstallFolders("", "", "");
    ExpectExpanded(e, {
                          // Never a network path out of an empty TargetDir.
                          {R"(<InstallDir>\a\b\app.exe)", R"(\a\b\app.exe)"},
                          {R"(\<InstallDir>\app.exe)", R"(\app.exe)"},
                          {R"(<InstallDir>\<InstallDir>\app.exe)", R"(\app.exe)"},
                          {"<InstallDir>app.exe", "app.exe"},
                          {"|<InstallDir>|<WinDir>|", R"(||C:\WINDOWS|)"},
                          {R"(<InstallDrive>\x)", R"(\x)"},
                          {R"(<RunTimeDir_1>\lib.dll)", R"(\lib.dll)"},
                      });

    e.SetInstallFolders(R"(\\srv\share\App)", "", "");
    ExpectExpanded(e, {
                          {R"(<InstallDir>\app.exe)", R"(\\srv\share\App\app.exe)"},
                          {"<InstallDir>app.exe", R"(\\srv\share\App\app.exe)"},
                          {R"(|<InstallDir>\a.exe|<WinDir>|)", R"(|\\srv\share\App\a.exe|C:\WINDOWS|)"},
                      });

    // A TargetDir may itself hold macros that later steps expand.
    e.SetInstallFolders(R"(<WinDir>\App)", "", "");
    ExpectExpanded(e, {{R"(<InstallDir>\app.exe)", R"(C:\WINDOWS\App\app.exe)"}});
    e.SetInstallFolders(R"(<UserDesktopDir>\App\)", "", "");
    ExpectExpanded(e, {{R"(<InstallDir>\app.exe)", R"(S:\shell12\App\app.exe)"}});
}

TEST(Macros, StageOneNamesAndProvider)
{
    TMacroExpander e(FakeSources());
    ExpectExpanded(
        e, {
               {"<LoggedUserName>/<UserName>/<CompanyName>/<ComputerName>/<CurrentDomainName>",
                "logged/Owner/Org/PC1/DOMAIN"},
               {"<lastexecutableexitcode>:<ReqFreeDiskSpaceMB>", "0:0"},
               {"[<EnteredUserName>][<EnteredCompanyName>][<EnteredStartProgramMenu>][<VendorCompanyName>]"
                "[<ProjectName>][<ProgramDescriptiveName>][<ProgramVersion>][<SelectedLanguage>]",
                "[][][][][][][][]"},
           });
    // Without the folder flag only the first stage runs.
    EXPECT_EQ(e.ExpandMacros(R"(<WinDir>\<ComputerName>)", "\\", false, false, false), R"(<WinDir>\PC1)");

    std::vector<std::string> asked;
    e.Context().ValueProvider = [&](const std::string& name) {
        asked.push_back(name);
        return "{" + name + "}";
    };
    e.Context().LastExecutableExitCode = -3;
    e.Context().RequiredFreeDiskSpace = 5.6 * 1048576;
    EXPECT_EQ(
        e.ExpandMacros("<EnteredUserName> <ProgramVersion> <UnInstallExePath>\\u <LastExecutableExitCode> "
                       "<ReqFreeDiskSpaceMB>",
                       "\\", false, true, false),
        "{UserName} {ProgramVersion} {UnInstallExePath}\\u -3 6");
    // Provided values are only asked for when their macro occurs.
    EXPECT_EQ(asked, (std::vector<std::string>{"UserName", "ProgramVersion", "UnInstallExePath"}));
}

TEST(Macros, DateMacro)
{
    TMacroExpander e(FakeSources());
    const TExpandCase cases[] = {
        {"<Date=#>", "06.Dezember.2024"},
        {"<Date=0>", "9106"},
        {"<Date=1>", "06-12-24"},
        {"<Date=2>", "12-06-24"},
        {"<Date=3>", "24-12-06"},
        {"<Date=4>", "06-12-2024"},
        {"<Date=5>", "12-06-2024"},
        {"<Date=6>", "2024-12-06"},
        {"log <date=7>.txt", "log 2024-12-06 14~05~09.txt"},
        {"<Date=9>", "<Date=9>"},
        {"<Date=6", "<Date=6"},
        {"<Date=>", "<Date=>"},
        // The character after the code goes whatever it is.
        {"<Date=6x>", "2024-12-06>"},
        // Only the first date macro is expanded.
        {"<Date=6> <Date=1>", "2024-12-06 <Date=1>"},
    };
    for (const TExpandCase& c : cases) {
        EXPECT_EQ(e.ExpandDateMacro(c.Text), c.Expected) << c.Text;
        EXPECT_EQ(e.ExpandMacros(c.Text, "\\", false, false, false), c.Expected) << c.Text;
    }

    // Days before 2000 count as their distance too.
    TMacroSources early = FakeSources();
    early.Now = [] { return EncodeDateTime({1990, 5, 1, 12, 0, 0}); };
    EXPECT_EQ(TMacroExpander(early).ExpandDateMacro("<Date=0>"), "3531");
}

TEST(Macros, UserMacros)
{
    TMacroExpander e(FakeSources());
    EXPECT_EQ(e.ExpandUserMacros("<A> <B>"), "<A> <B>");  // no table: unchanged
    e.Context().UserMacros = "|<<Name>>=Bob|<<Empty>>=|<<Nest>>=<<Name>>|<<Dir>>=<WinDir>|";
    const TExpandCase cases[] = {
        {"<Name> and <name>", "Bob and Bob"},
        {"x<Empty>y", "xy"},
        {"<Unknown> <Name>", "<Unknown> Bob"},
        {"a < b <Name>", "a < b <Name>"},  // the token runs from "<" to the next ">"
        {"<Name", "<Name"},
        {"<Nest>", "<<Name>>"},  // values are not scanned again
    };
    for (const TExpandCase& c : cases) EXPECT_EQ(e.ExpandUserMacros(c.Text), c.Expected) << c.Text;
    EXPECT_EQ(e.ExpandMacros(R"(<Dir>\x)", "\\", false, true, true), R"(C:\WINDOWS\x)");
    EXPECT_EQ(e.ExpandMacros(R"(<Dir>\x)", "\\", false, true, false), R"(<Dir>\x)");
}

TEST(Macros, DotDotPaths)
{
    TMacroExpander e(FakeSources());
    const TExpandCase cases[] = {
        {R"(..\tools\t.exe)", R"(C:\Work\tools\t.exe)"},
        {R"(C:\a\b\..\c)", R"(C:\a\c)"},
        {R"(plain\path)", R"(plain\path)"},
        {R"(|..\a|b|c\..\d|)", R"(|C:\Work\a|b|C:\Work\Current\d|)"},
        {R"(,x,..\y,..\z)", R"(,x,C:\Work\y,..\z)"},  // an unclosed tail is no item
    };
    for (const TExpandCase& c : cases) {
        EXPECT_EQ(e.ExpandDotDotPaths(c.Text), c.Expected) << c.Text;
        // A text without "<" still goes through this step.
        EXPECT_EQ(e.ExpandMacros(c.Text, "\\", true, true, true), c.Expected) << c.Text;
    }
    EXPECT_EQ(e.ExpandMacros(R"(..\x)", "\\", false, true, true), R"(..\x)");
    EXPECT_EQ(e.ExpandMacros(R"(<TempDir>..\x)", "\\", true, true, true), R"(C:\x)");
}

TEST(Macros, OriginExeAndFolder)
{
    int asked = 0;
    TMacroSources s = FakeSources();
    s.OriginExeSwitch = [&asked] { return ++asked < 3 ? std::string() : std::string(R"(D:\o\first.exe)"); };
    TMacroExpander e(s);
    // Until the switch is found, the running program stands in.
    EXPECT_EQ(e.OriginExe(), R"(C:\Temp\SETUP_1\launcher.exe)");
    EXPECT_EQ(e.OriginExe(), R"(C:\Temp\SETUP_1\launcher.exe)");
    EXPECT_EQ(e.OriginExe(), R"(D:\o\first.exe)");
    EXPECT_EQ(e.OriginExe(), R"(D:\o\first.exe)");
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(e.OriginFolder(), R"(D:\o)");

    // The folder is computed once.
    TMacroSources late = FakeSources();
    late.OriginExeSwitch = [&asked] {
        return ++asked > 10 ? std::string(R"(D:\late\x.exe)") : std::string();
    };
    TMacroExpander f(late);
    EXPECT_EQ(f.OriginFolder(), R"(C:\Temp\SETUP_1)");
    asked = 20;
    EXPECT_EQ(f.OriginFolder(), R"(C:\Temp\SETUP_1)");
    EXPECT_EQ(f.OriginExe(), R"(D:\late\x.exe)");
}

TEST(Macros, ServiceDirFromTheServiceList)
{
    TMacroExpander e(FakeSources());
    e.Context().ServiceList = R"(|svc1=C:\Services\One\one.exe|svc2=D:\Svc\Two\two.exe|)";
    // The first service whose path occurs in the result gives it.
    EXPECT_EQ(e.ExpandMacros(R"(<ServiceDir>\two.exe)", "\\", false, true, false), R"(D:\Svc\Two\two.exe)");
    EXPECT_EQ(e.ExpandMacros(R"(<ServiceDir>\one.exe)", "\\", false, true, false),
              R"(C:\Services\One\one.exe)");
    EXPECT_EQ(e.ExpandMacros(R"(<ServiceDir>\x.exe)", "\\", false, true, false), R"(C:\Temp\SETUP_1\x.exe)");
}

TEST(ReplaceFolderMacro, SuffixRule)
{
    const struct {
        const char* text;
        const char* folder;
        const char* expected;
    } cases[] = {
        {"<M>x", "F", "F/x"},          {"<M>", "F", "F"},     {"<M>\tx", "F", "F\tx"},
        {"<M> <M>x", "F", "F Fx"},  // the first occurrence decides for all
        {"<M>x <M>", "F", "F/x F/"},   {"|<M>|", "F", "|F|"}, {",<M>,<m>x,", "F", ",F,Fx,"},
        {"<<M><", "F", "<F/<"},  // "<" never delimits a list
        {"|<M>/", "F", "|F//"},        {"x<M>", "", "x"},     {"<M>x", "", "x"},
        {"no macro", "F", "no macro"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplaceFolderMacro(c.text, "<M>", c.folder, "/"), c.expected) << c.text;
}

TEST(CollapseBackslashes, DoublesAndExceptions)
{
    const auto lead = [](unsigned char c) { return c == 0x81; };
    const struct {
        const char* text;
        bool strip;
        const char* expected;
    } cases[] = {
        {R"(C:\\a\\\b)", false, R"(C:\a\b)"},
        {R"(\\server\share\\x)", false, R"(\\server\share\x)"},
        {R"(|\\srv\x|C:\\y|)", false, R"(|\\srv\x|C:\y|)"},
        {R"(x\\y)", false, R"(x\y)"},
        {R"(ab\\)", false, R"(ab\\)"},  // the last two characters are not examined
        {R"(ab\\)", true, R"(ab\)"},
        {R"(C:\dir\)", true, R"(C:\dir)"},
        {R"(\)", true, ""},
        {R"(\\)", false, R"(\\)"},
        {R"(a\)", true, "a"},
        {"", true, ""},
        // A backslash that is the second byte of a double-byte character stays.
        {"\x81\\\\\\a", false, "\x81\\\\a"},
        {"ab\x81\\\\c", false, "ab\x81\\\\c"},
        {"ab\x81\\", true, "ab\x81\\"},
        {"ab\x81x\\", true, "ab\x81x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CollapseBackslashesWith(c.text, c.strip, lead), c.expected) << c.text << " " << c.strip;
    // Natively no byte is a lead byte.
    EXPECT_EQ(CollapseBackslashes("ab\x81\\\\\\c", false), "ab\x81\\c");
}

}  // namespace
