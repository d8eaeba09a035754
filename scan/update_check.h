// The update check: one HTTP request for the version file as a job, its answer waited for at
// most 8 seconds.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "inspect/prompt.h"
#include "platform/platform.h"
#include "scan/job.h"

namespace scan {

inline constexpr const char* kUpdateHost = "update.orvatek.com";
inline constexpr const char* kUpdatePath = "/updates/burrowsentry/version.ini";
inline constexpr const char* kUpdateUserAgent = "Orvatek Update Check";
inline constexpr uint32_t kUpdateWaitSeconds = 8;

// The address of the version file: on the host (or host:port) of the key "UpdateServer" in
// section "Options" of Data\Options.ini when it is set, on ours otherwise.
std::string UpdateUrl(const std::string& appDir);

// The worker's answer: "" (no newer version, or nothing to conclude), "y" (the server's version
// differs from `ownVersion`), "error" (no connection), "error2" (a status other than 200). A
// stop request ends the reading.
std::string RequestUpdateVersion(const std::string& url, const std::string& ownVersion,
                                 const inspect::TStopToken* stop = nullptr);

// What the user is told of a result (interactive: every result; otherwise only a newer version).
void TellUpdateResult(const std::string& result, bool interactive, inspect::TPrompter& prompter);

// The checks of one window. A check whose answer did not come in time leaves its worker here;
// such an answer never reaches a later check.
class TUpdateCheck {
 public:
  TUpdateCheck() = default;
  TUpdateCheck(const TUpdateCheck&) = delete;
  TUpdateCheck& operator=(const TUpdateCheck&) = delete;
  ~TUpdateCheck() { Stop(); }

  // Starts a check; false while one runs, or when no thread could be started (told).
  bool Start(const std::string& url, bool interactive, std::function<void()> notify, inspect::TPrompter& prompter);
  bool Running() const { return job_ != nullptr; }
  // After a notification, or with `timeUp` once kUpdateWaitSeconds have passed: when the check
  // is over, tells the user and returns its result ("" when the time was up first).
  std::optional<std::string> Deliver(bool timeUp, inspect::TPrompter& prompter);
  // Asks every worker to stop and waits for each (bounded).
  void Stop();

  // One check waited for here, without dispatching messages (helpers, tests). "" when refused.
  std::string CheckAndWait(const std::string& url, bool interactive, inspect::TPrompter& prompter);

 private:
  bool interactive_ = false;
  std::unique_ptr<TJob> job_;
  std::vector<std::unique_ptr<TJob>> late_;
};

}  // namespace scan
