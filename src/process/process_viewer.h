#pragma once
// Finding a running program by the path of its executable, choosing its main window,
// closing, quitting or killing it and waiting for its end.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// ---- Portable logic -------------------------------------------------------------------

// Stand-ins for a path without a short form and for a switched-off name comparison.
// '*' cannot occur in a file name, so neither ever equals a real path.
inline constexpr const char* kNoShortPathMark = "*XX*";
inline constexpr const char* kNoNameMatchMark = "*X*";

// Equal after trimming blanks, ignoring letter case. An empty name, or a side holding a
// placeholder (any '*'), equals nothing, not even the same placeholder.
bool SameProgramName(const std::string& a, const std::string& b);

// The path without surrounding blanks and double quotes.
std::string CleanProgramPath(const std::string& path);

// The part after the last backslash (or slash, or drive colon).
std::string ProgramFileName(const std::string& path);

// Short (8.3) form of a path, or kNoShortPathMark when it has none.
using TShortPathFunc = std::function<std::string(const std::string&)>;

// One running process as the process-status interface or the snapshot sees it.
struct TProcessEntry {
    unsigned long Id = 0;
    std::string FullName;  // full path of the first module, or the snapshot's file
    std::string BaseName;  // its file-name part
};

// Whether path names the process: equal to its full name, to its base name (unless
// fullPathMatch), or by short forms.
bool ProcessEntryMatches(const std::string& path, const TProcessEntry& entry, bool fullPathMatch,
                         const TShortPathFunc& shortPath);

// Id of the last entry that matches path, 0 when none matches.
unsigned long FindIdInEntries(const std::vector<TProcessEntry>& entries, const std::string& path,
                              bool fullPathMatch, const TShortPathFunc& shortPath);

// Id of the first line of "tasklist.exe /FO csv" output whose image name is fileName
// (ignoring case), 0 when none.
unsigned long FindIdInTaskListCsv(const std::string& output, const std::string& fileName);

// "|"-list of names, or of name=id items with withIds; trailing empty items are dropped.
std::string BuildProcessList(const std::vector<std::pair<std::string, unsigned long>>& processes,
                             bool withIds);

// Looks through a name=id process list from its end for name (or its short form).
// True when found; id receives the number after "=" (0 when there is none).
bool FindInProcessList(const std::string& list, const std::string& name, const TShortPathFunc& shortPath,
                       unsigned long& id);

// Windows version class, as far as process lookup depends on it.
struct TOsClass {
    bool Nt = false;
    bool Xp = false;           // NT and version text exactly "5.1"
    bool Win8OrLater = false;  // NT and version number at least 6.2
};
TOsClass OsClassFromVersion(unsigned long platformId, unsigned long major, unsigned long minor);

enum class TProcessIdMethod {
    TaskList,
    ProcessStatus,
    Snapshot
};
enum class TProcessListMethod {
    ProcessStatus,
    WindowTable
};
TProcessIdMethod ChooseProcessIdMethod(const TOsClass& os);
TProcessListMethod ChooseProcessListMethod(const TOsClass& os);

// Window score record: picks the main window among the top-level windows of one process.
class TAnalizer {
public:
    static constexpr std::size_t kMaxWindows = 2001;
    using TWindow = std::uintptr_t;

    unsigned long processId = 0;
    std::size_t count = 0;
    TWindow windows[kMaxWindows] = {};
    std::uint16_t scores[kMaxWindows] = {};

    // Records a window; false (and nothing recorded) when the record is full.
    bool Add(TWindow window);
    // ownerOf gives a window's direct owner (0 for none).
    void Score(const std::function<TWindow(TWindow)>& ownerOf, const std::function<bool(TWindow)>& hasTitle,
               const std::function<bool(TWindow)>& isVisible);
    // First window with the highest score, 0 when no score is above 0.
    TWindow Best() const;
};

// ---- Windows --------------------------------------------------------------------------

#ifdef _WIN32
// Windows version class of the running system.
TOsClass CurrentOsClass();

// The lookup methods, each usable on its own.
unsigned long FindProcessIdByTaskList(const std::string& path);
unsigned long FindProcessIdByProcessStatus(const std::string& path, bool fullPathMatch);
unsigned long FindProcessIdBySnapshot(const std::string& path, bool fullPathMatch);
std::string ProcessListByProcessStatus(bool fullPaths, bool withIds);
std::string ProcessListByWindowTable(bool fullPaths, bool withIds);

// 8.3 form of a path from the system, kNoShortPathMark when there is none.
std::string ShortPathOf(const std::string& path);

unsigned long FindProcessId(const std::string& path, bool fullPathMatch);
std::string ProcessList(bool fullPaths, bool withIds);
bool IsProgramRunning(const std::string& path);
bool KillProgram(const std::string& path, bool fullPathMatch);
void* FindMainWindow(const std::string& path, bool fullPathMatch);  // an HWND
bool PostToProgram(const std::string& path, bool fullPathMatch, unsigned int message, std::intptr_t lParam,
                   std::uintptr_t wParam);
bool CloseProgram(const std::string& path, bool fullPathMatch, unsigned long waitMs);
bool QuitProgram(const std::string& path, bool fullPathMatch);
// Returns when the program is gone or waitMs (0 = 1000) have passed; pumps messages.
void WaitProgramEnd(const std::string& path, unsigned long waitMs = 0);
// Returns when no top-level window of that class and title is left (empty = any); no limit.
void WaitWindowGone(const std::string& className, const std::string& windowName);
#endif
