// The native lock and thread: the standard library's.
#ifndef _WIN32
#include "platform/sync.h"

#include <mutex>
#include <thread>

namespace platform {

struct Mutex::Impl {
  std::recursive_mutex mutex;
};

Mutex::Mutex() : impl_(std::make_unique<Impl>()) {}
Mutex::~Mutex() = default;
void Mutex::lock() { impl_->mutex.lock(); }
void Mutex::unlock() { impl_->mutex.unlock(); }

struct Thread::Impl {
  std::thread thread;
};

Thread::Thread(std::function<void()> body) : impl_(std::make_unique<Impl>()) {
  impl_->thread = std::thread(std::move(body));
}
Thread::~Thread() {
  if (Joinable()) Join();
}
bool Thread::Joinable() const { return impl_->thread.joinable(); }
void Thread::Join() { impl_->thread.join(); }
void Thread::Detach() { impl_->thread.detach(); }

}  // namespace platform
#endif
