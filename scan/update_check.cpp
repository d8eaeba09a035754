#include "scan/update_check.h"

#include <algorithm>
#include <atomic>
#include <memory>

#include "inspect/lang.h"
#include "inspect/system.h"
#include "platform/handles.h"
#include "scan/product.h"

namespace scan {

namespace {

using platform::Net;
namespace win = platform::win;

constexpr uint32_t kRequestFlags =
    win::kInternetFlagReload | win::kInternetFlagNoCacheWrite | win::kInternetFlagNoAutoRedirect;
constexpr uint32_t kStatusChars = 10;
constexpr uint32_t kBlockSize = 1024;
// The answer is a few lines: what a server sends beyond this is not read.
constexpr size_t kMaxAnswerBytes = 4 * kBlockSize;
constexpr uint32_t kPassMilliseconds = 100;

bool Stopped(const inspect::TStopToken* stop) { return stop && stop->Requested(); }

}  // namespace

std::string UpdateUrl(const std::string& appDir) {
  std::string host = inspect::ReadIniString(appDir + "Data\\Options.ini", "Options", "UpdateServer");
  const size_t start = host.find_first_not_of(" \t");
  host = start == std::string::npos ? "" : host.substr(start, host.find_last_not_of(" \t") - start + 1);
  if (host.empty()) host = kUpdateHost;
  return "http://" + host + kUpdatePath;
}

std::string RequestUpdateVersion(const std::string& url, const std::string& ownVersion,
                                 const inspect::TStopToken* stop) {
  const platform::ScopedInternet internet(Net().Open(kUpdateUserAgent));
  if (!internet.ok() || Stopped(stop)) return "error";
  const platform::ScopedInternet request(Net().OpenUrl(internet.get(), url, kRequestFlags));
  if (!request.ok()) return "error";
  std::string status;
  if (!Net().QueryStatusCode(request.get(), kStatusChars, &status) || status != "200") return "error2";
  std::string body;
  char block[kBlockSize];
  for (uint32_t read = 0; !Stopped(stop) && body.size() < kMaxAnswerBytes &&
                          Net().ReadFile(request.get(), block, kBlockSize, &read) && read > 0;) {
    body.append(block, read);
  }
  body.resize(std::min(body.size(), kMaxAnswerBytes));
  const size_t at = body.find("Version=");
  if (at == std::string::npos) return "";
  const std::string version = body.substr(at + 8, 7);
  return version != ownVersion ? "y" : "";
}

void TellUpdateResult(const std::string& result, bool interactive, inspect::TPrompter& prompter) {
  constexpr uint32_t kTopmost = win::kMbTopmost;
  if (result == "y") {
    const int answer = prompter.Prompt(inspect::Lng(97) + "\r\n" + inspect::Lng(98), "Info",
                                       win::kMbYesNo | win::kMbIconInformation | kTopmost);
    if (answer == win::kIdYes) platform::Sh().ShellExecute(0, "open", kHomePage, "", "", win::kSwShow);
  } else if (!interactive) {
    // only a newer version is told outside the interactive mode
  } else if (result.empty()) {
    prompter.Prompt(inspect::Lng(99), "Info", win::kMbIconInformation | kTopmost);
  } else if (result == "error") {
    prompter.Prompt(inspect::Lng(96), "Error", win::kMbIconWarning | kTopmost);
  } else {
    prompter.Prompt(inspect::Lng(100), "Error", win::kMbIconWarning | kTopmost);
  }
}

bool TUpdateCheck::Start(const std::string& url, bool interactive, std::function<void()> notify,
                         inspect::TPrompter& prompter) {
  if (job_) return false;
  std::erase_if(late_, [](const std::unique_ptr<TJob>& job) { return job->Ended(); });
  auto job = std::make_unique<TJob>();
  const bool started = job->Start(
      [url](const inspect::TStopToken& stop, TScanDisplay&) {
        try {
          return RequestUpdateVersion(url, kProductVersion, &stop);
        } catch (...) {
          return std::string("error");
        }
      },
      std::move(notify));
  if (!started) {
    TellThreadFailure(prompter);
    return false;
  }
  interactive_ = interactive;
  job_ = std::move(job);
  return true;
}

std::optional<std::string> TUpdateCheck::Deliver(bool timeUp, inspect::TPrompter& prompter) {
  if (!job_) return std::nullopt;
  TJob::TNews news = job_->Take();
  if (!news.ended && !timeUp) return std::nullopt;
  const std::string result = news.ended ? news.result : std::string();
  if (news.ended) {
    job_.reset();
  } else {
    late_.push_back(std::move(job_));
  }
  TellUpdateResult(result, interactive_, prompter);
  return result;
}

void TUpdateCheck::Stop() {
  if (job_) late_.push_back(std::move(job_));
  for (auto& job : late_) job->RequestStop();
  late_.clear();  // each waits for its worker, bounded
}

std::string TUpdateCheck::CheckAndWait(const std::string& url, bool interactive, inspect::TPrompter& prompter) {
  if (!Start(url, interactive, {}, prompter)) return "";
  auto& sys = platform::Sys();
  const uint32_t start = sys.GetTickCount();
  for (;;) {
    const bool timeUp = (sys.GetTickCount() - start) / 1000.0 >= kUpdateWaitSeconds;
    if (!timeUp) job_->Wait(kPassMilliseconds);
    if (auto result = Deliver(timeUp, prompter)) return *result;
  }
}

}  // namespace scan
