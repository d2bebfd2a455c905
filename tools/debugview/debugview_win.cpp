// debugview: the window that the launcher's debug stream sends its text to
// (class ".VDebug.", registered message ".V_DebugMsg.", the text in a
// global atom). Every line goes to the console and the log file with its
// time of arrival.
//
// The launcher waits on each message it sends, so the window answers first
// (ReplyMessage) and writes afterwards: a slow console never stalls it.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/debug_stream.h"
#include "debugview/viewer_lines.h"

namespace {

struct TViewer {
    TViewerOptions Options;
    HANDLE Log = INVALID_HANDLE_VALUE;
    UINT Message = 0;
    HWND Window = nullptr;
    TChunkJoiner Joiner;
    TPidTally Tally;
    unsigned long ShownPid = 0;
};
TViewer g_viewer;

void Emit(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    DWORD written = 0;
    if (g_viewer.Log != INVALID_HANDLE_VALUE)
        WriteFile(g_viewer.Log, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void ShowLeadingPid()
{
    const std::string text = TallyText(g_viewer.Tally);
    SetConsoleTitleA(("debugview - " + text).c_str());
    if (g_viewer.Tally.Leading() != g_viewer.ShownPid) {
        g_viewer.ShownPid = g_viewer.Tally.Leading();
        Emit("-- most lines come from process " + std::to_string(g_viewer.ShownPid) + "\r\n");
    }
}

void TakeChunk(const std::string& chunk)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    for (const std::string& line : g_viewer.Joiner.Add(chunk)) {
        g_viewer.Tally.Count(line);
        if (PassesFilter(line, g_viewer.Options.Filter))
            Emit(StampedLine(now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, line) + "\r\n");
        ShowLeadingPid();
    }
}

LRESULT CALLBACK ViewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == g_viewer.Message && message != 0) {
        char text[256] = {};
        const UINT length = GlobalGetAtomNameA(static_cast<ATOM>(lParam), text, sizeof text);
        // The sender deletes the atom once answered: read it, then answer.
        ReplyMessage(0);
        if (wParam == 1 && length > 0) TakeChunk(std::string(text, length));
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

BOOL WINAPI CtrlHandler(DWORD)
{
    PostMessageA(g_viewer.Window, WM_CLOSE, 0, 0);
    return TRUE;
}

}  // namespace

int main(int argc, char** argv)
{
    // Lines carry their own "\r\n": console and log get the same bytes.
    _setmode(_fileno(stdout), _O_BINARY);
    std::string error;
    if (!ParseViewerArgs(std::vector<std::string>(argv + 1, argv + argc), g_viewer.Options, error)) {
        std::fprintf(stderr, "debugview: %s\n%s", error.c_str(), kViewerUsage);
        return 2;
    }
    if (g_viewer.Options.Help) {
        std::fputs(kViewerUsage, stdout);
        return 0;
    }
    // The launcher sends to the first viewer window it finds: a second
    // viewer would see nothing.
    if (FindWindowA(kDebugViewerClass, nullptr)) {
        std::fputs("debugview: another debug viewer is running\n", stderr);
        return 1;
    }
    g_viewer.Log =
        CreateFileA(g_viewer.Options.LogPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (g_viewer.Log == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "debugview: cannot open the log file %s (error %lu)\n",
                     g_viewer.Options.LogPath.c_str(), GetLastError());
        return 1;
    }
    g_viewer.Message = RegisterWindowMessageA(kDebugViewerMessage);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ViewerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kDebugViewerClass;
    // A hidden top-level window: the launcher finds it with FindWindow, which
    // does not see message-only windows.
    if (!g_viewer.Message || !RegisterClassA(&wc) ||
        !(g_viewer.Window = CreateWindowExA(0, kDebugViewerClass, "debugview", WS_OVERLAPPED, 0, 0, 0, 0,
                                            nullptr, nullptr, wc.hInstance, nullptr))) {
        std::fprintf(stderr, "debugview: cannot open the viewer window (error %lu)\n", GetLastError());
        return 1;
    }
    SetConsoleCtrlHandler(CtrlHandler, TRUE);
    Emit("-- debugview: waiting for debug lines" +
         (g_viewer.Options.Filter.empty() ? std::string()
                                          : " containing \"" + g_viewer.Options.Filter + "\"") +
         "\r\n");
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    if (!g_viewer.Joiner.Pending().empty()) TakeChunk("\n");
    Emit("-- " + TallyText(g_viewer.Tally) + "\r\n");
    CloseHandle(g_viewer.Log);
    return 0;
}
