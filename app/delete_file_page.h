// The Delete File page: a path, a browse button and "Delete", which falls back to a deletion at
// the next boot.
#pragma once

#include <windows.h>

#include "app/page.h"
#include "app/control_ui.h"
#include "inspect/prompt.h"

namespace app {

class TDeleteFilePage final : public TPage {
 public:
  void Create(HWND page, const TPageContext& context) override;
  void ApplyCaptions() override;
  bool Command(int id, int code) override;
  int DefaultButton() const override { return IdOf("Button6"); }

 private:
  void Button4Click();
  void Button6Click();
  HWND Control(int id) const;

  HWND page_ = nullptr;
  inspect::TPrompter* prompter_ = nullptr;
  TControlMap controls_;
};

}  // namespace app
