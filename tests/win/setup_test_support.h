// Shared by the setup flow tests: packages built byte by byte around the real
// launcher, the record of the fake setup program, and running the launcher
// as a user would start it (watching its windows, answering its boxes).
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace setup_test {

inline std::string ProgramFolder()
{
    char path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p(path, n);
    return p.substr(0, p.find_last_of('\\') + 1);
}

inline std::string ReadBytes(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

inline void WriteBytes(const std::string& path, const std::string& data)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(data.data(), static_cast<std::streamsize>(data.size()));
}

inline bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline void RemoveTree(const std::string& folder)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = fd.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = folder + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(folder.c_str());
}

inline std::string U32(uint32_t v)
{
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
    return s;
}

inline uint32_t GetU32(const std::string& s, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
    return v;
}

inline std::string Deflate(const std::string& data)
{
    uLongf n = compressBound(static_cast<uLong>(data.size()));
    std::string out(n, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(data.data()),
              static_cast<uLong>(data.size()), 6);
    out.resize(n);
    return out;
}

// DOS date-time of 2021-06-15 10:20:30 plus `seconds` (even).
inline uint32_t Stamp(int seconds = 0)
{
    const uint32_t date = ((2021 - 1980) << 9) | (6 << 5) | 15;
    const uint32_t time = (10 << 11) | (20 << 5) | ((30 + seconds) / 2);
    return date << 16 | time;
}

// One volume of a package: the launcher image (first volume only), the text
// blocks (first volume only), file records and the 74-byte trailer.
struct TVolume {
    std::string Image;
    std::string Language = "\x02\x01"
                           "English\x01"
                           "s0=Velmora Test\x01\x02";
    std::string Agent = "|http:/|.info|.exe|token|0|";
    bool First = true;
    uint8_t Flags = 0;
    uint32_t Space = 4096;      // every entry of the space table
    bool WithChecksum = false;  // compute it (small packages), else 1234
    std::vector<std::string> Records;
    // A web launcher: the web block (block count 3 when not empty) and its flags.
    std::string Web;
    bool WebInstall = false, ConfirmDownload = false, CreateAgent = false;
    bool AutoUpdateProg = false;  // the package is an update agent

    TVolume& File(const std::string& name, const std::string& data, uint32_t stamp, bool compressed = true)
    {
        const std::string entry =
            "|" + name + "|" + std::to_string(stamp) + "|" + std::string(1, '\0') + data;
        if (compressed) {
            const std::string z = Deflate(entry);
            Records.push_back(U32(static_cast<uint32_t>(z.size())) + z);
        } else {
            Records.push_back(U32(static_cast<uint32_t>(-static_cast<int32_t>(entry.size()))) + entry);
        }
        return *this;
    }

    std::string Trailer(uint32_t sum) const
    {
        std::string t(74, '\0');
        t[0] = 1;
        t[1] = Web.empty() ? 2 : 3;
        std::memcpy(&t[4], U32(static_cast<uint32_t>(Image.size())).data(), 4);
        std::memcpy(&t[8], U32(static_cast<uint32_t>(Records.size())).data(), 4);
        std::memcpy(&t[12], U32(0x4A3B2C1D).data(), 4);
        std::memcpy(&t[16], U32(sum).data(), 4);
        for (int k = 0; k < 9; ++k) std::memcpy(&t[28 + 4 * k], U32(Space).data(), 4);
        t[65] = static_cast<char>(Flags);
        t[66] = WebInstall;
        t[67] = ConfirmDownload;
        t[68] = CreateAgent;
        t[69] = AutoUpdateProg;
        std::memcpy(&t[70], U32(74).data(), 4);
        return t;
    }

    std::string Build() const
    {
        std::string file = Image;
        if (First)
            file += U32(static_cast<uint32_t>(Language.size())) + Language +
                    U32(static_cast<uint32_t>(Agent.size())) + Agent +
                    (Web.empty() ? "" : U32(static_cast<uint32_t>(Web.size())) + Web);
        for (const std::string& r : Records) file += r;
        const size_t at = file.size();
        file += Trailer(1234);
        if (WithChecksum) file.replace(at, 74, Trailer(Checksum(file)));
        return file;
    }

