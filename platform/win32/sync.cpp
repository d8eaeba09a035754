// The Windows lock and thread: a critical section and CreateThread, both on Windows 2000.
#include "platform/sync.h"

#include <windows.h>

namespace platform {

struct Mutex::Impl {
  CRITICAL_SECTION section;
};

Mutex::Mutex() : impl_(std::make_unique<Impl>()) { InitializeCriticalSection(&impl_->section); }
Mutex::~Mutex() { DeleteCriticalSection(&impl_->section); }
void Mutex::lock() { EnterCriticalSection(&impl_->section); }
void Mutex::unlock() { LeaveCriticalSection(&impl_->section); }

struct Thread::Impl {
  std::function<void()> body;
  HANDLE handle = nullptr;
};

namespace {
DWORD WINAPI RunThreadBody(LPVOID parameter) {
  // The body is owned by the Thread's Impl, which outlives the thread or is kept by Detach.
  static_cast<std::function<void()>*>(parameter)->operator()();
  return 0;
}
}  // namespace

Thread::Thread(std::function<void()> body) : impl_(std::make_unique<Impl>()) {
  impl_->body = std::move(body);
  impl_->handle = CreateThread(nullptr, 0, &RunThreadBody, &impl_->body, 0, nullptr);
  // Without a thread the body still runs, on the caller's: nothing waits for work never done.
  if (!impl_->handle) impl_->body();
}
Thread::~Thread() {
  if (Joinable()) Join();
}
bool Thread::Joinable() const { return impl_ && impl_->handle; }
void Thread::Join() {
  WaitForSingleObject(impl_->handle, INFINITE);
  CloseHandle(impl_->handle);
  impl_->handle = nullptr;
}
void Thread::Detach() {
  CloseHandle(impl_->handle);
  impl_->handle = nullptr;
  // The running body keeps its std::function: hand the Impl over to nobody (leaked on purpose).
  impl_.release();
}

}  // namespace platform
