#pragma once
// Shared by the process tests: locating and starting the helper programs.

#include <windows.h>

#include <string>

// Folder of the running test program, with a trailing backslash.
inline std::string TestProgramFolder()
{
    char path[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

// The first top-level window of the class that belongs to this process:
// suites run side by side on one desktop, and another suite's box of the same
// class must not count.
inline HWND OwnTopWindow(const char* cls)
{
    for (HWND w = FindWindowExA(nullptr, nullptr, cls, nullptr); w;
         w = FindWindowExA(nullptr, w, cls, nullptr)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId()) return w;
    }
    return nullptr;
}

inline std::string HelperPath(const std::string& name)
{
    return TestProgramFolder() + name;
}

// A fresh folder below the temporary folder (trailing backslash); its name may hold blanks.
inline std::string MakeTestFolder(const std::string& name)
{
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + name + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

// A started helper program that is killed at the end of the test if it is still running.
class TStartedProgram {
public:
    explicit TStartedProgram(const std::string& path, const std::string& arguments = "")
    {
        std::string line = "\"" + path + "\"";
        if (!arguments.empty()) line += " " + arguments;
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_)) {
            CloseHandle(pi_.hThread);
            WaitForInputIdle(pi_.hProcess, 5000);
        }
    }
    ~TStartedProgram()
    {
        if (!pi_.hProcess) return;
        if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 99);
        WaitForSingleObject(pi_.hProcess, 5000);
        CloseHandle(pi_.hProcess);
    }
    TStartedProgram(const TStartedProgram&) = delete;
    TStartedProgram& operator=(const TStartedProgram&) = delete;

    bool Started() const { return pi_.hProcess != nullptr; }
    DWORD Id() const { return pi_.dwProcessId; }
    // True when the program ended within ms; its exit code goes to code.
    bool WaitEnd(DWORD ms, DWORD& code) const
    {
        if (WaitForSingleObject(pi_.hProcess, ms) != WAIT_OBJECT_0) return false;
        GetExitCodeProcess(pi_.hProcess, &code);
        return true;
    }
    bool Running() const { return WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }
    // Waits (at most 10 s) until the program has count top-level windows.
    bool WaitWindows(size_t count) const
    {
        for (int i = 0; i < 200; ++i) {
            if (WindowCount() >= count) return true;
            Sleep(50);
        }
        return false;
    }
    size_t WindowCount() const
    {
        Scan scan = {pi_.dwProcessId, 0};
        EnumWindows(CountWindowOfProcess, reinterpret_cast<LPARAM>(&scan));
        return scan.Count;
    }

private:
    struct Scan {
        DWORD Id;
        size_t Count;
    };
    // A named CALLBACK, not a lambda: on i686 a lambda converts to a cdecl
    // function only.
    static BOOL CALLBACK CountWindowOfProcess(HWND w, LPARAM data)
    {
        auto* s = reinterpret_cast<Scan*>(data);
        DWORD id = 0;
        GetWindowThreadProcessId(w, &id);
        if (id == s->Id) ++s->Count;
        return TRUE;
    }

    PROCESS_INFORMATION pi_ = {};
};
