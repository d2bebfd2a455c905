#include "lang/runtime_folders.h"

#include "base/debug_stream.h"

#include "base/lists.h"
#include "base/paths.h"
#include "base/text_utils.h"
#include "lang/lang_res.h"

namespace {

constexpr const char* kAppPathsKey =
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

bool Flag(const std::string& descriptor, int item)
{
    return ListItem(descriptor, item) == "1";
}

std::string NoTrailing(const std::string& path)
{
    return SetTrailingBackslash(path, false);
}

// The default value of the path as a key, else the value its last component names.
std::string RegistryPass(const std::string& path, const TRegistryReader& read, bool view64)
{
    std::string result = read(path, "", "", view64);
    const size_t at = path.rfind('\\');
    if (result.empty() && at != std::string::npos)
        result = read(path.substr(0, at), path.substr(at + 1), "", view64);
    return result;
}

TRuntimeNotFoundAction& NotFoundAction()
{
    static TRuntimeNotFoundAction action;
    return action;
}

struct THooks {
    std::function<void()> Before, After;
};
THooks& Hooks()
{
    static THooks hooks;
    return hooks;
}

}  // namespace

int RegistryViewMode(const std::string& text)
{
    const int64_t mode = DecimalOr(text, 0);
    return mode >= 0 && mode <= 3 ? static_cast<int>(mode) : 0;
}

bool FirstReadIs64(int mode, bool programView64)
{
    switch (mode) {
    case 1:
    case 3:
        return false;
    case 2:
        return true;
    default:
        return programView64;
    }
}

std::string AppPathFolderFrom(const std::string& program, int mode, const TRegistryReader& read,
                              bool programView64)
{
    const std::string key = kAppPathsKey + program;
    std::string value = read(key, "", "", FirstReadIs64(mode, programView64));
    if (mode == 3 && value.empty()) value = read(key, "", "", true);
    return NoTrailing(FolderPart(value));
}

std::string RegistryFolderFrom(const std::string& path, int mode, const TRegistryReader& read,
                               bool programView64, const TRegistryFolderFiles& files)
{
    std::string result = RegistryPass(path, read, FirstReadIs64(mode, programView64));
    if (mode == 3 && result.empty()) result = RegistryPass(path, read, true);
    if (!result.empty() && !files.DirectoryExists(result) && files.FileExists(result)) {
        const std::string folder = NoTrailing(FolderPart(result));
        if (!folder.empty() && files.DirectoryExists(folder)) return folder;
    }
    return result;
}

std::string ResolveRuntimeDescriptor(const std::string& d, const TRuntimeFolderSystem& sys)
{
    std::string folder, name;
    if (Flag(d, kRtUseAppPath)) {
        name = ListItem(d, kRtAppPathName);
        folder = NoTrailing(sys.AppPathFolder(name, RegistryViewMode(ListItem(d, kRtAppPathViewMode))));
    }
    if (folder.empty() && Flag(d, kRtUseRegistry))
        folder = NoTrailing(sys.RegistryFolder(ListItem(d, kRtRegistryPath),
                                               RegistryViewMode(ListItem(d, kRtRegistryViewMode))));

    // The drive searches: fixed drives first, then network drives, as asked.
    const auto search = [&](const auto& find, const std::string& sought, bool hook, int onFixed,
                            int onRemote) {
        std::string hit;
        for (const auto& [item, type] :
             {std::pair{onFixed, kDriveFixed}, std::pair{onRemote, kDriveRemote}}) {
            if (!hit.empty() || !Flag(d, item)) continue;
            if (hook && sys.BeforeSearch) sys.BeforeSearch();
            hit = find(sought, type);
        }
        return hit;
    };
    if (folder.empty() && Flag(d, kRtSearchFile)) {
        const std::string file = ListItem(d, kRtFileName);
        if (name.empty()) name = file;
        const std::string hit = search(sys.FindFileOnDrives, file, Flag(d, kRtHookBeforeFileSearch),
                                       kRtFileOnFixed, kRtFileOnRemote);
        if (!hit.empty()) folder = NoTrailing(FolderPart(hit));
    }
    if (folder.empty() && Flag(d, kRtSearchFolder)) {
        const std::string sought = ListItem(d, kRtFolderName);
        if (name.empty()) name = sought;
        folder = NoTrailing(search(sys.FindDirOnDrives, sought, Flag(d, kRtHookBeforeFolderSearch),
                                   kRtFolderOnFixed, kRtFolderOnRemote));
    }
    if (folder.empty() && Flag(d, kRtUseFixedFolder)) folder = ListItem(d, kRtFixedFolder);

    if (folder.empty() && Flag(d, kRtShowNotFound) && sys.NotFound) sys.NotFound(name);
    if (sys.AfterResolution) sys.AfterResolution();
    return folder;
}

std::string RuntimeFolderNotFoundText(const std::string& name)
{
    return FormatLanguageIniString("RunTimeDir_01", "RunTimeDir (<?>)<P><P>Not Found!", name);
}

void TRuntimeFolders::SetDescriptor(int n, const std::string& descriptor)
{
    if (n < 1 || n > kRuntimeFolderCount) return;
    descriptors_[n - 1] = descriptor;
    resolved_[n - 1] = false;
}

std::string TRuntimeFolders::Folder(int n, const TRuntimeFolderSystem& system)
{
    if (n < 1 || n > kRuntimeFolderCount) return "";
    if (!resolved_[n - 1]) {
        results_[n - 1] = ResolveRuntimeDescriptor(descriptors_[n - 1], system);
        resolved_[n - 1] = true;
    }
    return results_[n - 1];
}

TRuntimeFolders& ProcessRuntimeFolders()
{
    static TRuntimeFolders folders;
    return folders;
}

void SetRuntimeFolderNotFoundAction(TRuntimeNotFoundAction action)
{
    NotFoundAction() = std::move(action);
}

void SetRuntimeFolderHooks(std::function<void()> beforeSearch, std::function<void()> afterResolution)
{
    Hooks() = {std::move(beforeSearch), std::move(afterResolution)};
}

// The parts of the process system that do not depend on the platform.
void FillRuntimeFolderHostParts(TRuntimeFolderSystem& system)
{
    system.BeforeSearch = Hooks().Before;
    system.AfterResolution = Hooks().After;
    system.NotFound = [](const std::string& name) {
        const std::string text = RuntimeFolderNotFoundText(name);
        if (const TRuntimeNotFoundAction& action = NotFoundAction())
            action(text);
        else
            DebugOut() << " RunTimeDir not found: " << text << DebugEndl;
    };
}
