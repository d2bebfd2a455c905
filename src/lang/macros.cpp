#include "lang/macros.h"

#include <cstdlib>
#include <vector>

#include "base/lists.h"
#include "base/paths.h"
#include "base/switches.h"

namespace {

bool Contains(const std::string& text, const std::string& macro)
{
    return PosText(macro, text) > 0;
}

bool IsAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string Two(int n)
{
    return ZeroPad(n, 2);
}

// Removes every occurrence of the macro; where a backslash stands on both
// sides of one, the second goes too, so that no "\\" (a network path at the
// start of the text) comes out of a value that is not there.
std::string RemoveEmptyValue(const std::string& text, const std::string& macro)
{
    const std::string shadow = AnsiUpperCase(text);
    const std::string key = AnsiUpperCase(macro);
    std::string out;
    size_t pos = 0;
    for (size_t hit; (hit = shadow.find(key, pos)) != std::string::npos;) {
        out.append(text, pos, hit - pos);
        pos = hit + key.size();
        if (!out.empty() && out.back() == '\\' && pos < text.size() && text[pos] == '\\') ++pos;
    }
    out.append(text, pos, std::string::npos);
    return out;
}

// A value inserted without suffix (drives, provided values).
std::string ReplacePlain(const std::string& text, const std::string& macro, const std::string& value)
{
    if (!Contains(text, macro)) return text;
    return value.empty() ? RemoveEmptyValue(text, macro) : ReplaceAll(text, macro, value, true);
}

// ReplaceFolderMacro that asks for the folder only when the macro occurs.
template <typename F>
std::string ReplaceFolder(const std::string& text, const std::string& macro, F&& folder,
                          const std::string& suffix)
{
    if (!Contains(text, macro)) return text;
    return ReplaceFolderMacro(text, macro, folder(), suffix);
}

// Which bytes begin a character: a lead byte takes the next byte with it.
std::vector<bool> CharacterStarts(const std::string& s, const std::function<bool(unsigned char)>& isLeadByte)
{
    std::vector<bool> starts(s.size(), false);
    for (size_t i = 0; i < s.size();) {
        starts[i] = true;
        i += (isLeadByte && isLeadByte(static_cast<unsigned char>(s[i]))) ? 2 : 1;
    }
    return starts;
}

}  // namespace

// ---- pure text rules -------------------------------------------------------------

std::string ReplaceFolderMacro(const std::string& text, const std::string& macro, const std::string& folder,
                               const std::string& suffix)
{
    const int at = PosText(macro, text);
    if (at == 0) return text;
    if (folder.empty()) return RemoveEmptyValue(text, macro);
    const size_t after = static_cast<size_t>(at - 1) + macro.size();
    const char edge = text.front();
    const bool drop = after >= text.size() || static_cast<unsigned char>(text[after]) <= ' ' ||
                      (edge == text.back() && edge != '<' && !IsAsciiLetter(edge) && text[after] == edge);
    return ReplaceAll(text, macro, folder + (drop ? "" : suffix), true);
}

std::string CollapseBackslashesWith(const std::string& text, bool stripTrailing,
                                    const std::function<bool(unsigned char)>& isLeadByte)
{
    std::string s = text;
    if (s.size() > 2) {
        // The first character stays aside, so a leading "\\" survives.
        const char first = s.front(), last = s.back();
        const std::vector<bool> starts = CharacterStarts(s, isLeadByte);
        // Pairs from the one before the last two characters down to s[2], s[3];
        // erasing behind the walk leaves the positions still to come in place.
        for (size_t p = s.size() - 3; p >= 2; --p) {
            if (s[p] != '\\' || s[p + 1] != '\\' || !starts[p]) continue;
            if (first == last && s[p - 1] == first) continue;  // "|\\server..." keeps its UNC start
            s.erase(p, 1);
        }
        // Also for the first item of a list: its UNC start stays.
        if (s.size() > 2 && s[1] == '\\' && s[2] == '\\' && starts[1] && first != last) s.erase(1, 1);
    }
    if (stripTrailing) {
        if (s == "\\") return "";
        if (s.size() > 1 && s.back() == '\\' && CharacterStarts(s, isLeadByte).back()) s.pop_back();
    }
    return s;
}

