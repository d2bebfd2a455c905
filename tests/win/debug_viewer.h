#pragma once
// A stand-in for the debug viewer: a top-level window of class ".VDebug."
// of this thread that collects the texts of the atoms it is sent.

#include <windows.h>

#include <string>
#include <vector>

class ViewerWindow {
public:
    ViewerWindow()
    {
        // Whatever an earlier viewer collected is not this one's.
        texts.clear();
        wparams.clear();
        message_ = RegisterWindowMessageA(".V_DebugMsg.");
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = ".VDebug.";
        RegisterClassA(&wc);
        hwnd_ = CreateWindowExA(0, ".VDebug.", "viewer", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                                wc.hInstance, nullptr);
    }
    ~ViewerWindow()
    {
        DestroyWindow(hwnd_);
        UnregisterClassA(".VDebug.", GetModuleHandleA(nullptr));
    }
    ViewerWindow(const ViewerWindow&) = delete;
    ViewerWindow& operator=(const ViewerWindow&) = delete;

    bool ok() const { return hwnd_ != nullptr && message_ != 0; }

    // The text chunks (wParam 1) received so far, joined.
    std::string Text() const
    {
        std::string text;
        for (size_t i = 0; i < texts.size(); ++i)
            if (wparams[i] == 1) text += texts[i];
        return text;
    }

    // Every chunk received, and the wParam it came with.
    static inline std::vector<std::string> texts;
    static inline std::vector<WPARAM> wparams;

private:
    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l)
    {
        if (m == message_ && m != 0) {
            char buf[256] = {};
            GlobalGetAtomNameA(static_cast<ATOM>(l), buf, sizeof buf);
            texts.push_back(buf);
            wparams.push_back(w);
            return 0;
        }
        return DefWindowProcA(h, m, w, l);
    }
    static inline UINT message_ = 0;
    HWND hwnd_ = nullptr;
};
