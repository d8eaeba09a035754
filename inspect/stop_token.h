// A stop request from the window to a running job, and the waits that wake on it.
#pragma once

#include <atomic>
#include <cstdint>

namespace inspect {

class TStopToken {
 public:
  void Request() { requested_ = true; }
  bool Requested() const { return requested_; }
  // Sleeps `milliseconds`, waking within a few milliseconds of a stop request; false when stopped.
  bool Wait(uint32_t milliseconds) const;

 private:
  std::atomic<bool> requested_{false};
};

}  // namespace inspect
