// The BHOs page: the browser helper objects, BHO_LV, and its context menu. It only shows.
#pragma once

#include <windows.h>

#include <vector>

#include "app/page.h"
#include "app/list_view.h"
#include "managers/bho_list.h"

namespace app {

class TBhoPage final : public TPage {
 public:
  void Create(HWND page, HWND window);
  void FillBhoList();
  void Enter() override { FillBhoList(); }
  void ApplyCaptions() override;
  bool Command(int id, int code) override;
  bool Notify(const NMHDR& header) override;
  bool ContextMenu(HWND control, POINT screen) override;

 private:
  void Refresh1Click();
  void OpenContainingFolder1Click();
  void ShowFileProperties1Click();
  const managers::TBhoRow* RowAt(int index) const;

  HWND window_ = nullptr;
  TManagerList BHO_LV;
  std::vector<managers::TBhoRow> rows_;
};

}  // namespace app
