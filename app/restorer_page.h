// The Restorer page: six sub-pages of repairs and browser values and the "Apply" button, built
// from the table of controls. The repairs themselves are restorer/'s work.
#pragma once

#include <windows.h>

#include <array>
#include <functional>

#include "app/page.h"
#include "app/control_ui.h"
#include "inspect/prompt.h"
#include "restorer/repairs.h"
#include "app/controls.h"

namespace app {

class TRestorerPage final : public TPage {
 public:
  // The context's settings give the restore-point option (CheckBox46), its run state keeps
  // repairs out of a scan.
  void Create(HWND page, const TPageContext& context) override;
  void SelectSubPage(int index);
  // Its button shows the "System Hijacks" sub-page.
  void Enter() override;
  void ApplyCaptions() override;
  // A WM_COMMAND of one of its controls; false when it is not one of them.
  bool Command(int id, int code) override;
  // TCN_SELCHANGE of the sub-page tabs; false for other notifications.
  bool Notify(const NMHDR& header) override;

  // The ticked boxes, the selected Safe Mode radio button and the restore-point option.
  restorer::TRestorerOptions Options() const;
  HWND Control(int id) const;

 private:
  void Button9Click();
  // Button10 to Button16: the field beside the button, written at once.
  void BrowserValueClick(const TControl& button);

  TTabPanels tabs_;
  TControlMap controls_;
  TPageContext context_;
};

}  // namespace app
