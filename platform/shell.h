// The shell facility: programs and documents started through the shell.
#pragma once

#include <cstdint>
#include <string>

#include "platform/basics.h"

namespace platform {

class Shell {
 public:
  virtual ~Shell() = default;
  // ShellExecuteA; true when the shell accepted it (result above 32).
  virtual bool ShellExecute(uintptr_t window, const std::string& verb, const std::string& file,
                            const std::string& parameters, const std::string& directory,
                            int show) = 0;
  // ShellExecuteExA (no-close-process, no-UI) and WaitForSingleObject of the started program for
  // up to `timeout` ms, then GetExitCodeProcess; false when it did not start or did not end in time.
  virtual bool ShellExecuteWait(const std::string& file, const std::string& parameters, int show,
                                uint32_t timeout, uint32_t* exitCode) = 0;
  // ShellExecuteExA with the verb "properties" (invoke-ID-list, no-close-process, no-UI).
  virtual bool ShowProperties(uintptr_t window, const std::string& path) = 0;
};

}  // namespace platform
