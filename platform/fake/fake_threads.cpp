// The fake machine's threads: real threads, so that the scan worker runs beside the test.
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/fake/facilities.h"

namespace platform::fake {
namespace {

class FakeThreads final : public Threads {
 public:
  explicit FakeThreads(MachineState& state) : s_(state), t_(state.threadTable) {}

  Handle CreateThread(std::function<uint32_t()> body) override {
    std::lock_guard lock(s_.mutex);
    if (s_.threads.creationFails) {
      SetThreadLastError(win::kErrorNotEnoughMemory);
      return kNoHandle;
    }
    auto running = std::make_shared<RunningThread>();
    running->thread = std::make_unique<Thread>([running, body = std::move(body)] {
      uint32_t code = body();
      running->exitCode = code;
      running->done = true;
    });
    Handle h = s_.NewHandle();
    t_.handles[h] = running;
    return h;
  }

  bool GetExitCodeThread(Handle thread, uint32_t* code) override {
    std::shared_ptr<RunningThread> running = Find(thread);
    if (!running) return false;
    *code = running->done ? running->exitCode.load() : win::kStillActive;
    return true;
  }

  bool WaitForThread(Handle thread, uint32_t milliseconds) override {
    std::shared_ptr<RunningThread> running = Find(thread);
    if (!running) return false;
    for (uint32_t waited = 0; !running->done; ++waited) {
      if (waited >= milliseconds) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }

  void CloseHandle(Handle thread) override {
    std::shared_ptr<RunningThread> running;
    {
      std::lock_guard lock(s_.mutex);
      auto it = t_.handles.find(thread);
      if (it == t_.handles.end()) return;
      running = it->second;
      t_.handles.erase(it);
    }
    // Joined outside the lock: the thread may still be calling the machine.
    if (!running->thread->Joinable()) return;
    if (running->done) {
      running->thread->Join();
    } else {
      running->thread->Detach();
    }
  }

 private:
  std::shared_ptr<RunningThread> Find(Handle thread) {
    std::lock_guard lock(s_.mutex);
    auto it = t_.handles.find(thread);
    return it == t_.handles.end() ? nullptr : it->second;
  }

  MachineState& s_;
  ThreadTable& t_;
};

}  // namespace

std::unique_ptr<Threads> MakeThreads(MachineState& state) { return std::make_unique<FakeThreads>(state); }

void JoinThreads(MachineState& state) {
  std::map<Handle, std::shared_ptr<RunningThread>> threads;
  {
    std::lock_guard lock(state.mutex);
    threads.swap(state.threadTable.handles);
  }
  for (auto& [handle, running] : threads) {
    if (running->thread && running->thread->Joinable()) running->thread->Join();
  }
}

}  // namespace platform::fake
