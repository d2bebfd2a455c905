// The web installer: a launcher whose package holds no setup files fetches
// the real setup package (or finds it beside itself or in a folder), checks
// that it belongs to this launcher (the secret token, and the SHA-256 when
// the web block carries one), extracts it and runs its setup program.
#pragma once

#include <cstdint>
#include <string>

#include "package/package_reader.h"
#include "setup/setup_deps.h"

constexpr const char* kTextBadToken = "Bad Secret Token!";
// The answer of the download stage when the user declined: no message.
constexpr const char* kDeclined = "!";
// Agent copies: bytes behind the package end up to this many are dropped.
constexpr uint64_t kAgentCopyTailLimit = 10000;

// base + "\" + file name, without doubling a backslash that ends the base.
std::string WebLocalPath(const std::string& base, const std::string& fileName);
// base + "/" + file name: the address the package is fetched from.
std::string WebDownloadUrl(const std::string& base, const std::string& fileName);

// The question before the download: every "<SIZE>" (exact case) becomes the
// size item in megabytes (0 when it is not a number).
std::string DownloadQuestionText(const std::string& question, const std::string& sizeItem);
// The no-connection error, with "<P><P>" and the reason when one is known.
std::string NoConnectionText(const std::string& text, const std::string& reason);

// The update-agent copy of a web launcher: the running executable with the
// bytes behind its package end dropped (when fewer than 10,000 follow it)
// and the IsAutoUpdateProg byte set in the trailer that ends the package,
// 5 bytes before its end. The package end is StoredPackEnd when the image
// records one within the file, else the file's end.
std::string WebAgentCopy(std::string image);

// The SHA-256 item against the package's digest (both in hexadecimal, case
// ignored). An empty item asks for no check.
bool WebHashMatches(const std::string& item, const std::string& digest);

#ifdef _WIN32
#include <windows.h>

// The web branch of the setup step: the agent copy when the package asks for
// one, the package beside the launcher unless the web block says always
// download, then DownloadAndRunSetup.
void RunWebInstallStep(const TSetupDeps& deps, HWND mainWindow);

// Takes the package from base\fileName when it exists there, else fetches
// base/fileName into a folder of its own below the temp folder; checks it
// against the launcher's package `own`, extracts and runs it, deletes what
// it fetched. Every failure ends in one error box; a refusal by the user
// ends silently.
void DownloadAndRunSetup(const TSetupDeps& deps, const TGFileInfo& own, HWND mainWindow,
                         const std::string& tempFolder, const std::string& base, const std::string& fileName);
#endif
