// What the setup flow needs from the other modules, in one place: the
// extraction, the message boxes, the switch readers, the pumping wait, the
// setup program's process, and what only the program as a whole knows (its
// main window, whether it runs as an agent, the agent's description files).
// The caller hands them to the flow: the program builds them once at start-up
// (DefaultSetupDeps and its own entries), tests build their own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "net/sha256.h"

struct TUnPackRequest {
    std::string PackageFile;
    std::string TargetDir;
    std::string AgentName;
    std::string DiskPrompt;     // "s8"
    std::string PromptCaption;  // "Attention"
    std::string ButtonTexts;
    int Charset = 0;
    bool ForcePrompt = false;
};

struct TUnPackResult {
    bool Success = false;     // false after a checksum failure, a rejected record or a failed write
    std::string MainEntry;    // program to run, "" when none, a disk prompt was cancelled or a write failed
    int FailedWrites = 0;     // files that could not be written (refused names included)
    uint32_t WriteError = 0;  // the system's code of the first of them, 0 when none given
};

// The link files that a completed update may remove.
struct TSetupLinks {
    std::string StartUpLink;     // UnInstall "StartUpLink"
    std::string CheckLink;       // UnInstall "CheckforNewUpdateLink"
    bool RemoveStartUp = false;  // NewSetup "RemoveStartUpShortcut" is "1"
    bool RemoveCheck = false;    // NewSetup "RemoveCheckForNewUpdateShortcut" is "1"
};

// A started program as the flow sees it: an opaque value (the process HANDLE
// on Windows), 0 for none.
using TProcessRef = uintptr_t;

struct TProcessStart {
    TProcessRef Process = 0;  // 0 when the program could not be started
    uint32_t Error = 0;       // then the system error code (0 when the system gave none)
};

struct TSetupDeps {
    std::function<void(uint32_t ms)> WaitPumping;
    std::function<TUnPackResult(const TUnPackRequest& request)> Unpack;
    std::function<bool(intptr_t owner, const std::string& text, const std::string& caption, int timeout,
                       int charset, const std::string& buttons)>
        Confirm;
    std::function<void(intptr_t owner, const std::string& text, const std::string& caption, int charset,
                       const std::string& buttons)>
        Error;
    std::function<std::string(const std::string& name, const std::string& def)> SwitchStr;
    std::function<bool(const std::string& name)> HasSwitch;
    std::function<std::string()> ArgsText;

    // The setup program. Start: command line and show command. Wait: until the
    // process has ended, pumping messages meanwhile. Exit code: false when it
    // cannot be read. Close: releases what start gave.
    std::function<TProcessStart(const std::string& command_line, int show_command)> StartProcess;
    std::function<void(TProcessRef process)> WaitProcess;
    std::function<bool(TProcessRef process, uint32_t& code)> ExitCode;
    std::function<void(TProcessRef process)> CloseProcess;
    // Adds the completion atom; 0 when the system could not.
    std::function<uint16_t(const std::string& name)> AddCompletionAtom;

    // The web installer's network: whether a connection exists (else false,
    // with the system's reason or ""), and the download of a URL into a file
    // (true and an empty error text only when the whole file is in place).
    std::function<bool(std::string& reason)> InternetConnected;
    std::function<bool(intptr_t owner, const std::string& url, const std::string& target, std::string& error)>
        DownloadFile;
    // The SHA-256 of a file, for the web block's hash item.
    std::function<THashResult(const std::string& path, std::string& hex)> HashFile;

    // Empty entries below: not an agent, no links, no window.
    std::function<bool()> LauncherIsAgent;
    std::function<TSetupLinks()> ReadLinks;
    std::function<void(int show_command)> ShowMainWindow;
    std::function<void()> ShowActivityBar;
    std::function<uintptr_t()> StatusLabel;  // the main window's status label (an HWND)
};

#ifdef _WIN32
// The system's entries: extraction with the main window's progress display,
// the launcher's message boxes, the process's own switches, the pumping wait,
// StartProgram / WaitForProcessEnd and GlobalAddAtom. The entries of the
// program as a whole stay empty.
TSetupDeps DefaultSetupDeps();
#endif
