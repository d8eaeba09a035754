// The security facility: tokens and privileges.
#pragma once

#include <cstdint>
#include <string>

#include "platform/basics.h"

namespace platform {

class Security {
 public:
  virtual ~Security() = default;
  // OpenProcessToken of the own process; kNoHandle on failure.
  virtual Handle OpenProcessToken(uint32_t access) = 0;
  virtual bool LookupPrivilegeValue(const std::string& name, uint64_t* luid) = 0;
  // AdjustTokenPrivileges with one privilege, others left as they are.
  virtual bool AdjustTokenPrivilege(Handle token, uint64_t luid, bool enable) = 0;
  virtual void CloseHandle(Handle token) = 0;
};

}  // namespace platform
