// The Hosts File page and the Boot Files page with its four sub-pages: a text field per file
// with Save, Reload and Notepad. One class serves both; a page with sub-pages has its tabs.
#pragma once

#include <windows.h>

#include "app/control_ui.h"
#include "app/page.h"
#include "inspect/prompt.h"
#include "managers/editors.h"

namespace app {

class TEditorPage final : public TPage {
 public:
  // The page of `place` (kPageHosts or kPageBoot) with the editors that stand on it.
  explicit TEditorPage(TPlace place) : place_(place) {}
  void Create(HWND page, const TPageContext& context) override;
  // Hosts File: the hosts file again (a missing one leaves the field as it is). Boot Files: the
  // "system.ini" sub-page, freshly loaded.
  void Enter() override;
  void ApplyCaptions() override;
  bool Command(int id, int code) override;
  bool Notify(const NMHDR& header) override;

 private:
  void SelectSubPage(int index);
  void Load(managers::TEditorFile file);
  HWND Control(int id) const { return controls_.Find(id); }

  TPlace place_;
  inspect::TPrompter* prompter_ = nullptr;
  TTabPanels tabs_;  // AdvPC2 on the Boot Files page
  TControlMap controls_;
};

}  // namespace app
