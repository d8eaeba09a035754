// The fake service control manager: the services a test added, in creation order.
#include <mutex>

#include "platform/fake/facilities.h"

namespace platform::fake {
namespace {

constexpr uint32_t kErrorServiceDoesNotExist = 1060;

class FakeServices final : public Services {
 public:
  explicit FakeServices(MachineState& state) : s_(state), t_(state.serviceTable) {}

  Handle OpenSCManager(const std::string& machine, uint32_t) override {
    std::lock_guard lock(s_.mutex);
    if (!s_.services.managerOpens || !machine.empty()) {
      SetThreadLastError(win::kErrorAccessDenied);
      return kNoHandle;
    }
    Handle h = s_.NewHandle();
    t_.handles[h] = "";
    return h;
  }

  Handle OpenService(Handle manager, const std::string& name, uint32_t) override {
    std::lock_guard lock(s_.mutex);
    FakeService* s = Find(name);
    if (!IsManager(manager) || !s || !s->accessible) {
      SetThreadLastError(s ? win::kErrorAccessDenied : kErrorServiceDoesNotExist);
      return kNoHandle;
    }
    Handle h = s_.NewHandle();
    t_.handles[h] = s->name;
    return h;
  }

  bool QueryServiceStatus(Handle service, uint32_t* state) override {
    std::lock_guard lock(s_.mutex);
    FakeService* s = Opened(service);
    if (!s) return false;
    *state = s->currentState;
    return true;
  }

  bool QueryServiceConfig(Handle service, size_t bufferSize, ServiceConfig* config) override {
    std::lock_guard lock(s_.mutex);
    FakeService* s = Opened(service);
    if (!s) return false;
    // The strings follow the fixed part in the caller's buffer.
    size_t needed = 36 + s->config.binaryPath.size() + s->config.loadOrderGroup.size() +
                    s->config.displayName.size() + 8;
    if (needed > bufferSize) {
      SetThreadLastError(win::kErrorInsufficientBuffer);
      return false;
    }
    *config = s->config;
    return true;
  }

  bool EnumServicesStatus(Handle manager, uint32_t type, uint32_t state,
                          std::vector<ServiceStatusEntry>* out) override {
    std::lock_guard lock(s_.mutex);
    if (!IsManager(manager)) return false;
    out->clear();
    for (auto& s : t_.list) {
      bool running = s.currentState != win::kServiceStopped;
      bool stateMatch = (state & win::kServiceActive && running) || (state & win::kServiceInactive && !running);
      if ((s.serviceType & type) && stateMatch) out->push_back({s.name, s.displayName, s.serviceType, s.currentState});
    }
    return true;
  }

  void CloseServiceHandle(Handle handle) override {
    std::lock_guard lock(s_.mutex);
    t_.handles.erase(handle);
  }

 private:
  bool IsManager(Handle handle) const {
    auto it = t_.handles.find(handle);
    return it != t_.handles.end() && it->second.empty();
  }

  FakeService* Find(const std::string& name) {
    for (auto& s : t_.list) {
      if (EqualNoCase(s.name, name)) return &s;
    }
    return nullptr;
  }

  FakeService* Opened(Handle service) {
    auto it = t_.handles.find(service);
    if (it == t_.handles.end() || it->second.empty()) return nullptr;
    return Find(it->second);
  }

  MachineState& s_;
  ServiceTable& t_;
};

}  // namespace

std::unique_ptr<Services> MakeServices(MachineState& state) { return std::make_unique<FakeServices>(state); }

}  // namespace platform::fake
