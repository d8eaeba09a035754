// The Settings page: seven sub-pages of options and lists, built from the table of controls.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <string>

#include "app/page.h"
#include "app/control_ui.h"
#include "inspect/prompt.h"
#include "app/controls.h"
#include "scan/settings.h"

namespace app {

class TSettingsPage final : public TPage {
 public:
  // Ticking CheckBox3 calls the context's stayOnTop; choosing a language its language.
  void Create(HWND page, const TPageContext& context) override;
  // The controls' states as settings, and the settings into the controls (no click handlers).
  scan::TSettings Read() const;
  void Write(const scan::TSettings& settings);
  // Loads Data\Options.ini and the lists into the controls; changed boxes run their handlers.
  void Load(const std::string& appDir);
  void Save(const std::string& appDir) const;

  void SelectSubPage(int index);
  // Its button shows the "General" sub-page.
  void Enter() override;
  int SubPage() const;
  void SetLanguages(const std::vector<std::string>& names);
  std::string LanguageText() const;
  void ApplyCaptions() override;
  // A WM_COMMAND of one of its controls; false when it is not one of them.
  bool Command(int id, int code) override;
  // TCN_SELCHANGE of the sub-page tabs; false for other notifications.
  bool Notify(const NMHDR& header) override;
  // "+" of the Exclusions sub-page.
  int DefaultButton() const override { return SubPage() == kExclusions ? IdOf("Button7") : 0; }

  HWND Control(int id) const;

 private:
  void CheckBox2Click();
  void Button5Click();
  void Button7Click();
  void Button8Click();
  void CbChange(int code);

  HWND page_ = nullptr;
  TTabPanels tabs_;
  TControlMap controls_;
  std::function<void(bool)> stayOnTop_;
  std::function<void(const std::string&)> language_;
  inspect::TPrompter* prompter_ = nullptr;
};

}  // namespace app
