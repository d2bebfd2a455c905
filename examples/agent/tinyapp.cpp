// The program of the agent demo: a window titled with the version written in
// tinyapp.version beside it. It notes every start and end in tinyapp.log
// beside it and ends when its window is closed (or after five minutes).
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string g_folder;
std::string g_version;

void Note(const std::string& line)
{
    if (FILE* f = std::fopen((g_folder + "tinyapp.log").c_str(), "ab")) {
        std::fputs((line + "\r\n").c_str(), f);
        std::fclose(f);
    }
}

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER || message == WM_DESTROY) {
        Note("tiny app version " + g_version + " ends");
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    g_folder = self;
    g_folder.erase(g_folder.find_last_of('\\') + 1);
    if (FILE* f = std::fopen((g_folder + "tinyapp.version").c_str(), "rb")) {
        char buf[32] = {};
        if (std::fgets(buf, sizeof buf, f)) g_version = buf;
        std::fclose(f);
    }
    while (!g_version.empty() && (g_version.back() == '\r' || g_version.back() == '\n')) g_version.pop_back();
    Note("tiny app version " + g_version + " starts");

    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.lpszClassName = "VelTinyApp";
    RegisterClassA(&wc);
    const std::string title = "Tiny App version " + g_version;
    HWND window = CreateWindowExA(0, wc.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW, 100, 100, 320, 120,
                                  nullptr, nullptr, instance, nullptr);
    ShowWindow(window, show);
    SetTimer(window, 1, 5 * 60 * 1000, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}
