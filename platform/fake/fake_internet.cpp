// The fake machine's web: answers by URL, and the requests the program made.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/fake/facilities.h"

namespace platform::fake {
namespace {

class FakeInternet final : public Internet {
 public:
  explicit FakeInternet(MachineState& state) : s_(state), net_(state.internet) {}

  Handle Open(const std::string& userAgent) override {
    std::lock_guard lock(s_.mutex);
    net_.userAgents.push_back(userAgent);
    const Handle h = s_.NewHandle();
    open_[h] = nullptr;
    ++net_.openHandles;
    return h;
  }

  Handle OpenUrl(Handle internet, const std::string& url, uint32_t flags) override {
    std::shared_ptr<HttpAnswer> answer;
    {
      std::lock_guard lock(s_.mutex);
      net_.requests.push_back({url, flags});
      auto it = net_.answers.find(url);
      if (!open_.count(internet) || it == net_.answers.end()) {
        SetThreadLastError(win::kErrorInternetNameNotResolved);
        return kNoHandle;
      }
      answer = it->second;
    }
    // A slow server: the call returns once the test lets the answer go.
    while (answer->held && !*answer->held) Sys().Sleep(1, false);
    std::lock_guard lock(s_.mutex);
    if (!answer->reachable) {
      SetThreadLastError(win::kErrorInternetCannotConnect);
      return kNoHandle;
    }
    const Handle h = s_.NewHandle();
    open_[h] = std::make_shared<Reading>(Reading{answer, 0});
    ++net_.openHandles;
    return h;
  }

  bool QueryStatusCode(Handle request, uint32_t chars, std::string* status) override {
    std::lock_guard lock(s_.mutex);
    auto it = open_.find(request);
    if (it == open_.end() || !it->second) {
      SetThreadLastError(win::kErrorInvalidHandle);
      return false;
    }
    const std::string& code = it->second->answer->status;
    if (code.size() + 1 > chars) {
      SetThreadLastError(win::kErrorInsufficientBuffer);
      return false;
    }
    *status = code;
    return true;
  }

  bool ReadFile(Handle request, void* buffer, uint32_t size, uint32_t* read) override {
    std::lock_guard lock(s_.mutex);
    auto it = open_.find(request);
    if (it == open_.end() || !it->second) {
      SetThreadLastError(win::kErrorInvalidHandle);
      return false;
    }
    Reading& r = *it->second;
    const std::string& body = r.answer->body;
    const size_t n = std::min<size_t>(size, body.size() - r.position);
    std::memcpy(buffer, body.data() + r.position, n);
    r.position += n;
    *read = static_cast<uint32_t>(n);
    net_.readSizes.push_back(size);
    return true;
  }

  bool CloseHandle(Handle handle) override {
    std::lock_guard lock(s_.mutex);
    if (!open_.erase(handle)) return false;
    --net_.openHandles;
    return true;
  }

 private:
  struct Reading {
    std::shared_ptr<HttpAnswer> answer;
    size_t position = 0;
  };
  MachineState& s_;
  InternetState& net_;
  std::map<Handle, std::shared_ptr<Reading>> open_;  // sessions map to null
};

}  // namespace

std::unique_ptr<Internet> MakeInternet(MachineState& state) { return std::make_unique<FakeInternet>(state); }

}  // namespace platform::fake
