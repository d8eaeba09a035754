// One piece of work on a worker thread: it reports lines and progress, ends with a result and
// can be asked to stop. Whoever started it is told through `notify` (called on the worker's
// thread, so it may only post) and takes what came with Take() on its own thread. Nothing here
// dispatches window messages.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "inspect/stop_token.h"
#include "platform/handles.h"
#include "scan/frame.h"

namespace scan {

class TJob final {
 public:
  using TBody = std::function<std::string(const inspect::TStopToken& stop, TScanDisplay& display)>;
  // How long closing waits for a stopped job.
  static constexpr uint32_t kStopWaitMilliseconds = 20000;

  TJob() = default;
  TJob(const TJob&) = delete;
  TJob& operator=(const TJob&) = delete;
  // Asks the body to stop and waits for it (bounded).
  ~TJob();

  // Starts `body` on its own thread; false when no thread could be started. A job starts once.
  bool Start(TBody body, std::function<void()> notify = {});
  bool Started() const { return state_ != nullptr; }
  // The body has returned (its end may not have been taken yet).
  bool Ended() const;
  void RequestStop();
  bool StopRequested() const;
  // Waits up to `milliseconds` for the worker thread to end; true when it has ended or never started.
  bool Wait(uint32_t milliseconds);

  // What came since the last Take. `ended` and `result` come once, with the last lines.
  struct TNews {
    std::vector<std::string> lines;
    int progress = -1;  // the latest position; -1 when none came
    bool ended = false;
    std::string result;
  };
  TNews Take();

 private:
  struct TState;
  std::shared_ptr<TState> state_;
  platform::ScopedThread thread_;
};

}  // namespace scan
