// The service control manager facility.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/basics.h"

namespace platform {

struct ServiceStatusEntry {
  std::string name;
  std::string displayName;
  uint32_t serviceType = 0;
  uint32_t currentState = 0;
};

struct ServiceConfig {
  uint32_t serviceType = 0;
  uint32_t startType = 0;
  std::string binaryPath;
  std::string loadOrderGroup;
  std::string displayName;
};

// The service control manager.
class Services {
 public:
  virtual ~Services() = default;
  // OpenSCManagerA; an empty machine is the local one. kNoHandle on failure.
  virtual Handle OpenSCManager(const std::string& machine, uint32_t access) = 0;
  virtual Handle OpenService(Handle manager, const std::string& name, uint32_t access) = 0;
  virtual bool QueryServiceStatus(Handle service, uint32_t* currentState) = 0;
  // QueryServiceConfigA into a buffer of `bufferSize` bytes.
  virtual bool QueryServiceConfig(Handle service, size_t bufferSize, ServiceConfig* config) = 0;
  // EnumServicesStatusA of the given types and states: the whole list, however many calls it takes.
  virtual bool EnumServicesStatus(Handle manager, uint32_t serviceType, uint32_t serviceState,
                                  std::vector<ServiceStatusEntry>* services) = 0;
  virtual void CloseServiceHandle(Handle handle) = 0;
};

}  // namespace platform
