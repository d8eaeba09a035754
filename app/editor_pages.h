// The Hosts File page and the Boot Files page with its four sub-pages: a text field per file
// with Save, Reload and Notepad.
#pragma once

#include <windows.h>

#include <array>

#include "app/page.h"
#include "app/control_ui.h"
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

  // The two pages it serves, as the main window sees them: the hosts page carries the commands
  // and notifications of both.
  TPage& HostsPage() { return hosts_; }
  TPage& BootPage() { return boot_; }

 private:
  struct THostsPage final : TPage {
    explicit THostsPage(TEditorPages* pages) : owner(pages) {}
    TEditorPages* owner;
    void Enter() override { owner->LoadHosts(); }
    bool Command(int id, int code) override { return owner->Command(id, code); }
    bool Notify(const NMHDR& header) override { return owner->Notify(header); }
    void ApplyCaptions() override { owner->ApplyCaptions(); }
  };
  struct TBootPage final : TPage {
    explicit TBootPage(TEditorPages* pages) : owner(pages) {}
    TEditorPages* owner;
    void Enter() override { owner->EnterBootPage(); }
  };

  void Load(managers::TEditorFile file);
  HWND Control(int id) const;

  inspect::TPrompter* prompter_ = nullptr;
  HWND tabs_ = nullptr;  // AdvPC2
  std::array<HWND, 4> sheets_{};
  TControlMap controls_;
  THostsPage hosts_{this};
  TBootPage boot_{this};
};

}  // namespace app
