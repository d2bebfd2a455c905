// The web installer on Windows: the agent copy, the download into a folder of
// the launcher's own, the checks and the run.
#include <windows.h>

#include "base/debug_stream.h"

#include "base/handle.h"
#include "base/paths.h"
#include "base/text_utils.h"
#include "lang/status_label.h"
#include "net/download_abort.h"
#include "net/error_page.h"
#include "net/signature.h"
#include "package/files.h"
#include "package/lang_keys.h"
#include "package/package_reader.h"
#include "package/token.h"
#include "package/unpack.h"
#include "setup/setup_flow.h"
#include "setup/web_install.h"
#include "ui/progress.h"

namespace {

constexpr const char* kDownloadFolderPrefix = "VelWeb_";
constexpr const char* kTextNoHashSupport =
    "This setup file is protected by a SHA-256 check, which this version of Windows cannot "
    "compute.<P>The setup file was not used.";

// Held from the checks to the end of the run: the package can be read but
// not changed, replaced or deleted meanwhile.
THandle LockForReading(const std::string& path)
{
    return THandle(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool HiddenRun(const TSetupDeps& deps, const TGFileInfo& own)
{
    return deps.HasSwitch("/hide") || own.IsSilent();
}

void DebugLine(const std::string& text)
{
    DebugOut() << GetCurrentProcessId() << " ==== " << text << DebugEndl;
}

// The checks of a package that lies at `path`: "" when it may be extracted.
std::string CheckPackage(const TSetupDeps& deps, const TGFileInfo& own, const std::string& path,
                         const std::string& url)
{
    const TGFileInfo package(path);
    // The launcher web token and the package agent token, decoded, are equal.
    if (!ScrambledTokensMatch(own.GetWebToken(false), package.GetAgentToken(false))) {
        DebugLine("Secret token mismatch: " + path);
        return ErrorPageMessage(path, "", url, kTextBadToken);
    }
    // The same signers as the agent's: a token alone proves nothing over plain HTTP.
    const std::string signers = own.GetAgentSigners();
    const std::string why = signers.empty() ? "" : CheckSigner(path, signers);
    if (!why.empty()) {
        DebugLine("Package refused, " + why + ": " + path);
        return ErrorPageMessage(path, "", url, kTextBadToken);
    }
    const std::string expected = own.GetWebSha256();
    if (expected.empty()) return "";
    std::string digest;
    const THashResult hashed = deps.HashFile ? deps.HashFile(path, digest) : THashResult::Unavailable;
    if (hashed == THashResult::Unavailable) {
        DebugLine("SHA-256 not available, package refused: " + path);
        return kTextNoHashSupport;
    }
    if (hashed != THashResult::Ok || !WebHashMatches(expected, digest)) {
        DebugLine("SHA-256 mismatch: " + path + " " + digest + " instead of " + expected);
        return kTextBadToken;
    }
    return "";
}

}  // namespace

void DownloadAndRunSetup(const TSetupDeps& deps, const TGFileInfo& own, HWND mainWindow,
                         const std::string& tempFolder, const std::string& base, const std::string& fileName)
{
    std::string error;
    const bool hidden = HiddenRun(deps, own);
    const int charset = own.GetLangCharset();
    const std::string buttons = own.GetLangString(kLangButtonTexts);
    const std::string url = WebDownloadUrl(base, fileName);

    std::string packagePath = WebLocalPath(base, fileName);
    std::string downloadFolder;
    if (!FileExists(packagePath)) {
        if (HWND label = deps.StatusLabel ? reinterpret_cast<HWND>(deps.StatusLabel()) : nullptr) {
            SetStatusLabel(label, own.GetLangString(kLangDownloading), own.GetLangFontName(), charset,
                           own.GetLangFontSize());
        }
        if (own.ConfirmDownload() && !hidden) {
            const std::string question =
                DownloadQuestionText(own.GetLangString(kLangDownloadQuestion), own.GetWebItem(kWebSize));
            if (!deps.Confirm(0, question, own.GetLangString(kLangConfirm), 0, charset, buttons))
                error = kDeclined;
        }
        // Asked after a refusal too: a missing connection is reported even then.
        std::string reason;
        if (!deps.InternetConnected(reason))
            error = NoConnectionText(own.GetLangString(kLangNoConnection), reason);

        SetDownloadAbort(false);
        const intptr_t owner = hidden ? 0 : reinterpret_cast<intptr_t>(mainWindow);
        ProgBar();
        if (error.empty()) {
            downloadFolder = MakePrivateTempFolder(kDownloadFolderPrefix);
            if (downloadFolder.empty()) {
                error = "Cannot create a folder for the download in " + TempFolder(true);
            } else {
                packagePath = downloadFolder + "\\" + FileNamePartAnySlash(fileName);
                if (!IsSafeEntryName(FileNamePartAnySlash(fileName)))
                    error = "Refused file name: " + fileName;
                else if (!deps.DownloadFile(owner, url, packagePath, error) && error.empty())
                    error = "Download failed: " + url;
            }
        }
        deps.WaitPumping(300);
        StandardProgressSink(kProgressStart, 0, 10, 0, 1, "");
        deps.WaitPumping(700);
    }

    if (error.empty()) {
        THandle lock = LockForReading(packagePath);
        if (!lock) {
            error = "Cannot open the setup file: " + packagePath;
        } else {
            error = CheckPackage(deps, own, packagePath, url);
            if (error.empty())
                ExtractAndRunSetup(deps, tempFolder, packagePath, "", !hidden, deps.ArgsText());
        }
    }
    // Whatever was fetched goes, on every path; a package found in place stays.
    if (!downloadFolder.empty()) DeleteTree(downloadFolder, true);

    if (!error.empty() && error != kDeclined)
        deps.Error(0, error, own.GetLangString(kLangError), charset, buttons);
}

void RunWebInstallStep(const TSetupDeps& deps, HWND mainWindow)
{
    const std::string self = ProgramPath();
    const TGFileInfo own(self);
    std::string base = own.GetWebItem(kWebUrl);
    const std::string fileName = own.GetWebItem(kWebFile);

    const std::string agent = own.GetAgentExeName();
    if (own.CreateAgent() && !agent.empty()) {
        const std::string name = FileNamePartAnySlash(agent);
        const std::string target = SetupTempFolder() + "\\" + name;
        if (!IsSafeEntryName(name))
            DebugLine("Refused agent name: " + agent);
        else if (!SaveFile(target, WebAgentCopy(ReadFileToString(self)), FileDosTime(self), false))
            DebugLine("Agent copy not written: " + target);
    }
    if (!own.IsWebAlwaysDownload() && FileExists(ProgramFolder(true) + fileName)) base = ProgramFolder(false);
    DownloadAndRunSetup(deps, own, mainWindow, SetupTempFolder(), base, fileName);
}
