// For the screenshot scripts: once a top-level window of the given class is
// up, its size and place ("width height left top") go into a file, which the
// script waits for before it takes the picture.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

inline std::string g_report_class;
inline std::string g_report_file;

inline void CALLBACK ReportWindowRect(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND window = FindWindowA(g_report_class.c_str(), nullptr);
    if (!window) return;
    KillTimer(nullptr, id);
    RECT r;
    GetWindowRect(window, &r);
    if (std::FILE* f = std::fopen(g_report_file.c_str(), "w")) {
        std::fprintf(f, "%ld %ld %ld %ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
        std::fclose(f);
    }
}

// Looks for the window every 200 ms from the thread's message loop on.
inline void ReportWindowRectWhenShown(const char* window_class, const std::string& file)
{
    g_report_class = window_class;
    g_report_file = file;
    SetTimer(nullptr, 0, 200, ReportWindowRect);
}
