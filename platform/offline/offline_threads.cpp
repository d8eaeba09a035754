// Threads of the host: the scan runs on a worker, as it does on Windows.
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "platform/offline/volume_state.h"
#include "platform/sync.h"

namespace platform::offline {

namespace {

struct Running {
  std::unique_ptr<Thread> thread;
  std::atomic<bool> done{false};
  std::atomic<uint32_t> exitCode{0};
};

class HostThreads final : public Threads {
 public:
  ~HostThreads() override {
    for (auto& [handle, running] : threads_) {
      if (running->thread->Joinable()) running->thread->Join();
    }
  }

  Handle CreateThread(std::function<uint32_t()> body) override {
    auto running = std::make_shared<Running>();
    running->thread = std::make_unique<Thread>([running, body = std::move(body)] {
      running->exitCode = body();
      running->done = true;
    });
    std::lock_guard lock(mutex_);
    const Handle h = next_++;
    threads_[h] = running;
    return h;
  }

  bool GetExitCodeThread(Handle thread, uint32_t* code) override {
    const std::shared_ptr<Running> running = Find(thread);
    if (!running) return false;
    *code = running->done ? running->exitCode.load() : win::kStillActive;
    return true;
  }

  bool WaitForThread(Handle thread, uint32_t milliseconds) override {
    const std::shared_ptr<Running> running = Find(thread);
    if (!running) return false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!running->done) {
      if (milliseconds != win::kInfinite && std::chrono::steady_clock::now() >= until) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }

  void CloseHandle(Handle thread) override {
    std::shared_ptr<Running> running;
    {
      std::lock_guard lock(mutex_);
      auto it = threads_.find(thread);
      if (it == threads_.end()) return;
      running = it->second;
      threads_.erase(it);
    }
    if (running->thread->Joinable()) running->thread->Join();
  }

 private:
  std::shared_ptr<Running> Find(Handle thread) {
    std::lock_guard lock(mutex_);
    auto it = threads_.find(thread);
    return it == threads_.end() ? nullptr : it->second;
  }

  std::mutex mutex_;
  std::map<Handle, std::shared_ptr<Running>> threads_;
  Handle next_ = 0x100;
};

}  // namespace

std::unique_ptr<Threads> MakeThreads() { return std::make_unique<HostThreads>(); }

}  // namespace platform::offline
