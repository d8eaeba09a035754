// The Delete File page: a path, a browse button and "Delete", which falls back to a deletion at
// the next boot.
#pragma once

#include <windows.h>

#include <map>

#include "inspect/prompt.h"

namespace app {

class TDeleteFilePage {
 public:
  void Create(HWND page, inspect::TPrompter* prompter);
  void ApplyCaptions();
  bool Command(int id, int code);

 private:
  void Button4Click();
  void Button6Click();
  HWND Control(int id) const;

  HWND page_ = nullptr;
  inspect::TPrompter* prompter_ = nullptr;
  std::map<int, HWND> controls_;
};

}  // namespace app
