// What the setup flow needs from the other modules, in one place: the
// extraction, the message boxes, the switch readers, the pumping wait, and
// what only the program as a whole knows (its main window, whether it runs as
// an agent, the agent's description files), which the program installs at
// start-up. SetupDeps() holds the ones in force; tests may replace entries.
#pragma once

#include <cstdint>
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
  std::string start_up_link;  // UnInstall "StartUpLink"
  std::string check_link;     // UnInstall "CheckforNewUpdateLink"
  bool remove_start_up = false;  // NewSetup "RemoveStartUpShortcut" is "1"
  bool remove_check = false;     // NewSetup "RemoveCheckForNewUpdateShortcut" is "1"
};

struct TSetupDeps {
  void (*wait_pumping)(uint32_t ms);
  TUnPackResult (*unpack)(const TUnPackRequest& request);
  bool (*confirm)(intptr_t owner, const std::string& text, const std::string& caption, int timeout,
                  int charset, const std::string& buttons);
  void (*error)(intptr_t owner, const std::string& text, const std::string& caption, int charset,
                const std::string& buttons);
  std::string (*switch_str)(const std::string& name, const std::string& def);
  bool (*has_switch)(const std::string& name);
  std::string (*args_text)();
  // Null entries below: not an agent, no links, no window, no web branch.
  bool (*launcher_is_agent)();
  TSetupLinks (*read_links)();
  void (*web_install)();
  void (*show_main_window)(int show_command);
  void (*show_activity_bar)();
  uintptr_t (*status_label)();  // the main window's status label (an HWND)
};

const TSetupDeps& SetupDeps();
void SetSetupDeps(const TSetupDeps& deps);
