#include <windows.h>
#include <tlhelp32.h>

#include "base/handle.h"
#include "base/safe_library.h"
#include "lang/sysinfo.h"
#include "process/exec_pipe.h"
#include "process/process_viewer.h"
#include "base/pump.h"

namespace {

template <typename Fn> Fn BindEntry(HMODULE library, const char* name)
{
    return library ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name))) : nullptr;
}

constexpr DWORD kNameLength = 256;
constexpr DWORD kEnumStepBytes = 1024;
constexpr DWORD kTaskListSettleMs = 1;
constexpr WPARAM kShutDownWParam = 15;
constexpr LPARAM kShutDownLParam = 255;
constexpr DWORD kDefaultEndWaitMs = 1000;
constexpr int kEndPollMs = 100;

// Process-status functions, bound at run time (psapi.dll from the system folder).
struct TPsapi {
    using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
    using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
    using ModuleNameFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);
    EnumProcessesFn EnumProcs = nullptr;
    EnumProcessModulesFn EnumModules = nullptr;
    ModuleNameFn ModuleFileNameOf = nullptr;
    ModuleNameFn ModuleBaseNameOf = nullptr;
    bool Ok = false;

    TPsapi()
    {
        HMODULE lib = static_cast<HMODULE>(LoadSystemLibrary("psapi.dll"));
        if (!lib) return;
        EnumProcs = BindEntry<EnumProcessesFn>(lib, "EnumProcesses");
        EnumModules = BindEntry<EnumProcessModulesFn>(lib, "EnumProcessModules");
        ModuleFileNameOf = BindEntry<ModuleNameFn>(lib, "GetModuleFileNameExA");
        ModuleBaseNameOf = BindEntry<ModuleNameFn>(lib, "GetModuleBaseNameA");
        Ok = EnumProcs && EnumModules && ModuleFileNameOf && ModuleBaseNameOf;
    }
};

const TPsapi& Psapi()
{
    static const TPsapi psapi;  // the library stays loaded for the life of the process
    return psapi;
}

// Tool-help functions of kernel32, missing on NT 4.
struct TToolHelp {
    using SnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
    using WalkFn = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);
    SnapshotFn Snapshot = nullptr;
    WalkFn First = nullptr;
    WalkFn Next = nullptr;

    TToolHelp()
    {
        HMODULE k = GetModuleHandleA("kernel32.dll");
        Snapshot = BindEntry<SnapshotFn>(k, "CreateToolhelp32Snapshot");
        First = BindEntry<WalkFn>(k, "Process32First");
        Next = BindEntry<WalkFn>(k, "Process32Next");
    }
    bool Ok() const { return Snapshot && First && Next; }
};

const TToolHelp& ToolHelp()
{
    static const TToolHelp toolHelp;
    return toolHelp;
}

std::vector<DWORD> AllProcessIds()
{
    std::vector<DWORD> ids;
    const TPsapi& psapi = Psapi();
    if (!psapi.Ok) return ids;
    for (DWORD bytes = kEnumStepBytes;; bytes += kEnumStepBytes) {
        ids.assign(bytes / sizeof(DWORD), 0);
        DWORD used = 0;
        if (!psapi.EnumProcs(ids.data(), bytes, &used)) return {};
        if (used < bytes) {  // a full buffer may have cut the list short
            ids.resize(used / sizeof(DWORD));
            return ids;
        }
    }
}

// Full path and base name of the first module of a process; false when unreadable.
bool ProcessModuleNames(DWORD id, std::string& fullName, std::string& baseName)
{
    const TPsapi& psapi = Psapi();
    THandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
    if (!process) return false;
    HMODULE module = nullptr;
    DWORD needed = 0;
    if (!psapi.EnumModules(process.get(), &module, sizeof module, &needed)) return false;
    char full[kNameLength + 1] = {};
    char base[kNameLength + 1] = {};
    const DWORD fullLength = psapi.ModuleFileNameOf(process.get(), module, full, kNameLength);
    const DWORD baseLength = psapi.ModuleBaseNameOf(process.get(), module, base, kNameLength);
    if (fullLength == 0 && baseLength == 0) return false;
    fullName.assign(full, fullLength);
    baseName.assign(base, baseLength);
    return true;
}

std::vector<TProcessEntry> SnapshotEntries()
{
    std::vector<TProcessEntry> entries;
    const TToolHelp& th = ToolHelp();
    if (!th.Ok()) return entries;
    THandle snap(th.Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snap) return entries;
    PROCESSENTRY32 pe = {};
    pe.dwSize = sizeof pe;
    for (BOOL more = th.First(snap.get(), &pe); more; more = th.Next(snap.get(), &pe)) {
        TProcessEntry e;
        e.Id = pe.th32ProcessID;
        e.FullName = pe.szExeFile;
        e.BaseName = ProgramFileName(e.FullName);
        entries.push_back(e);
    }
    return entries;
}

