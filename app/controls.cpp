#include "app/controls.h"

#include "inspect/lang.h"

namespace app {

std::string EnglishCaption(const TControl& control) {
  return ControlCaption(control, [&](int n) { return n == control.lng ? std::string(control.caption) : inspect::LngDefault(n); });
}

std::string LanguageCaption(const TControl& control) {
  return ControlCaption(control, [](int n) { return inspect::Lng(n); });
}

}  // namespace app
