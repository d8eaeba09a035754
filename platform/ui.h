// The user-interface facility: message boxes.
#pragma once

#include <cstdint>
#include <string>

#include "platform/basics.h"

namespace platform {

class Ui {
 public:
  virtual ~Ui() = default;
  // MessageBoxA without owner window.
  virtual int MessageBox(const std::string& text, const std::string& caption, uint32_t flags) = 0;
};

}  // namespace platform
