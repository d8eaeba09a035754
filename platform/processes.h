// The processes facility: the process list and process handles.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/basics.h"

namespace platform {

struct ProcessEntry {
  uint32_t pid = 0;
  uint32_t parentPid = 0;
  std::string exeFile;  // as the snapshot gives it: a file name
};

class Processes {
 public:
  virtual ~Processes() = default;
  // CreateToolhelp32Snapshot + Process32First/Next; nullopt when no snapshot could be taken.
  virtual std::optional<std::vector<ProcessEntry>> SnapshotProcesses() = 0;
  virtual uint32_t GetCurrentProcessId() = 0;
  virtual Handle OpenProcess(uint32_t access, uint32_t pid) = 0;  // kNoHandle on failure
  virtual void CloseHandle(Handle process) = 0;
  // EnumProcessModules into a buffer of `capacity` handles.
  virtual bool EnumProcessModules(Handle process, std::vector<uintptr_t>* modules, size_t capacity) = 0;
  // GetModuleFileNameExA (module 0 = the main executable) with a buffer of `chars` characters.
  virtual std::string GetModuleFileNameEx(Handle process, uintptr_t module, size_t chars) = 0;
  // Whether psapi.dll exports GetProcessImageFileNameA.
  virtual bool HasGetProcessImageFileName() = 0;
  virtual std::optional<std::string> GetProcessImageFileName(Handle process) = 0;
};

}  // namespace platform
