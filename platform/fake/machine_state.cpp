#include "platform/fake/machine_state.h"

#include <cstring>

#include "platform/fake/date_time.h"

namespace platform::fake {

namespace {
thread_local uint32_t t_lastError = 0;
}  // namespace

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

uint32_t ThreadLastError() { return t_lastError; }
void SetThreadLastError(uint32_t code) { t_lastError = code; }

std::vector<uint8_t> StringBytes(const std::string& text) {
  std::vector<uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  return data;
}

std::vector<uint8_t> DwordBytes(uint32_t value) {
  std::vector<uint8_t> data(4);
  std::memcpy(data.data(), &value, 4);
  return data;
}

FileTime MachineState::Now() const { return CivilToFileTime(system.now); }

}  // namespace platform::fake
