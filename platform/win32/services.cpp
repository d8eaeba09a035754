#include "platform/win32/win32_common.h"

#include <winsvc.h>

#include <cstring>

namespace platform::win32 {
namespace {

inline SC_HANDLE ToSc(Handle handle) { return reinterpret_cast<SC_HANDLE>(handle); }

class Win32Services final : public Services {
 public:
  Handle OpenSCManager(const std::string& machine, uint32_t access) override {
    SC_HANDLE h = ::OpenSCManagerA(machine.empty() ? nullptr : machine.c_str(), nullptr, access);
    return h ? reinterpret_cast<Handle>(h) : kNoHandle;
  }

  Handle OpenService(Handle manager, const std::string& name, uint32_t access) override {
    SC_HANDLE h = ::OpenServiceA(ToSc(manager), name.c_str(), access);
    return h ? reinterpret_cast<Handle>(h) : kNoHandle;
  }

  bool QueryServiceStatus(Handle service, uint32_t* currentState) override {
    SERVICE_STATUS status{};
    if (!::QueryServiceStatus(ToSc(service), &status)) return false;
    *currentState = status.dwCurrentState;
    return true;
  }

  bool QueryServiceConfig(Handle service, size_t bufferSize, ServiceConfig* config) override {
    std::vector<uint8_t> buffer(bufferSize < sizeof(QUERY_SERVICE_CONFIGA) ? sizeof(QUERY_SERVICE_CONFIGA) : bufferSize);
    auto* info = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    DWORD needed = 0;
    if (!::QueryServiceConfigA(ToSc(service), info, static_cast<DWORD>(buffer.size()), &needed)) return false;
    config->serviceType = info->dwServiceType;
    config->startType = info->dwStartType;
    config->binaryPath = info->lpBinaryPathName ? info->lpBinaryPathName : "";
    config->loadOrderGroup = info->lpLoadOrderGroup ? info->lpLoadOrderGroup : "";
    config->displayName = info->lpDisplayName ? info->lpDisplayName : "";
    return true;
  }

  // Repeats the call with the resume handle while the database holds more than one buffer.
  bool EnumServicesStatus(Handle manager, uint32_t serviceType, uint32_t serviceState,
                          std::vector<ServiceStatusEntry>* services) override {
    services->clear();
    DWORD resume = 0;
    std::vector<uint8_t> buffer(64 * 1024);
    for (int round = 0; round < 1000; ++round) {
      DWORD needed = 0, returned = 0;
      BOOL ok = ::EnumServicesStatusA(ToSc(manager), serviceType, serviceState,
                                      reinterpret_cast<ENUM_SERVICE_STATUSA*>(buffer.data()),
                                      static_cast<DWORD>(buffer.size()), &needed, &returned, &resume);
      DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
      if (!ok && error != ERROR_MORE_DATA) return false;
      const auto* entries = reinterpret_cast<const ENUM_SERVICE_STATUSA*>(buffer.data());
      for (DWORD i = 0; i < returned; ++i) {
        services->push_back({entries[i].lpServiceName ? entries[i].lpServiceName : "",
                             entries[i].lpDisplayName ? entries[i].lpDisplayName : "",
                             entries[i].ServiceStatus.dwServiceType, entries[i].ServiceStatus.dwCurrentState});
      }
      if (ok) return true;
      // Not even one entry fitted: grow the buffer to what the call asked for.
      if (returned == 0 && needed > buffer.size()) buffer.resize(needed);
    }
    return false;
  }

  void CloseServiceHandle(Handle handle) override {
    if (handle != kNoHandle) ::CloseServiceHandle(ToSc(handle));
  }
};

}  // namespace

Services& ServicesFacility() {
  static Win32Services services;
  return services;
}

}  // namespace platform::win32
