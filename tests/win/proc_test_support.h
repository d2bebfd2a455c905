#pragma once
// Shared by the process tests: locating and starting the helper programs.

#include <windows.h>

#include <string>

// Folder of the running test program, with a trailing backslash.
inline std::string TestProgramFolder() {
  char path[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

inline std::string HelperPath(const std::string& name) { return TestProgramFolder() + name; }

// A fresh folder below the temporary folder (trailing backslash); its name may hold blanks.
inline std::string MakeTestFolder(const std::string& name) {
  char temp[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, temp);
  std::string folder = std::string(temp) + name + "\\";
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

// A started helper program that is killed at the end of the test if it is still running.
class TStartedProgram {
 public:
  explicit TStartedProgram(const std::string& path, const std::string& arguments = "") {
    std::string line = "\"" + path + "\"";
    if (!arguments.empty()) line += " " + arguments;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                       &pi_)) {
      CloseHandle(pi_.hThread);
      WaitForInputIdle(pi_.hProcess, 5000);
    }
  }
  ~TStartedProgram() {
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
  bool WaitEnd(DWORD ms, DWORD& code) const {
    if (WaitForSingleObject(pi_.hProcess, ms) != WAIT_OBJECT_0) return false;
    GetExitCodeProcess(pi_.hProcess, &code);
    return true;
  }
  bool Running() const { return WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }

 private:
  PROCESS_INFORMATION pi_ = {};
};
