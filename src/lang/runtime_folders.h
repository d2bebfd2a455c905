// Runtime folders: up to eight folders of programs that must already be on
// the machine, each described by a runtime descriptor (a "|"-list read by item
// index) and resolved once: a program registered under App Paths, a registry
// value, a search of the drives, or a fixed folder.
//
// The launcher leaves every descriptor empty, so every runtime folder is "".
#pragma once

#include <array>
#include <functional>
#include <string>

constexpr int kRuntimeFolderCount = 8;  // slots 1..8

// Descriptor items (flags are on only for exactly "1").
enum : int {
    kRtUseAppPath = 0,
    kRtAppPathName = 1,
    kRtUseRegistry = 2,
    kRtRegistryPath = 3,
    kRtSearchFile = 4,
    kRtFileName = 5,
    kRtFileOnFixed = 6,
    kRtFileOnRemote = 7,
    kRtSearchFolder = 8,
    kRtFolderName = 9,
    kRtFolderOnFixed = 10,
    kRtFolderOnRemote = 11,
    kRtUseFixedFolder = 12,
    kRtFixedFolder = 13,
    kRtShowNotFound = 16,
    kRtHookBeforeFileSearch = 18,
    kRtHookBeforeFolderSearch = 19,
    kRtAppPathViewMode = 20,
    kRtRegistryViewMode = 21,
};

// Drive types searched (GetDriveType values).
constexpr unsigned kDriveFixed = 3;
constexpr unsigned kDriveRemote = 4;

// Registry view modes: 0 the program-wide setting (UseRegistry64View), 1 the
// normal view, 2 the 64-bit view, 3 the normal view and, when nothing is
// found, the 64-bit view. Text that is not a number, and numbers without a
// meaning, count as 0.
int RegistryViewMode(const std::string& text);
// Whether the first read of the mode uses the 64-bit view.
bool FirstReadIs64(int mode, bool programView64);

// (key path, value name, default, 64-bit view) -> text.
using TRegistryReader =
    std::function<std::string(const std::string&, const std::string&, const std::string&, bool)>;

// Folder part of the default value of App Paths\<program>, without trailing
// backslash.
std::string AppPathFolderFrom(const std::string& program, int mode, const TRegistryReader& read,
                              bool programView64);

struct TRegistryFolderFiles {
    std::function<bool(const std::string&)> DirectoryExists;
    std::function<bool(const std::string&)> FileExists;
};
// The default value of the path taken as a key; when that is empty, the value
// named by the last path component below the key before it. A value naming an
// existing file gives the file's folder when that exists. In mode 3 the second
// pass in the 64-bit view starts again from the whole path.
std::string RegistryFolderFrom(const std::string& path, int mode, const TRegistryReader& read,
                               bool programView64, const TRegistryFolderFiles& files);

// What resolving a descriptor asks of the system and the host.
struct TRuntimeFolderSystem {
    std::function<std::string(const std::string& program, int mode)> AppPathFolder;
    std::function<std::string(const std::string& path, int mode)> RegistryFolder;
    // The path of the file / the folder found on drives of the type, "" if none.
    std::function<std::string(const std::string& name, unsigned driveType)> FindFileOnDrives;
    std::function<std::string(const std::string& name, unsigned driveType)> FindDirOnDrives;
    std::function<void()> BeforeSearch;                     // optional hook
    std::function<void()> AfterResolution;                  // optional hook
    std::function<void(const std::string& name)> NotFound;  // optional: tell the user
};

// The folder of one descriptor, without trailing backslash; "" when nothing was found.
std::string ResolveRuntimeDescriptor(const std::string& descriptor, const TRuntimeFolderSystem& system);

// The text of the not-found message for the name sought.
std::string RuntimeFolderNotFoundText(const std::string& name);

// Eight slots resolved at most once each (an empty result is kept too).
class TRuntimeFolders {
public:
    void SetDescriptor(int n, const std::string& descriptor);  // n = 1..8; forgets the result
    // The folder of slot n (1..8; "" for any other n).
    std::string Folder(int n, const TRuntimeFolderSystem& system);

private:
    std::array<std::string, kRuntimeFolderCount> descriptors_{};
    std::array<std::string, kRuntimeFolderCount> results_{};
    std::array<bool, kRuntimeFolderCount> resolved_{};
};

// ---- the process's runtime folders ----------------------------------------------

// The process's slots (a host fills descriptors; the launcher does not).
TRuntimeFolders& ProcessRuntimeFolders();

// How the user is told that a runtime folder was not found. The message box
// lives in a later layer: start-up installs it here. Without an action the
// message is only written to the debug stream.
using TRuntimeNotFoundAction = std::function<void(const std::string& text)>;
void SetRuntimeFolderNotFoundAction(TRuntimeNotFoundAction action);
// The optional hooks of a host; the launcher installs neither.
void SetRuntimeFolderHooks(std::function<void()> beforeSearch, std::function<void()> afterResolution);

// Puts the installed hooks and the not-found action into a system.
void FillRuntimeFolderHostParts(TRuntimeFolderSystem& system);

#ifdef _WIN32
std::string AppPathFolder(const std::string& program, int mode);
std::string RegistryFolder(const std::string& path, int mode);
TRuntimeFolderSystem SystemRuntimeFolderSystem();
// ProcessRuntimeFolders().Folder(n, SystemRuntimeFolderSystem()).
std::string RuntimeFolder(int n);
#endif
