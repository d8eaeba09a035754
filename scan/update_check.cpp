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

// One check's inputs and answer. The worker owns a share of it, so an answer that comes after
// the wait has given up lands here and never in a later check.
struct TUpdateCheck {
  std::string url;
  std::string ownVersion;
  std::string result;
  std::atomic<bool> done{false};
};

std::atomic<bool> g_running{false};
std::atomic<platform::Handle> g_thread{platform::kNoHandle};

}  // namespace

std::string UpdateUrl(const std::string& appDir) {
  std::string host = inspect::ReadIniString(appDir + "Data\\Options.ini", "Options", "UpdateServer");
  const size_t start = host.find_first_not_of(" \t");
  host = start == std::string::npos ? "" : host.substr(start, host.find_last_not_of(" \t") - start + 1);
  if (host.empty()) host = kUpdateHost;
  return "http://" + host + kUpdatePath;
}

std::string RequestUpdateVersion(const std::string& url, const std::string& ownVersion) {
  const platform::ScopedInternet internet(Net().Open(kUpdateUserAgent));
  if (!internet.ok()) return "error";
  const platform::ScopedInternet request(Net().OpenUrl(internet.get(), url, kRequestFlags));
  if (!request.ok()) return "error";
  std::string status;
  if (!Net().QueryStatusCode(request.get(), kStatusChars, &status) || status != "200") return "error2";
  std::string body;
  char block[kBlockSize];
  for (uint32_t read = 0;
       body.size() < kMaxAnswerBytes && Net().ReadFile(request.get(), block, kBlockSize, &read) && read > 0;) {
    body.append(block, read);
  }
  body.resize(std::min(body.size(), kMaxAnswerBytes));
  const size_t at = body.find("Version=");
  if (at == std::string::npos) return "";
  const std::string version = body.substr(at + 8, 7);
  return version != ownVersion ? "y" : "";
}

std::string CheckForUpdate(const std::string& url, bool interactive, inspect::TPrompter& prompter) {
  if (g_running.exchange(true)) return "";
  auto check = std::make_shared<TUpdateCheck>();
  check->url = url;
  check->ownVersion = kProductVersion;

  platform::ScopedThread worker(platform::Thr().CreateThread([check]() -> uint32_t {
    try {
      check->result = RequestUpdateVersion(check->url, check->ownVersion);
    } catch (...) {
      check->result = "error";
    }
    check->done = true;
    return 0;
  }));
  if (!worker.ok()) {
    g_running = false;
    prompter.Prompt("ERROR #6 : " + inspect::Lng(118), "Warning", win::kMbIconWarning | win::kMbTopmost);
    return "";
  }
  g_thread = worker.get();

  auto& sys = platform::Sys();
  const uint32_t start = sys.GetTickCount();
  uint32_t code = win::kStillActive;
  platform::Thr().GetExitCodeThread(worker.get(), &code);
  while (code == win::kStillActive) {
    if ((sys.GetTickCount() - start) / 1000.0 >= kUpdateWaitSeconds) break;
    sys.Sleep(kPassMilliseconds, false);
    if (!platform::Thr().GetExitCodeThread(worker.get(), &code)) break;
    platform::Gui().ProcessMessages();
  }
  g_thread = platform::kNoHandle;
  worker.Reset();

  const std::string result = check->done ? check->result : std::string();
  g_running = false;

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
  return result;
}

bool UpdateCheckRunning() { return g_running; }

platform::Handle CurrentUpdateThread() { return g_thread; }

}  // namespace scan
