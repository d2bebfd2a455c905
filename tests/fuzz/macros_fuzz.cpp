// Paths and texts written by a package author go through the macro
// expander: every stage over arbitrary bytes, on a machine with fixed
// folders, names, clock and locale, and a user macro table from the input.
#include "lang/macros.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

TMacroSources FixedSources()
{
    TMacroSources s;
    s.Folder = [](TMacroFolder f) { return R"(C:\WINDOWS\f)" + std::to_string(static_cast<int>(f)); };
    s.ShellFolder = [](TShellFolder f) { return R"(S:\shell)" + std::to_string(static_cast<int>(f)); };
    s.RuntimeFolder = [](int n) { return n == 3 ? std::string(R"(R:\runtime3)") : std::string(); };
    s.LoggedUserName = [] { return std::string("logged"); };
    s.RegisteredOwner = [] { return std::string("Owner"); };
    s.RegisteredOrganization = [] { return std::string("Org"); };
    s.ComputerName = [] { return std::string("PC1"); };
    s.CurrentDomainName = [] { return std::string("DOMAIN"); };
    s.Now = [] { return EncodeDateTime({2024, 12, 6, 14, 5, 9}); };
    s.LongMonthName = [](int m) { return "Month" + std::to_string(m); };
    s.Separators = [] { return TUserSeparators{'.', '~', ','}; };
    // A stand-in with the same contract: as long as the path, no growth.
    s.FullPath = [](const std::string& path) { return R"(C:\Work\)" + path; };
    s.OriginExeSwitch = [] { return std::string(R"(D:\setup\launcher.exe)"); };
    s.ProgramPath = [] { return std::string(R"(C:\Temp\SETUP_1\launcher.exe)"); };
    s.IsLeadByte = [](unsigned char c) { return c >= 0x81 && c <= 0x9F; };
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    const uint8_t mode = data[0];
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const size_t cut = rest.find('\n');
    const std::string text = rest.substr(0, cut);
    const std::string table = cut == std::string::npos ? "" : rest.substr(cut + 1);

    TMacroExpander expander(FixedSources());
    expander.SetInstallFolders(R"(C:\App)", R"(C:\Common)", "");
    expander.Context().UserMacros = table;
    expander.Context().ServiceList = R"(|C:\svc\a.exe|D:\b.exe|)";
    expander.Context().RequiredFreeDiskSpace = 1234567;
    expander.Context().ValueProvider = [](const std::string& name) { return name.size() < 8 ? name : ""; };

    (void)expander.ExpandMacros(text, (mode & 1) ? "\\" : "", mode & 2, mode & 4, mode & 8);
    (void)expander.ExpandDateMacro(text);
    (void)expander.ExpandUserMacros(text);
    (void)expander.ExpandDotDotPaths(text);
    (void)ReplaceFolderMacro(text, "<WinDir>", (mode & 16) ? "" : R"(C:\W)", "\\");

    const std::string collapsed =
        CollapseBackslashesWith(text, mode & 32, [](unsigned char c) { return c >= 0x81 && c <= 0x9F; });
    if (collapsed.size() > text.size()) std::abort();
    return 0;
}
