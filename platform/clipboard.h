// The clipboard facility.
#pragma once

#include <string>

namespace platform {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  virtual bool SetText(const std::string& text) = 0;
  virtual std::string GetText() = 0;
};

}  // namespace platform
