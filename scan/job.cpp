#include "scan/job.h"

#include <mutex>

#include "inspect/system.h"
#include "platform/handles.h"
#include "platform/sync.h"

namespace scan {

// Shared by the worker and the owner: a worker that outlives a bounded wait still finds it.
struct TJob::TState final : TScanDisplay {
  platform::Mutex mutex;
  inspect::TStopToken stop;
  std::function<void()> notify;
  TNews news;
  bool told = false;         // a notification is out and nothing was taken since
  bool ended = false;

  void AddLine(const std::string& line) override {
    {
      std::lock_guard lock(mutex);
      news.lines.push_back(line);
    }
    Tell();
  }
  void SetProgress(int position) override {
    {
      std::lock_guard lock(mutex);
      news.progress = position;
    }
    Tell();
  }
  void End(std::string result) {
    {
      std::lock_guard lock(mutex);
      news.ended = ended = true;
      news.result = std::move(result);
    }
    Tell();
  }
  // One notification for whatever piles up before the owner takes it.
  void Tell() {
    {
      std::lock_guard lock(mutex);
      if (told) return;
      told = true;
    }
    try {
      if (notify) notify();
    } catch (...) {
    }
  }
};

TJob::~TJob() {
  RequestStop();
  Wait(kStopWaitMilliseconds);
}

bool TJob::Start(TBody body, std::function<void()> notify) {
  if (state_) return false;
  auto state = std::make_shared<TState>();
  state->notify = std::move(notify);
  platform::ScopedThread thread(platform::Thr().CreateThread([state, body = std::move(body)]() -> uint32_t {
    std::string result;
    try {
      result = body(state->stop, *state);
    } catch (const std::exception& error) {
      inspect::WriteDebugLog(inspect::DebugLogEntry(error));
    } catch (...) {
      inspect::WriteDebugLog("unknown->job failed");
    }
    state->End(std::move(result));
    return 0;
  }));
  if (!thread.ok()) return false;
  state_ = std::move(state);
  thread_ = std::move(thread);
  return true;
}

bool TJob::Ended() const {
  if (!state_) return false;
  std::lock_guard lock(state_->mutex);
  return state_->ended;
}

void TJob::RequestStop() {
  if (state_) state_->stop.Request();
}

bool TJob::StopRequested() const { return state_ && state_->stop.Requested(); }

bool TJob::Wait(uint32_t milliseconds) {
  return !thread_.ok() || platform::Thr().WaitForThread(thread_.get(), milliseconds);
}

TJob::TNews TJob::Take() {
  TNews news;
  if (!state_) return news;
  std::lock_guard lock(state_->mutex);
  news = std::move(state_->news);
  state_->news = TNews{};
  state_->told = false;
  return news;
}

}  // namespace scan
