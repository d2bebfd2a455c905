#include <windows.h>

#include "base/system_error.h"
#include "process/exec_pipe.h"
#include "lang/sysinfo.h"
#include "base/pump.h"

namespace {

HANDLE g_child_stdin_write = nullptr;

constexpr DWORD kStartupFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;
constexpr size_t kMaxCommandLine = 32766;
constexpr size_t kCommandLineInError = 256;

struct TPipe {
    HANDLE Read = nullptr;
    HANDLE Write = nullptr;
    ~TPipe()
    {
        if (Read) CloseHandle(Read);
        if (Write) CloseHandle(Write);
    }
};

bool CreateInheritablePipe(TPipe& pipe, HANDLE& parentEnd)
{
    SECURITY_ATTRIBUTES sa = {};
    sa.nLength = sizeof sa;
    sa.bInheritHandle = TRUE;
    if (!CreatePipe(&pipe.Read, &pipe.Write, &sa, 0)) return false;
    // The parent's end stays private: a child holding the write end of its own standard
    // input would never see that input end.
    SetHandleInformation(parentEnd, HANDLE_FLAG_INHERIT, 0);
    return true;
}

}  // namespace

void* ChildStdInWriteHandle()
{
    return g_child_stdin_write;
}

bool ReadPipeChunk(void* pipe, std::string& text, bool& abort, TPipeOutputCallback callback, void* userValue)
{
    DWORD available = 0;
    if (!PeekNamedPipe(static_cast<HANDLE>(pipe), nullptr, 0, nullptr, &available, nullptr) || available == 0)
        return false;
    std::string chunk(available < kPipeChunkSize ? available : kPipeChunkSize, '\0');
    DWORD got = 0;
    if (!ReadFile(static_cast<HANDLE>(pipe), chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr))
        return false;
    chunk.resize(got);
    if (got > 0) OemToCharBuffA(chunk.data(), chunk.data(), got);
    text += chunk;
    if (callback) callback(userValue, chunk, abort);
    return available > got;
}

bool RunWithPipes(const std::string& program, const std::string& arguments, int show,
                  TPipeOutputCallback callback, void* userValue, unsigned long settleMs,
                  std::string& errorText, std::string& outputText, unsigned long& exitCode)
{
    errorText.clear();
    outputText.clear();
    exitCode = kExecStartFailedCode;
    std::string commandLine = BuildCommandLine(program, arguments);

    TPipe in, out, err;
    if (!CreateInheritablePipe(in, in.Write) || !CreateInheritablePipe(out, out.Read) ||
        !CreateInheritablePipe(err, err.Read))
        return false;
    g_child_stdin_write = in.Write;

    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = kStartupFlags;
    si.wShowWindow = static_cast<WORD>(show);
    si.hStdInput = in.Read;
    si.hStdOutput = out.Write;
    si.hStdError = err.Write;
    PROCESS_INFORMATION pi = {};

    bool result = false;
    bool abort = false;
    std::string mutableLine = commandLine;  // CreateProcessA may write into its command line
    if (!CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, IDLE_PRIORITY_CLASS, nullptr,
                        nullptr, &si, &pi)) {
        errorText = commandLine.substr(0, kCommandLineInError) + " --- " + LastErrorText();
        if (commandLine.size() > kMaxCommandLine) errorText = "Command line is too long";
        if (callback) callback(userValue, errorText + "\r\n", abort);
    } else {
        DWORD interval = callback ? 1 : 100;
        DWORD code = STILL_ACTIVE;
        bool running = true;
        bool moreOut = false, moreErr = false;
        do {
            if (!outputText.empty() && interval > 10) interval -= 10;
            WaitForSingleObject(pi.hProcess, interval);
            moreOut = ReadPipeChunk(out.Read, outputText, abort, callback, userValue);
            moreErr = ReadPipeChunk(err.Read, errorText, abort, callback, userValue);
            if (abort) TerminateProcess(pi.hProcess, 255);
            // Ask the handle rather than the code: a child may exit with 259 itself.
            running = WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT;
        } while (running || moreOut || moreErr);
        // Only now: read while it ran, the code could be the "still active" one of
        // a child that ended a moment later.
        GetExitCodeProcess(pi.hProcess, &code);
        WaitPumping(static_cast<int>(settleMs));
        // The child may have written after the last poll; take everything that is left.
        while (ReadPipeChunk(out.Read, outputText, abort, callback, userValue)) {}
        while (ReadPipeChunk(err.Read, errorText, abort, callback, userValue)) {}
        exitCode = code;
        result = code == 0;
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    g_child_stdin_write = nullptr;
    return result;
}
