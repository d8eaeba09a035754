// Owns a raised resolution of the system timer for a scope: Windows 2000 and XP tick every 10 to
// 15.6 ms, so a Sleep(1) of the scan's pacing would last a whole tick without it.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace platform {

class ScopedTimerPeriod {
 public:
  explicit ScopedTimerPeriod(uint32_t milliseconds)
      : system_(Sys()), milliseconds_(milliseconds), begun_(system_.BeginTimerPeriod(milliseconds)) {}
  ~ScopedTimerPeriod() {
    if (begun_) system_.EndTimerPeriod(milliseconds_);
  }
  ScopedTimerPeriod(const ScopedTimerPeriod&) = delete;
  ScopedTimerPeriod& operator=(const ScopedTimerPeriod&) = delete;
  bool Begun() const { return begun_; }

 private:
  System& system_;
  uint32_t milliseconds_;
  bool begun_;
};

}  // namespace platform
