#include "ui/window_services.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "base/safe_library.h"
#include "base/pump.h"

namespace {

std::string ExeFolder()
{
    char buf[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, buf, MAX_PATH);
    std::string path = buf;
    return path.substr(0, path.find_last_of('\\') + 1);
}

// A message-only window that counts the messages it is sent.
class CountingWindow {
public:
    CountingWindow()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "VelPumpTest";
        RegisterClassA(&wc);
        hwnd = CreateWindowExA(0, "VelPumpTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                               nullptr);
    }
    ~CountingWindow() { DestroyWindow(hwnd); }
    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l)
    {
        if (m == WM_APP + 1) ++count;
        return DefWindowProcA(h, m, w, l);
    }
    HWND hwnd = nullptr;
    static inline int count = 0;
};

TEST(Pump, WaitPumpingDispatchesPostedMessages)
{
    CountingWindow window;
    ASSERT_NE(window.hwnd, nullptr);
    CountingWindow::count = 0;
    for (int i = 0; i < 3; ++i) PostMessageA(window.hwnd, WM_APP + 1, 0, 0);
    WaitPumping(0);
    EXPECT_EQ(CountingWindow::count, 3);

    const int64_t start = MilliSecondsNow();
    WaitPumping(60);
    EXPECT_GE(MilliSecondsNow() - start, 60);
}

TEST(Pump, QuitRequestSurvivesTheNestedPump)
{
    PostQuitMessage(7);
    PumpMessages(0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

TEST(WindowServices, AutoPlayCancelMessage)
{
    EXPECT_EQ(AutoPlayCancelMessage(), 0u);
    SetAutoPlayCancel(true);
    EXPECT_EQ(AutoPlayCancelMessage(), RegisterWindowMessageA("QueryCancelAutoPlay"));
    EXPECT_NE(AutoPlayCancelMessage(), 0u);
    SetAutoPlayCancel(false);
    EXPECT_EQ(AutoPlayCancelMessage(), 0u);
}

TEST(WindowServices, PointsToPixels)
{
    HDC dc = GetDC(nullptr);
    const int ppi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    EXPECT_EQ(PointsToPixels(72), ppi);
    EXPECT_EQ(PointsToPixels(8), MulDiv(8, ppi, 72));
}

TEST(WindowServices, GetProcFromLibraryUsesSystemFolderOnly)
{
    HMODULE lib = nullptr;
    FARPROC proc = GetProcFromLibrary("kernel32.dll", "GetTickCount", lib);
    EXPECT_NE(lib, nullptr);
    EXPECT_EQ(proc, GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount"));
    FreeLibrary(lib);

    lib = nullptr;
    EXPECT_EQ(GetProcFromLibrary("kernel32.dll", "NoSuchEntryPoint", lib), nullptr);
    EXPECT_NE(lib, nullptr);  // handed back for the caller to free
    FreeLibrary(lib);

    EXPECT_EQ(GetProcFromLibrary("vel_no_such_library.dll", "x", lib), nullptr);
    EXPECT_EQ(lib, nullptr);

    // A library beside the program is not picked up by name, nor by a path.
    const std::string planted = ExeFolder() + "shellopen_probe.exe";
    ASSERT_NE(GetFileAttributesA(planted.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(LoadSystemLibrary("shellopen_probe.exe"), nullptr);
    EXPECT_EQ(LoadSystemLibrary(planted), nullptr);
    EXPECT_EQ(LoadSystemLibrary("..\\system32\\kernel32.dll"), nullptr);
}

TEST(WindowServices, ShellOpenPassesParameters)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string out = std::string(temp) + "vel_shellopen_probe.txt";
    DeleteFileA(out.c_str());
    const std::string probe = ExeFolder() + "shellopen_probe.exe";
    ASSERT_TRUE(ShellOpen(probe, "\"" + out + "\" alpha \"b c\"", SW_HIDE));
    std::string content;
    for (int i = 0; i < 200 && content != "alpha\nb c\n"; ++i) {
        Sleep(50);
        std::ifstream in(out, std::ios::binary);
        std::stringstream read;
        read << in.rdbuf();
        content = read.str();
    }
    EXPECT_EQ(content, "alpha\nb c\n");
    DeleteFileA(out.c_str());

    EXPECT_FALSE(ShellOpen(ExeFolder() + "vel_missing_program.exe", "", SW_HIDE));
}

}  // namespace
