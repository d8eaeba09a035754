// The fake machine's process token: privileges the account holds, and those a call enabled.
#include <algorithm>
#include <iterator>
#include <mutex>

#include "platform/fake/facilities.h"

namespace platform::fake {
namespace {

// Privileges this machine knows, by LUID - 2.
constexpr const char* kKnownPrivileges[] = {"SeCreateTokenPrivilege", "SeDebugPrivilege",
                                            "SeSystemProfilePrivilege", "SeSecurityPrivilege",
                                            "SeBackupPrivilege", "SeRestorePrivilege",
                                            "SeShutdownPrivilege", "SeLoadDriverPrivilege"};
constexpr uint64_t kFirstLuid = 2;

class FakeSecurity final : public Security {
 public:
  explicit FakeSecurity(MachineState& state) : s_(state), sec_(state.security) {}

  Handle OpenProcessToken(uint32_t) override {
    std::lock_guard lock(s_.mutex);
    if (!sec_.tokenOpens) {
      SetThreadLastError(win::kErrorAccessDenied);
      return kNoHandle;
    }
    return s_.NewHandle();
  }

  bool LookupPrivilegeValue(const std::string& name, uint64_t* luid) override {
    std::lock_guard lock(s_.mutex);
    for (uint64_t i = 0; i < std::size(kKnownPrivileges); ++i) {
      if (EqualNoCase(kKnownPrivileges[i], name)) {
        *luid = i + kFirstLuid;
        return true;
      }
    }
    SetThreadLastError(1313);  // ERROR_NO_SUCH_PRIVILEGE
    return false;
  }

  bool AdjustTokenPrivilege(Handle, uint64_t luid, bool enable) override {
    std::lock_guard lock(s_.mutex);
    if (luid < kFirstLuid || luid - kFirstLuid >= std::size(kKnownPrivileges)) return false;
    const std::string name = kKnownPrivileges[luid - kFirstLuid];
    auto& held = sec_.privileges;
    auto& enabled = sec_.enabledPrivileges;
    // Like Windows: a privilege the account lacks is not enabled, yet the call succeeds.
    if (enable && std::find(held.begin(), held.end(), name) != held.end() &&
        std::find(enabled.begin(), enabled.end(), name) == enabled.end()) {
      enabled.push_back(name);
    }
    return true;
  }

  void CloseHandle(Handle) override {}

 private:
  MachineState& s_;
  SecurityState& sec_;
};

}  // namespace

std::unique_ptr<Security> MakeSecurity(MachineState& state) { return std::make_unique<FakeSecurity>(state); }

}  // namespace platform::fake
