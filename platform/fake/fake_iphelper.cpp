// The fake machine's IP Helper: the tables a test set, sized as the library sizes them.
#include <algorithm>
#include <mutex>

#include "platform/fake/facilities.h"

namespace platform::fake {
namespace {

constexpr uint32_t kTcpRowBytes = 24;
constexpr uint32_t kUdpRowBytes = 12;

class FakeIpHelper final : public IpHelper {
 public:
  explicit FakeIpHelper(MachineState& state) : s_(state), ip_(state.ipHelper) {}

  bool LoadLibrary(const std::string& name) override {
    std::lock_guard lock(s_.mutex);
    if (!ip_.present || UpperAscii(name) != "IPHLPAPI.DLL") return false;
    ip_.loaded = true;
    return true;
  }

  bool HasExport(const std::string& name) override {
    std::lock_guard lock(s_.mutex);
    return Has(name);
  }

  void FreeLibrary() override {
    std::lock_guard lock(s_.mutex);
    ip_.loaded = false;
  }

  bool WsaStartup(uint16_t) override {
    std::lock_guard lock(s_.mutex);
    ++ip_.winsockStarts;
    return true;
  }

  void WsaCleanup() override {
    std::lock_guard lock(s_.mutex);
    --ip_.winsockStarts;
  }

  uint32_t GetExtendedTcpTable(uint32_t* size, bool, uint32_t family, uint32_t tableClass,
                               std::vector<TcpRow>* rows) override {
    std::lock_guard lock(s_.mutex);
    return Extended("GetExtendedTcpTable", tableClass == win::kTcpTableOwnerPidAll, family, kTcpRowBytes, size,
                    ip_.tcpTable, ip_.tcpRowsOpenedBetweenCalls, rows);
  }

  uint32_t GetExtendedUdpTable(uint32_t* size, bool, uint32_t family, uint32_t tableClass,
                               std::vector<UdpRow>* rows) override {
    std::lock_guard lock(s_.mutex);
    return Extended("GetExtendedUdpTable", tableClass == win::kUdpTableOwnerPid, family, kUdpRowBytes, size,
                    ip_.udpTable, ip_.udpRowsOpenedBetweenCalls, rows);
  }

  uint32_t AllocateAndGetTcpExTableFromStack(bool, uint32_t, uint32_t family, std::vector<TcpRow>* rows) override {
    std::lock_guard lock(s_.mutex);
    return FromStack("AllocateAndGetTcpExTableFromStack", family, ip_.tcpTable, rows);
  }

  uint32_t AllocateAndGetUdpExTableFromStack(bool, uint32_t, uint32_t family, std::vector<UdpRow>* rows) override {
    std::lock_guard lock(s_.mutex);
    return FromStack("AllocateAndGetUdpExTableFromStack", family, ip_.udpTable, rows);
  }

 private:
  bool Has(const std::string& name) const {
    return ip_.loaded && std::find(ip_.exports.begin(), ip_.exports.end(), name) != ip_.exports.end();
  }

  template <typename Row>
  uint32_t Extended(const char* name, bool knownClass, uint32_t family, uint32_t rowBytes, uint32_t* size,
                    std::vector<Row>& table, std::vector<Row>& pending, std::vector<Row>* rows) {
    rows->clear();
    if (!Has(name)) return win::kErrorCallNotImplemented;
    ip_.tableCalls.push_back(name);
    if (!knownClass || family != win::kAfInet) return win::kErrorInvalidParameter;
    const uint32_t needed = 4 + rowBytes * static_cast<uint32_t>(table.size());
    if (*size < needed) {
      *size = needed;
      if (!pending.empty()) {
        table.push_back(pending.front());
        pending.erase(pending.begin());
      }
      return win::kErrorInsufficientBuffer;
    }
    *rows = table;
    return win::kErrorSuccess;
  }

  template <typename Row>
  uint32_t FromStack(const char* name, uint32_t family, const std::vector<Row>& table, std::vector<Row>* rows) {
    rows->clear();
    if (!Has(name)) return win::kErrorCallNotImplemented;
    ip_.tableCalls.push_back(name);
    if (family != win::kAfInet) return win::kErrorInvalidParameter;
    *rows = table;
    return win::kErrorSuccess;
  }

  MachineState& s_;
  IpHelperState& ip_;
};

}  // namespace

std::unique_ptr<IpHelper> MakeIpHelper(MachineState& state) { return std::make_unique<FakeIpHelper>(state); }

}  // namespace platform::fake