    // The launcher's sum over a package without an image (no stored end).
    static uint32_t Checksum(const std::string& file)
    {
        int64_t remaining = static_cast<int64_t>(file.size()) - 74;
        size_t at = 0;
        uint32_t sum = 0;
        for (;;) {
            const size_t got = std::min<size_t>(4096, file.size() - at);
            for (size_t i = 0; i + 4 <= got; i += 4) {
                remaining -= 4;
                if (remaining > 4) sum += GetU32(file, at + i);
            }
            if (remaining > 4) sum += 1234;
            at += got;
            if (got != 4096) break;
        }
        return sum;
    }
};

inline std::map<std::string, std::string> ReadRecord(const std::string& path,
                                                     std::vector<std::string>* files = nullptr)
{
    std::map<std::string, std::string> rec;
    std::istringstream in(ReadBytes(path));
    std::string line;
    while (std::getline(in, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq);
        if (key == "file" && files) files->push_back(line.substr(eq + 1));
        rec[key] = line.substr(eq + 1);
    }
    return rec;
}

inline std::string ParentOf(const std::string& path)
{
    return path.substr(0, path.find_last_of('\\'));
}

// A message box of the launcher seen while it ran.
struct TSeenBox {
    std::string Text;
    bool Clicked = false;
};

// The text of a window and its children, joined.
inline BOOL CALLBACK CollectText(HWND w, LPARAM lp)
{
    // WM_GETTEXT itself: GetWindowText of another process's window gives only
    // its stored title, not what a rich-text control shows.
    char buf[4096] = {};
    DWORD_PTR got = 0;
    SendMessageTimeoutA(w, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_NORMAL, 5000, &got);
    *reinterpret_cast<std::string*>(lp) += std::string(buf) + "\n";
    return TRUE;
}

struct TFindButton {
    std::string Text;
    HWND Found = nullptr;
};
inline BOOL CALLBACK FindButton(HWND w, LPARAM lp)
{
    auto* f = reinterpret_cast<TFindButton*>(lp);
    char cls[64] = {}, text[128] = {};
    GetClassNameA(w, cls, sizeof cls);
    GetWindowTextA(w, text, sizeof text);
    std::string plain;  // without the accelerator marks
    for (const char* c = text; *c; ++c)
        if (*c != '&') plain += *c;
    if (lstrcmpiA(cls, "Button") == 0 && f->Text == plain) {
        f->Found = w;
        return FALSE;
    }
    return TRUE;
}

struct TFindBox {
    DWORD Pid;
    HWND Box = nullptr;
};
inline BOOL CALLBACK FindBox(HWND w, LPARAM lp)
{
    auto* f = reinterpret_cast<TFindBox*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char cls[64] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (pid == f->Pid && std::strcmp(cls, "VMsgBox") == 0 && IsWindowVisible(w)) {
        f->Box = w;
        return FALSE;
    }
    return TRUE;
}

// How a test lets the launcher run.
struct TRun {
    std::string Args;
    std::string Answer;  // button to press in a message box ("" = none expected)
    DWORD ExitCode = 0xDEAD;
    bool Ended = false;
    bool WindowSeen = false;  // the launcher's main window was visible at some point
    std::vector<TSeenBox> Boxes;
};

class SetupFlowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        work_ = std::string(temp) + "velmora e2e\\" + info->name();
        RemoveTree(work_);
        CreateDirectoryA((std::string(temp) + "velmora e2e").c_str(), nullptr);
        CreateDirectoryA(work_.c_str(), nullptr);
        copies_ = work_ + "\\copies";
        CreateDirectoryA(copies_.c_str(), nullptr);
        record_ = work_ + "\\record.txt";
        launcher_ = work_ + "\\my setup.exe";
        fake_ = ReadBytes(ProgramFolder() + "fake_setup_gui.exe");
        image_ = ReadBytes(ProgramFolder() + "launcher.exe");
        ASSERT_FALSE(fake_.empty());
        ASSERT_FALSE(image_.empty());
        SetEnvironmentVariableA("VEL_FAKE_RECORD", record_.c_str());
        SetEnvironmentVariableA("VEL_FAKE_COPY_TO", copies_.c_str());
        SetEnvironmentVariableA("VEL_FAKE_EXIT", nullptr);
        SetEnvironmentVariableA("VEL_FAKE_KEEP_ATOM", nullptr);
        SetEnvironmentVariableA("VEL_FAKE_DIALOG_MS", nullptr);
        SetEnvironmentVariableA("VEL_FAKE_RUN_MS", nullptr);
    }
    void TearDown() override
    {
        for (const char* v : {"VEL_FAKE_RECORD", "VEL_FAKE_COPY_TO", "VEL_FAKE_EXIT", "VEL_FAKE_KEEP_ATOM",
                              "VEL_FAKE_DIALOG_MS", "VEL_FAKE_RUN_MS"})
            SetEnvironmentVariableA(v, nullptr);
        if (!HasFailure()) RemoveTree(work_);
    }

    TVolume Package() const
    {
        TVolume v;
        v.Image = image_;
        return v;
    }

    // Starts the launcher file with the arguments, watches its windows,
    // answers message boxes and waits for its end.
    void Run(TRun& run, const std::string& exe = "")
    {
        const std::string program = exe.empty() ? launcher_ : exe;
        std::string line = "\"" + program + "\"" + (run.Args.empty() ? "" : " " + run.Args);
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, work_.c_str(),
                                   &si, &pi))
            << GetLastError();
        const DWORD start = GetTickCount();
        while (WaitForSingleObject(pi.hProcess, 50) == WAIT_TIMEOUT) {
            if (GetTickCount() - start > 120000) {
                TerminateProcess(pi.hProcess, 9999);
                break;
            }
            HWND main = FindWindowA(program.c_str(), nullptr);
            if (main && IsWindowVisible(main)) run.WindowSeen = true;
            TFindBox fb{pi.dwProcessId};
            EnumWindows(FindBox, reinterpret_cast<LPARAM>(&fb));
            if (fb.Box) {
                Sleep(300);  // let it finish drawing
                TSeenBox seen;
                CollectText(fb.Box, reinterpret_cast<LPARAM>(&seen.Text));
                EnumChildWindows(fb.Box, CollectText, reinterpret_cast<LPARAM>(&seen.Text));
                TFindButton button{run.Answer};
                EnumChildWindows(fb.Box, FindButton, reinterpret_cast<LPARAM>(&button));
                if (button.Found) {
                    PostMessageA(button.Found, BM_CLICK, 0, 0);
                    seen.Clicked = true;
                } else {
                    PostMessageA(fb.Box, WM_CLOSE, 0, 0);
                }
                run.Boxes.push_back(seen);
                Sleep(500);
            }
        }
        run.Ended = WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0;
        GetExitCodeProcess(pi.hProcess, &run.ExitCode);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }

    std::string work_, copies_, record_, launcher_, fake_, image_;
};

// Checks the command line that the fake recorded: program, the arguments in
// order, then " /TH_ID=_<digits>" and the quoted launcher path.
inline void ExpectCommandLine(const std::map<std::string, std::string>& rec, const std::string& args,
                              const std::string& launcher, bool origin_added = true)
{
    const std::string cmd = rec.at("cmd");
    const std::string self = rec.at("self");
    const std::string program = self.find(' ') != std::string::npos ? "\"" + self + "\"" : self;
    ASSERT_EQ(cmd.substr(0, program.size()), program) << cmd;
    std::string rest = cmd.substr(program.size());
    const std::string expect_args = args.empty() ? "" : " " + args;
    ASSERT_EQ(rest.substr(0, expect_args.size()), expect_args) << cmd;
    rest = rest.substr(expect_args.size());
    ASSERT_EQ(rest.substr(0, 9), " /TH_ID=_") << cmd;
    size_t i = 9;
    while (i < rest.size() && isdigit(static_cast<unsigned char>(rest[i]))) ++i;
    EXPECT_GT(i, 9u) << cmd;
    rest = rest.substr(i);
    EXPECT_EQ(rest, origin_added ? " /OriginExe=\"" + launcher + "\"" : "") << cmd;
}

}  // namespace setup_test