std::string CollapseBackslashes(const std::string& text, bool stripTrailing)
{
    return CollapseBackslashesWith(text, stripTrailing, IsLeadByte);
}

// ---- the expander ----------------------------------------------------------------

std::string TMacroExpander::Provided(const std::string& name) const
{
    return context_.ValueProvider ? context_.ValueProvider(name) : std::string();
}

void TMacroExpander::SetInstallFolders(const std::string& application, const std::string& common,
                                       const std::string& auxiliary)
{
    context_.ApplicationFolder = application;
    context_.CommonFolder = common;
    context_.AuxiliaryFolder = auxiliary;
}

std::string TMacroExpander::OriginExe()
{
    if (!originExe_.empty()) return originExe_;
    const std::string fromSwitch = sources_.OriginExeSwitch();
    if (fromSwitch.empty()) return sources_.ProgramPath();
    originExe_ = fromSwitch;
    return originExe_;
}

std::string TMacroExpander::OriginFolder()
{
    if (!originFolderKnown_) {
        originFolder_ = SetTrailingBackslash(FolderPart(OriginExe()), false);
        if (originFolder_.empty())
            originFolder_ = SetTrailingBackslash(FolderPart(sources_.ProgramPath()), false);
        originFolderKnown_ = true;
    }
    return originFolder_;
}

std::string TMacroExpander::ExpandDateMacro(const std::string& text)
{
    const int at = PosText("<Date=", text);
    if (at == 0) return text;
    const size_t start = static_cast<size_t>(at - 1);
    const size_t codeAt = start + 6;
    if (text.find('>', codeAt) == std::string::npos) return text;

    const TDateTime now = sources_.Now();
    const TDateTimeParts p = DecodeDateTime(now);
    const TUserSeparators sep = sources_.Separators();
    const std::string dd = Two(p.Day), mm = Two(p.Month), yy = Two(p.Year % 100), yyyy = ZeroPad(p.Year, 4);
    std::string value;
    switch (text[codeAt]) {
    case '#':
        value = dd + sep.Date + sources_.LongMonthName(p.Month) + sep.Date + yyyy;
        break;
    case '0': {
        const TDateTime since = now - EncodeDateTime({2000, 1, 1, 0, 0, 0});
        value = std::to_string((since < 0 ? -since : since) / 86400);
        break;
    }
    case '1':
        value = dd + "-" + mm + "-" + yy;
        break;
    case '2':
        value = mm + "-" + dd + "-" + yy;
        break;
    case '3':
        value = yy + "-" + mm + "-" + dd;
        break;
    case '4':
        value = dd + "-" + mm + "-" + yyyy;
        break;
    case '5':
        value = mm + "-" + dd + "-" + yyyy;
        break;
    case '6':
        value = yyyy + "-" + mm + "-" + dd;
        break;
    case '7':
        value = yyyy + "-" + mm + "-" + dd + " " + Two(p.Hour) + sep.Time + Two(p.Minute) + sep.Time +
                Two(p.Second);
        break;
    default:
        return text;
    }
    // "<Date=", the code and the character after it (normally the ">") give way.
    std::string out = text;
    out.erase(start, 8);
    out.insert(start, value);
    return out;
}

