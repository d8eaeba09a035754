// GoogleTest's customisation point, for the win32 thread model: its Notification waits on a
// std::condition_variable, which that model lacks. Ours polls an atomic flag instead.
#pragma once

#include <atomic>
#include <chrono>
#include <thread>

namespace testing::internal {

class Notification {
 public:
  Notification() = default;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  void Notify() { notified_ = true; }
  void WaitForNotification() {
    while (!notified_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

 private:
  std::atomic<bool> notified_{false};
};

}  // namespace testing::internal

#define GTEST_HAS_NOTIFICATION_ 1
