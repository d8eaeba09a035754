#include "inspect/stop_token.h"

#include <algorithm>

#include "platform/platform.h"

namespace inspect {

namespace {
constexpr uint32_t kSliceMilliseconds = 10;
}  // namespace

bool TStopToken::Wait(uint32_t milliseconds) const {
  auto& sys = platform::Sys();
  for (uint32_t left = milliseconds; !Requested();) {
    if (left == 0) return true;
    const uint32_t slice = std::min(left, kSliceMilliseconds);
    sys.Sleep(slice, false);
    left -= slice;
  }
  return false;
}

}  // namespace inspect
