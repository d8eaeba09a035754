// The Hosts File page and the Boot Files page with its four sub-pages: a text field per file
// with Save, Reload and Notepad.
#pragma once

#include <windows.h>

#include <array>
#include <map>

#include "inspect/prompt.h"
#include "managers/editors.h"

namespace app {

class TEditorPages {
 public:
  void Create(HWND hostsPage, HWND bootPage, inspect::TPrompter* prompter);
  // The Hosts File button: the hosts file again (a missing one leaves the field as it is).
  void LoadHosts();
  // The Boot Files button: the "system.ini" sub-page, freshly loaded.
  void EnterBootPage();
  void SelectBootSubPage(int index);
  void ApplyCaptions();
  bool Command(int id, int code);
  bool Notify(const NMHDR& header);

 private:
  void Load(managers::TEditorFile file);
  HWND Control(int id) const;

  inspect::TPrompter* prompter_ = nullptr;
  HWND tabs_ = nullptr;  // AdvPC2
  std::array<HWND, 4> sheets_{};
  std::map<int, HWND> controls_;
};

}  // namespace app