std::string TMacroExpander::ExpandUserMacros(const std::string& text)
{
    // Keys are whole macros; "<<" and ">>" in a key stand for "<" and ">".
    std::vector<std::string> items;
    for (const std::string& item : ListSplit(context_.UserMacros)) {
        const size_t eq = item.find('=');
        std::string key = item.substr(0, eq);
        key = ReplaceAll(ReplaceAll(key, "<<", "<", false), ">>", ">", false);
        items.push_back(eq == std::string::npos ? key : key + item.substr(eq));
    }
    if (items.empty()) return text;  // every token would stand for itself
    const std::string table = ListFromArray(items);

    std::string out = text;
    for (size_t pos = 0, lt; (lt = out.find('<', pos)) != std::string::npos;) {
        const size_t gt = out.find('>', lt + 1);
        if (gt == std::string::npos) {
            pos = lt + 1;
            continue;
        }
        const std::string token = out.substr(lt, gt - lt + 1);
        const std::string value = ListValue(table, token, token, "");
        out.replace(lt, token.size(), value);
        pos = lt + value.size();
    }
    return out;
}

std::string TMacroExpander::ExpandDotDotPaths(const std::string& text)
{
    const auto hasDots = [](const std::string& s) {
        return s.find("\\..") != std::string::npos || s.find("..\\") != std::string::npos;
    };
    if (!hasDots(text)) return text;
    if (text[0] != ',' && text[0] != '|') return sources_.FullPath(text);

    // A delimited list: each complete item on its own; an unclosed tail is no item.
    const char delimiter = text[0];
    std::string out(1, delimiter);
    size_t pos = 1;
    for (size_t end; (end = text.find(delimiter, pos)) != std::string::npos; pos = end + 1) {
        const std::string item = text.substr(pos, end - pos);
        out += (hasDots(item) ? sources_.FullPath(item) : item) + delimiter;
    }
    return out + text.substr(pos);
}

std::string TMacroExpander::StageOne(const std::string& text, bool userMacros)
{
    std::string t = text;
    if (userMacros) t = ExpandUserMacros(t);
    if (Contains(t, "<Date=")) t = ExpandDateMacro(t);

    const auto freeSpace = [this] {
        std::string mb = FormatFixed(context_.RequiredFreeDiskSpace / 1048576.0, 0, false);
        return mb == "." ? std::string("0") : mb;
    };
    const auto provided = [this](const char* name) { return [this, name] { return Provided(name); }; };
    const struct {
        const char* macro;
        std::function<std::string()> value;
    } table[] = {
        {"<LoggedUserName>", sources_.LoggedUserName},
        {"<UserName>", sources_.RegisteredOwner},
        {"<CompanyName>", sources_.RegisteredOrganization},
        {"<ComputerName>", sources_.ComputerName},
        {"<CurrentDomainName>", sources_.CurrentDomainName},
        {"<LastExecutableExitCode>", [this] { return std::to_string(context_.LastExecutableExitCode); }},
        {"<ReqFreeDiskSpaceMB>", freeSpace},
        {"<EnteredUserName>", provided("UserName")},
        {"<EnteredCompanyName>", provided("CompanyName")},
        {"<EnteredStartProgramMenu>", provided("EnteredStartProgramMenu")},
        {"<VendorCompanyName>", provided("VendorCompanyName")},
        {"<ProjectName>", provided("ProjectName")},
        {"<ProgramDescriptiveName>", provided("ProgramDescriptiveName")},
        {"<ProgramVersion>", provided("ProgramVersion")},
        {"<SelectedLanguage>", provided("SelectedLanguage")},
    };
    for (const auto& entry : table)
        if (Contains(t, entry.macro)) t = ReplaceAll(t, entry.macro, entry.value(), true);
    return t;
}

std::string TMacroExpander::ServiceDir(const std::string& text, const std::string& suffix)
{
    const std::string macro = "<ServiceDir>";
    if (!Contains(text, macro)) return text;
    const std::string programFolder = SetTrailingBackslash(FolderPart(sources_.ProgramPath()), false);
    std::string result = ReplaceFolderMacro(text, macro, programFolder, suffix);
    if (context_.ServiceList.size() <= 2) return result;
    const auto single = [](const std::string& s) { return ReplaceAllRepeated(s, "\\\\", "\\"); };
    for (const std::string& item : ListSplit(context_.ServiceList)) {
        const size_t eq = item.find('=');  // a key=value item names its path as the value
        const std::string path = eq == std::string::npos ? item : item.substr(eq + 1);
        const std::string candidate =
            single(ReplaceFolderMacro(text, macro, SetTrailingBackslash(FolderPart(path), false), suffix));
        if (!path.empty() && PosText(single(path), candidate) > 0) return candidate;
    }
    return result;
}