// Full image path of a process where the system can tell it.
std::string ProcessImagePath(DWORD id)
{
    using QueryFn = BOOL(WINAPI*)(HANDLE, DWORD, LPSTR, PDWORD);
    static const QueryFn query =
        BindEntry<QueryFn>(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA");
    if (query) {
        constexpr DWORD kQueryLimited = 0x1000;  // PROCESS_QUERY_LIMITED_INFORMATION, Vista and later
        THandle process(OpenProcess(kQueryLimited, FALSE, id));
        char path[MAX_PATH + 1] = {};
        DWORD size = MAX_PATH;
        if (process && query(process.get(), 0, path, &size)) return std::string(path, size);
    }
    std::string full, base;
    if (Psapi().Ok && ProcessModuleNames(id, full, base)) return full;
    return "";
}

struct TWindowTableScan {
    std::vector<std::pair<HWND, DWORD>> Windows;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM data)
{
    auto* scan = reinterpret_cast<TWindowTableScan*>(data);
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    scan->Windows.emplace_back(window, id);
    return TRUE;
}

BOOL CALLBACK RecordProcessWindow(HWND window, LPARAM data)
{
    TAnalizer* analizer = reinterpret_cast<TAnalizer*>(data);
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    if (id != analizer->processId) return TRUE;
    return analizer->Add(reinterpret_cast<TAnalizer::TWindow>(window)) ? TRUE : FALSE;
}

// Id of the running program named by path as the running test sees it, 0 when none.
bool FindRunningId(const std::string& path, bool fullPaths, unsigned long& id)
{
    if (!CurrentOsClass().Nt) {
        id = FindProcessIdBySnapshot(path, false);
        return id != 0;
    }
    const std::string name = fullPaths ? path : ProgramFileName(path);
    return FindInProcessList(ProcessList(fullPaths, true), name, ShortPathOf, id);
}

}  // namespace

TOsClass CurrentOsClass()
{
    TOsClass os;
    os.Nt = IsWindowsNT();
    os.Xp = IsWindowsXP();
    os.Win8OrLater = IsWindows8OrLater();
    return os;
}

std::string ShortPathOf(const std::string& path)
{
    char buffer[MAX_PATH + 1] = {};
    const DWORD n = GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
    if (n == 0 || n > MAX_PATH) return kNoShortPathMark;
    return std::string(buffer, n);
}

unsigned long FindProcessIdByTaskList(const std::string& path)
{
    // The system's own copy: a tasklist.exe beside the program must never be run instead.
    char folder[MAX_PATH + 1] = {};
    const UINT n = GetSystemDirectoryA(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 0;
    std::string program = std::string(folder, n);
    if (program.back() != '\\') program += '\\';
    program += "tasklist.exe";
    std::string error, output;
    unsigned long code = 0;
    RunWithPipes(program, "/FO csv", SW_HIDE, nullptr, nullptr, kTaskListSettleMs, error, output, code);
    return FindIdInTaskListCsv(output, ProgramFileName(CleanProgramPath(path)));
}

unsigned long FindProcessIdByProcessStatus(const std::string& path, bool fullPathMatch)
{
    const std::string clean = CleanProgramPath(path);
    const std::vector<DWORD> ids = AllProcessIds();
    for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
        TProcessEntry e;
        e.Id = *it;
        if (!ProcessModuleNames(*it, e.FullName, e.BaseName)) continue;
        if (ProcessEntryMatches(clean, e, fullPathMatch, ShortPathOf)) return e.Id;
    }
    return 0;
}

unsigned long FindProcessIdBySnapshot(const std::string& path, bool fullPathMatch)
{
    return FindIdInEntries(SnapshotEntries(), CleanProgramPath(path), fullPathMatch, ShortPathOf);
}

std::string ProcessListByProcessStatus(bool fullPaths, bool withIds)
{
    std::vector<std::pair<std::string, unsigned long>> processes;
    for (DWORD id : AllProcessIds()) {
        std::string full, base;
        if (id == 0) {
            processes.emplace_back("System Idle Process", 0);
        } else if (ProcessModuleNames(id, full, base)) {
            processes.emplace_back(fullPaths ? full : ProgramFileName(full), id);
        }
    }
    return BuildProcessList(processes, withIds);
}

