// A stand-in for the setup program that a package marks. Driven by the
// environment that the launcher passes on:
//   VEL_FAKE_RECORD   file that receives what it saw, one "key=value" a line:
//                     cmd, cwd, show (wShowWindow, -1 without the flag),
//                     atom (1 when the completion atom of its /TH_ID= existed),
//                     file (name|size, one line per file beside it)
//   VEL_FAKE_COPY_TO  folder that receives a copy of every file beside it
//   VEL_FAKE_EXIT     exit code (default 0)
//   VEL_FAKE_KEEP_ATOM "1": leave the completion atom in place
//   VEL_FAKE_DIALOG_MS start a copy of itself that keeps a window of the
//                     dialog class open this long after we end
//   VEL_FAKE_RUN_MS   run this long before doing the above (writes the record
//                     path + ".running" when it starts)
// "fake_setup_gui /dialog CLASS MS MARKER" is that copy: it opens the window,
// keeps it for MS ms, closes it and then writes MARKER.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

std::string Env(const char* name)
{
    char buf[2048] = {};
    const DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    return n && n < sizeof buf ? std::string(buf, n) : std::string();
}

std::string ProgramPath()
{
    char path[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, n);
}

std::string Folder(const std::string& path)
{
    return path.substr(0, path.find_last_of('\\'));
}

void WriteText(const std::string& path, const std::string& text)
{
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD done = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
    CloseHandle(f);
}

// The value of a switch ("/TH_ID=") up to the next blank.
std::string SwitchValue(const std::string& cmd, const std::string& name)
{
    const size_t at = cmd.find(name);
    if (at == std::string::npos) return "";
    const size_t from = at + name.size();
    const size_t end = cmd.find(' ', from);
    return cmd.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

int DialogCopy(const std::string& cls, DWORD ms, const std::string& marker)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = cls.c_str();
    RegisterClassA(&wc);
    HWND w = CreateWindowExA(0, cls.c_str(), "dialog", WS_OVERLAPPED, 0, 0, 100, 50, nullptr, nullptr,
                             wc.hInstance, nullptr);
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(20);
    }
    DestroyWindow(w);
    WriteText(marker, "closed");
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    const std::string cmd = GetCommandLineA();
    if (__argc == 5 && std::string(__argv[1]) == "/dialog")
        return DialogCopy(__argv[2], std::strtoul(__argv[3], nullptr, 10), __argv[4]);

    const std::string run_ms = Env("VEL_FAKE_RUN_MS");
    if (!run_ms.empty()) {
        WriteText(Env("VEL_FAKE_RECORD") + ".running", "running");
        Sleep(std::strtoul(run_ms.c_str(), nullptr, 10));
    }
    const std::string tag = SwitchValue(cmd, "/TH_ID=");
    const std::string atom_name = "AutoUpdateAtomTokenByVelmora" + tag;
    const ATOM atom = GlobalFindAtomA(atom_name.c_str());

    STARTUPINFOA si{};
    si.cb = sizeof si;
    GetStartupInfoA(&si);
    char cwd[MAX_PATH + 1] = {};
    GetCurrentDirectoryA(MAX_PATH, cwd);

    std::string record = "cmd=" + cmd + "\n";
    record += std::string("cwd=") + cwd + "\n";
    record += "show=" + std::to_string((si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : -1) + "\n";
    record += std::string("atom=") + (atom ? "1" : "0") + "\n";
    record += "self=" + ProgramPath() + "\n";

    const std::string here = Folder(ProgramPath());
    const std::string copy_to = Env("VEL_FAKE_COPY_TO");
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((here + "\\*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            record += std::string("file=") + fd.cFileName + "|" + std::to_string(fd.nFileSizeLow) + "\n";
            if (!copy_to.empty())
                CopyFileA((here + "\\" + fd.cFileName).c_str(), (copy_to + "\\" + fd.cFileName).c_str(),
                          FALSE);
        } while (FindNextFileA(find, &fd));
        FindClose(find);
    }

    const std::string dialog_ms = Env("VEL_FAKE_DIALOG_MS");
    if (!dialog_ms.empty()) {
        const std::string marker = Env("VEL_FAKE_RECORD") + ".dialog";
        // The copy lives beside the test's record, not in the folder the launcher removes.
        const std::string copy = Folder(Env("VEL_FAKE_RECORD")) + "\\fake_dialog.exe";
        CopyFileA(ProgramPath().c_str(), copy.c_str(), FALSE);
        std::string line =
            "\"" + copy + "\" /dialog .SDialog_Class_Name." + tag + " " + dialog_ms + " \"" + marker + "\"";
        STARTUPINFOA csi{};
        csi.cb = sizeof csi;
        PROCESS_INFORMATION pi{};
        if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &csi, &pi)) {
            // Wait until its window exists, so the launcher can see it.
            const std::string cls = ".SDialog_Class_Name." + tag;
            for (int i = 0; i < 200 && !FindWindowA(cls.c_str(), nullptr); ++i) Sleep(25);
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
    }

    if (Env("VEL_FAKE_KEEP_ATOM") != "1" && atom) GlobalDeleteAtom(atom);
    const std::string record_path = Env("VEL_FAKE_RECORD");
    if (!record_path.empty()) WriteText(record_path, record);
    return static_cast<int>(std::strtoul(Env("VEL_FAKE_EXIT").c_str(), nullptr, 10));
}
