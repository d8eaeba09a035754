#include "platform/win32/win32_common.h"

#include <memory>

namespace platform::win32 {
namespace {

using Body = std::function<uint32_t()>;

DWORD WINAPI RunBody(LPVOID parameter) {
  std::unique_ptr<Body> body(static_cast<Body*>(parameter));
  return (*body)();
}

class Win32Threads final : public Threads {
 public:
  Handle CreateThread(std::function<uint32_t()> body) override {
    auto* owned = new Body(std::move(body));
    HANDLE thread = ::CreateThread(nullptr, 0, &RunBody, owned, 0, nullptr);
    if (!thread) {
      delete owned;
      return kNoHandle;
    }
    return FromHandle(thread);
  }

  bool GetExitCodeThread(Handle thread, uint32_t* code) override {
    DWORD exitCode = 0;
    if (!::GetExitCodeThread(ToHandle(thread), &exitCode)) return false;
    *code = exitCode;
    return true;
  }

  bool WaitForThread(Handle thread, uint32_t milliseconds) override {
    return ::WaitForSingleObject(ToHandle(thread), milliseconds) == WAIT_OBJECT_0;
  }

  void CloseHandle(Handle thread) override { ::CloseHandle(ToHandle(thread)); }
};

}  // namespace

Threads& ThreadsFacility() {
  static Win32Threads threads;
  return threads;
}

}  // namespace platform::win32