std::string ProcessListByWindowTable(bool fullPaths, bool withIds)
{
    TWindowTableScan scan;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&scan));
    const std::vector<TProcessEntry> snapshot = SnapshotEntries();
    std::vector<std::pair<std::string, unsigned long>> processes;
    for (const auto& [window, id] : scan.Windows) {
        std::string name;
        for (const TProcessEntry& e : snapshot)
            if (e.Id == id) {
                name = e.FullName;
                break;
            }
        // The snapshot gives only the file name on the NT family; ask for the path when needed.
        if (fullPaths && !name.empty() && name.find('\\') == std::string::npos) {
            const std::string image = ProcessImagePath(id);
            if (!image.empty()) name = image;
        }
        if (!fullPaths) name = ProgramFileName(name);
        processes.emplace_back(name, id);
    }
    return BuildProcessList(processes, withIds);
}

unsigned long FindProcessId(const std::string& path, bool fullPathMatch)
{
    switch (ChooseProcessIdMethod(CurrentOsClass())) {
    case TProcessIdMethod::TaskList:
        return FindProcessIdByTaskList(path);
    case TProcessIdMethod::ProcessStatus:
        return FindProcessIdByProcessStatus(path, fullPathMatch);
    case TProcessIdMethod::Snapshot:
        return FindProcessIdBySnapshot(path, fullPathMatch);
    }
    return 0;
}

std::string ProcessList(bool fullPaths, bool withIds)
{
    if (ChooseProcessListMethod(CurrentOsClass()) == TProcessListMethod::ProcessStatus)
        return ProcessListByProcessStatus(fullPaths, withIds);
    return ProcessListByWindowTable(fullPaths, withIds);
}

bool IsProgramRunning(const std::string& path)
{
    unsigned long id = 0;
    return FindRunningId(CleanProgramPath(path), false, id);
}

bool KillProgram(const std::string& path, bool fullPathMatch)
{
    unsigned long id = 0;
    if (!FindRunningId(CleanProgramPath(path), fullPathMatch, id) || id == 0) return false;
    THandle process(OpenProcess(PROCESS_TERMINATE, FALSE, id));
    return process && TerminateProcess(process.get(), 0);
}

void* FindMainWindow(const std::string& path, bool fullPathMatch)
{
    const unsigned long id = FindProcessId(path, fullPathMatch);
    if (id == 0) return nullptr;
    TAnalizer analizer;
    analizer.processId = id;
    EnumWindows(RecordProcessWindow, reinterpret_cast<LPARAM>(&analizer));
    analizer.Score(
        [](TAnalizer::TWindow w) {
            return reinterpret_cast<TAnalizer::TWindow>(GetWindow(reinterpret_cast<HWND>(w), GW_OWNER));
        },
        [](TAnalizer::TWindow w) { return GetWindowTextLengthA(reinterpret_cast<HWND>(w)) > 0; },
        [](TAnalizer::TWindow w) { return IsWindowVisible(reinterpret_cast<HWND>(w)) != FALSE; });
    return reinterpret_cast<void*>(analizer.Best());
}

bool PostToProgram(const std::string& path, bool fullPathMatch, unsigned int message, std::intptr_t lParam,
                   std::uintptr_t wParam)
{
    HWND window = static_cast<HWND>(FindMainWindow(path, fullPathMatch));
    if (!window) return false;
    PostMessageA(window, message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
    return true;
}

bool CloseProgram(const std::string& path, bool fullPathMatch, unsigned long waitMs)
{
    const bool posted = PostToProgram(path, fullPathMatch, WM_CLOSE, kShutDownLParam, kShutDownWParam);
    if (waitMs > 0) WaitProgramEnd(path, waitMs);
    return posted;
}

bool QuitProgram(const std::string& path, bool fullPathMatch)
{
    return PostToProgram(path, fullPathMatch, WM_QUIT, kShutDownLParam, kShutDownWParam);
}

void WaitProgramEnd(const std::string& path, unsigned long waitMs)
{
    const std::string clean = CleanProgramPath(path);
    const DWORD limit = waitMs == 0 ? kDefaultEndWaitMs : waitMs;
    const DWORD start = GetTickCount();
    do {
        if (!IsProgramRunning(clean)) return;
        WaitPumping(kEndPollMs);
    } while (GetTickCount() - start <= limit);
}

void WaitWindowGone(const std::string& className, const std::string& windowName)
{
    const char* cls = className.empty() ? nullptr : className.c_str();
    const char* title = windowName.empty() ? nullptr : windowName.c_str();
    if (!cls && !title) return;  // would wait for every window there is
    while (FindWindowA(cls, title)) PumpMessages(kEndPollMs);
}
