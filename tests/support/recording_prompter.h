// A prompter that records what it was asked and answers OK (or a set answer).
#pragma once

#include <string>
#include <vector>

#include "inspect/prompt.h"
#include "platform/platform.h"

namespace bs_test {

struct TPromptRecord {
  std::string text, caption;
  uint32_t flags = 0;
  bool operator==(const TPromptRecord&) const = default;
};

class RecordingPrompter : public inspect::TPrompter {
 public:
  int Prompt(const std::string& text, const std::string& caption, uint32_t flags) override {
    prompts.push_back({text, caption, flags});
    return answer;
  }
  std::vector<TPromptRecord> prompts;
  int answer = platform::win::kIdOk;
};

inline void PrintTo(const TPromptRecord& r, std::ostream* out) {
  *out << "{\"" << r.text << "\", \"" << r.caption << "\", 0x" << std::hex << r.flags << std::dec << "}";
}

}  // namespace bs_test
