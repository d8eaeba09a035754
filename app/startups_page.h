// The Startups page: the list of the Run-type keys' values, SLV, and its context menu.
#pragma once

#include <windows.h>

#include <vector>

#include "app/page.h"
#include "app/list_view.h"
#include "inspect/prompt.h"
#include "managers/startups.h"

namespace app {

class TStartupsPage final : public TPage {
 public:
  // `window` owns the Properties sheets; `prompter` shows the outcome of a deletion.
  void Create(HWND page, HWND window, inspect::TPrompter* prompter);
  void FillStartupList();
  void Enter() override { FillStartupList(); }
  void ApplyCaptions() override;
  // A menu entry or notification of the page; false when it is not one of its own.
  bool Command(int id, int code) override;
  bool Notify(const NMHDR& header) override;
  bool ContextMenu(HWND control, POINT screen) override;

 private:
  void Refresh2Click();
  void DeleteStartupItem1Click();
  void DeleteFile2Click();
  void ShowFileProperties2Click();
  const managers::TStartupRow* RowAt(int index) const;

  HWND window_ = nullptr;
  inspect::TPrompter* prompter_ = nullptr;
  TManagerList SLV;
  std::vector<managers::TStartupRow> rows_;  // what the list shows, by item index
};

}  // namespace app
