// shellopen_probe.exe as the handler of web links in the test prefix, for
// tests of what the launcher opens with the shell.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "proc_test_support.h"

// shellopen_probe.exe registered in the test prefix as the handler of web
// links (it writes the link it is given into a file); the system's handler is
// put back after.
class WebLinkHandler {
public:
    WebLinkHandler()
    {
        out_ = MakeTestFolder("velmora inform test") + "opened.txt";
        DeleteFileA(out_.c_str());
        std::string command = "\"";  // built up in steps: GCC 12 misreads "text" + string here
        command += HelperPath("shellopen_probe.exe");
        command += "\" \"" + out_ + "\" \"%1\"";
        for (int i = 0; i < 2; ++i) {
            saved_[i] = Command(kSchemes[i]);
            SetCommand(kSchemes[i], command);
        }
    }
    ~WebLinkHandler()
    {
        for (int i = 0; i < 2; ++i) SetCommand(kSchemes[i], saved_[i]);
        DeleteFileA(out_.c_str());
    }
    // What the probe wrote, once it has written it.
    std::string Opened() const
    {
        std::string content;
        for (int i = 0; i < 200 && content.empty(); ++i) {
            std::ifstream in(out_, std::ios::binary);
            std::stringstream read;
            read << in.rdbuf();
            content = read.str();
            if (content.empty()) Sleep(50);
        }
        return content;
    }
    bool WroteNothing() const { return GetFileAttributesA(out_.c_str()) == INVALID_FILE_ATTRIBUTES; }

private:
    static constexpr const char* kSchemes[2] = {"http", "https"};
    static std::string Key(const char* scheme) { return std::string(scheme) + "\\shell\\open\\command"; }
    static std::string Command(const char* scheme)
    {
        char buf[1024] = {};
        LONG size = sizeof buf;
        return RegQueryValueA(HKEY_CLASSES_ROOT, Key(scheme).c_str(), buf, &size) == ERROR_SUCCESS ? buf : "";
    }
    static void SetCommand(const char* scheme, const std::string& command)
    {
        HKEY h = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, Key(scheme).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &h, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(h, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                       static_cast<DWORD>(command.size() + 1));
        RegCloseKey(h);
    }
    std::string out_;
    std::string saved_[2];
};