std::string TMacroExpander::StageTwo(const std::string& stage1, const std::string& suffix)
{
    const TMacroContext& c = context_;
    const auto folder = [this](TMacroFolder f) { return [this, f] { return sources_.Folder(f); }; };
    const auto shell = [this](TShellFolder f) { return [this, f] { return sources_.ShellFolder(f); }; };
    const auto value = [](const std::string& v) { return [v] { return v; }; };

    std::string t = stage1;
    if (Contains(t, "<UnInstallExePath>"))
        t = ReplacePlain(t, "<UnInstallExePath>", Provided("UnInstallExePath"));
    if (Contains(t, "<RunTimeDir_"))
        for (int n = 1; n <= 8; ++n)
            t = ReplaceFolder(
                t, "<RunTimeDir_" + std::to_string(n) + ">", [this, n] { return sources_.RuntimeFolder(n); },
                suffix);
    t = ReplaceFolder(t, "<Application Folder>", value(c.ApplicationFolder), suffix);
    t = ReplaceFolder(t, "<Common Folder>", value(c.CommonFolder), suffix);
    t = ReplaceFolder(t, "<Auxiliary Folder>", value(c.AuxiliaryFolder), suffix);
    t = ReplaceFolder(t, "<Windows Directory>", folder(TMacroFolder::Windows), suffix);
    t = ReplaceFolder(t, "<System Directory>", folder(TMacroFolder::System), suffix);
    t = ReplaceFolder(t, "<System16 Directory>", folder(TMacroFolder::System16), suffix);

    // Texts that name the folder the long way carry the short macro only as a marker.
    if (t != stage1)
        for (const char* m : {"<InstallDir>", "<InstallCommonDir>", "<InstallAuxDir>"})
            t = ReplaceAll(t, m, "", true);
    t = ReplaceAll(t, "<AbsoluteDir>", "", true);
    t = ReplaceFolder(t, "<InstallDir>", value(c.ApplicationFolder), suffix);
    t = ReplaceFolder(t, "<InstallCommonDir>", value(c.CommonFolder), suffix);
    t = ReplaceFolder(t, "<InstallAuxDir>", value(c.AuxiliaryFolder), suffix);
    t = ReplaceAll(t, "<AbsoluteDir>", "", true);

    t = ReplaceFolder(t, "<WinDir>", folder(TMacroFolder::Windows), suffix);
    t = ReplaceFolder(t, "<WinSysDir>", folder(TMacroFolder::System), suffix);
    t = ReplaceFolder(t, "<WinSys32Dir>", folder(TMacroFolder::System), suffix);
    t = ReplaceFolder(t, "<WinSys16Dir>", folder(TMacroFolder::System16), suffix);

    const struct {
        const char* drive;
        const char* disk;
        std::function<std::string()> folder;
    } drives[] = {
        {"<InstallDrive>", "<InstallDisk>", value(c.ApplicationFolder)},
        {"<WinDrive>", "<WinDisk>", folder(TMacroFolder::Windows)},
        {"<WinSysDrive>", "<WinSysDisk>", folder(TMacroFolder::System)},
        {"<OriginDrive>", "<OriginDisk>", [this] { return OriginFolder(); }},
    };
    for (const auto& d : drives) {
        if (Contains(t, d.drive)) t = ReplacePlain(t, d.drive, d.folder().substr(0, 3));
        if (Contains(t, d.disk)) t = ReplacePlain(t, d.disk, d.folder().substr(0, 2));
    }

    t = ReplaceFolder(t, "<StartMenuDir>", folder(TMacroFolder::StartMenu), suffix);
    t = ReplaceFolder(t, "<ProgramFilesDir>", folder(TMacroFolder::ProgramFiles), suffix);
    t = ReplaceFolder(t, "<CommonFilesDir>", folder(TMacroFolder::CommonFiles), suffix);
    t = ReplaceFolder(t, "<FontDir>", folder(TMacroFolder::Fonts), suffix);
    t = ReplaceFolder(
        t, "<SrcDir>", [this] { return SetTrailingBackslash(FolderPart(sources_.ProgramPath()), false); },
        suffix);
    t = ReplaceFolder(
        t, "<OriginDir>", [this] { return OriginFolder(); }, suffix);
    t = ReplaceFolder(t, "<TempDir>", folder(TMacroFolder::Temp), suffix);
    t = ServiceDir(t, suffix);

    const struct {
        const char* macro;
        TShellFolder kind;
    } shellFolders[] = {
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
    for (const auto& f : shellFolders) t = ReplaceFolder(t, f.macro, shell(f.kind), suffix);

    return t != stage1 ? CollapseBackslashesWith(t, false, sources_.IsLeadByte) : t;
}

std::string TMacroExpander::ExpandMacros(const std::string& text, const std::string& suffix,
                                         bool expandDotDot, bool folderMacros, bool userMacros)
{
    std::string result = text;
    if (text.find('<') != std::string::npos) {
        result = StageOne(text, userMacros);
        if (folderMacros) result = StageTwo(result, suffix);
    }
    return expandDotDot ? ExpandDotDotPaths(result) : result;
}

// ---- the process's expander -------------------------------------------------------

TMacroExpander& ProcessMacroExpander()
{
    static TMacroExpander expander(SystemMacroSources());
    return expander;
}

std::string ExpandMacros(const std::string& text, const std::string& suffix, bool expandDotDot,
                         bool folderMacros, bool userMacros)
{
    return ProcessMacroExpander().ExpandMacros(text, suffix, expandDotDot, folderMacros, userMacros);
}

void SetInstallFolders(const std::string& application, const std::string& common,
                       const std::string& auxiliary)
{
    ProcessMacroExpander().SetInstallFolders(application, common, auxiliary);
}

std::string ExpandDateMacro(const std::string& text)
{
    return ProcessMacroExpander().ExpandDateMacro(text);
}
std::string ExpandUserMacros(const std::string& text)
{
    return ProcessMacroExpander().ExpandUserMacros(text);
}
std::string ExpandDotDotPaths(const std::string& text)
{
    return ProcessMacroExpander().ExpandDotDotPaths(text);
}
std::string OriginExe()
{
    return ProcessMacroExpander().OriginExe();
}
std::string OriginFolder()
{
    return ProcessMacroExpander().OriginFolder();
}

#ifndef _WIN32
// Natively there is no Windows to ask: no folders and no names.
TMacroSources SystemMacroSources()
{
    TMacroSources s;
    s.Folder = [](TMacroFolder) { return std::string(); };
    s.ShellFolder = [](TShellFolder) { return std::string(); };
    s.RuntimeFolder = [](int) { return std::string(); };
    const auto none = [] { return std::string(); };
    s.LoggedUserName = s.RegisteredOwner = s.RegisteredOrganization = s.ComputerName = s.CurrentDomainName =
        none;
    s.Now = NowLocalDateTime;
    s.LongMonthName = [](int month) {
        static const char* const kNames = "||January|February|March|April|May|June|July|August|"
                                          "September|October|November|December|";
        return ListItem(kNames, month);
    };
    s.Separators = UserSeparators;
    s.FullPath = [](const std::string& path) { return path; };
    s.OriginExeSwitch = [] { return GetSwitchStr(SwitchOriginExe, ""); };
    s.ProgramPath = ProgramPath;
    s.IsLeadByte = IsLeadByte;
    return s;
}
#endif
