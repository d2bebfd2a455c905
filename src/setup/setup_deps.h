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

struct TUnPackRequest {
    std::string package_file;
    std::string target_dir;
    std::string agent_name;
    std::string disk_prompt;     // "s8"
    std::string prompt_caption;  // "Attention"
    std::string button_texts;
    int charset = 0;
    bool force_prompt = false;
};

struct TUnPackResult {
    bool success = false;    // false after a checksum failure or a rejected record
    std::string main_entry;  // program to run, "" when none or a disk prompt was cancelled
};

// The link files that a completed update may remove.
struct TSetupLinks {
    std::string start_up_link;     // UnInstall "StartUpLink"
    std::string check_link;        // UnInstall "CheckforNewUpdateLink"
    bool remove_start_up = false;  // NewSetup "RemoveStartUpShortcut" is "1"
    bool remove_check = false;     // NewSetup "RemoveCheckForNewUpdateShortcut" is "1"
};

// A started program as the flow sees it: an opaque value (the process HANDLE
// on Windows), 0 for none.
using TProcessRef = uintptr_t;

struct TProcessStart {
    TProcessRef process = 0;  // 0 when the program could not be started
    uint32_t error = 0;       // then the system error code (0 when the system gave none)
};

struct TSetupDeps {
    std::function<void(uint32_t ms)> wait_pumping;
    std::function<TUnPackResult(const TUnPackRequest& request)> unpack;
    std::function<bool(intptr_t owner, const std::string& text, const std::string& caption, int timeout,
                       int charset, const std::string& buttons)>
        confirm;
    std::function<void(intptr_t owner, const std::string& text, const std::string& caption, int charset,
                       const std::string& buttons)>
        error;
    std::function<std::string(const std::string& name, const std::string& def)> switch_str;
    std::function<bool(const std::string& name)> has_switch;
    std::function<std::string()> args_text;

    // The setup program. Start: command line and show command. Wait: until the
    // process has ended, pumping messages meanwhile. Exit code: false when it
    // cannot be read. Close: releases what start gave.
    std::function<TProcessStart(const std::string& command_line, int show_command)> start_process;
    std::function<void(TProcessRef process)> wait_process;
    std::function<bool(TProcessRef process, uint32_t& code)> exit_code;
    std::function<void(TProcessRef process)> close_process;
    // Adds the completion atom; 0 when the system could not.
    std::function<uint16_t(const std::string& name)> add_atom;

    // Empty entries below: not an agent, no links, no window, no web branch.
    std::function<bool()> launcher_is_agent;
    std::function<TSetupLinks()> read_links;
    std::function<void()> web_install;
    std::function<void(int show_command)> show_main_window;
    std::function<void()> show_activity_bar;
    std::function<uintptr_t()> status_label;  // the main window's status label (an HWND)
};

#ifdef _WIN32
// The system's entries: extraction with the main window's progress display,
// the launcher's message boxes, the process's own switches, the pumping wait,
// StartProgram / WaitForProcessEnd and GlobalAddAtom. The entries of the
// program as a whole stay empty.
TSetupDeps DefaultSetupDeps();
#endif
