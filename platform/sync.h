// A lock and a joinable thread for the portable code. The toolchain's win32 thread model has
// neither std::mutex nor std::thread, and its POSIX model imports functions Windows 2000 lacks,
// so Windows builds take these from platform/win32/sync.cpp (a critical section and
// CreateThread); native builds from platform/sync.cpp (the standard library).
#pragma once

#include <functional>
#include <memory>

namespace platform {

// The thread that holds it may lock it again. Meets BasicLockable: std::lock_guard and std::unique_lock take it.
class Mutex {
 public:
  Mutex();
  ~Mutex();
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;
  void lock();
  void unlock();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Runs `body` on a new thread at once. Join or Detach before destruction; a thread still
// joinable then is joined.
class Thread {
 public:
  explicit Thread(std::function<void()> body);
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  bool Joinable() const;
  void Join();
  void Detach();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
