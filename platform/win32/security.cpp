#include "platform/win32/win32_common.h"

namespace platform::win32 {
namespace {

class Win32Security final : public Security {
 public:
  Handle OpenProcessToken(uint32_t access) override {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), access, &token)) return kNoHandle;
    return FromHandle(token);
  }

  bool LookupPrivilegeValue(const std::string& name, uint64_t* luid) override {
    LUID value{};
    if (!::LookupPrivilegeValueA(nullptr, name.c_str(), &value)) return false;
    *luid = (static_cast<uint64_t>(static_cast<uint32_t>(value.HighPart)) << 32) | value.LowPart;
    return true;
  }

  // Succeeds whenever the call does, as Windows reports it: a privilege the account lacks
  // (ERROR_NOT_ALL_ASSIGNED) still counts as success.
  bool AdjustTokenPrivilege(Handle token, uint64_t luid, bool enable) override {
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid.LowPart = static_cast<DWORD>(luid & 0xFFFFFFFF);
    privileges.Privileges[0].Luid.HighPart = static_cast<LONG>(luid >> 32);
    privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    return ::AdjustTokenPrivileges(ToHandle(token), FALSE, &privileges, sizeof privileges, nullptr, nullptr) != FALSE;
  }

  void CloseHandle(Handle token) override { ::CloseHandle(ToHandle(token)); }
};

}  // namespace

Security& SecurityFacility() {
  static Win32Security security;
  return security;
}

}  // namespace platform::win32
