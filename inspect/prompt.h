// How code below the window asks the user: the window shows a message box, the headless runner
// prints the text and answers by itself.
#pragma once

#include <cstdint>
#include <string>

namespace inspect {

class TPrompter {
 public:
  virtual ~TPrompter() = default;
  // `flags` are MessageBoxA's (buttons and icon); returns the button chosen (kIdOk, kIdYes, kIdNo).
  virtual int Prompt(const std::string& text, const std::string& caption, uint32_t flags) = 0;
};

}  // namespace inspect
