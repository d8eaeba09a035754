// The threads facility.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/basics.h"

namespace platform {

class Threads {
 public:
  virtual ~Threads() = default;
  // CreateThread, default stack, started at once; kNoHandle on failure.
  virtual Handle CreateThread(std::function<uint32_t()> body) = 0;
  // GetExitCodeThread: kStillActive while it runs.
  virtual bool GetExitCodeThread(Handle thread, uint32_t* code) = 0;
  // WaitForSingleObject on the thread: true once it has ended, false when `milliseconds` passed first.
  virtual bool WaitForThread(Handle thread, uint32_t milliseconds) = 0;
  virtual void CloseHandle(Handle thread) = 0;
};

}  // namespace platform
