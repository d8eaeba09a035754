// TCP and UDP endpoints with their owning processes.
#include "scan/connections.h"

#include <atomic>
#include <cstring>

#include "inspect/processes.h"
#include "inspect/text.h"
#include "platform/handles.h"
#include "scan/sections.h"

namespace scan {

namespace {

namespace win = platform::win;
using platform::TcpRow;
using platform::UdpRow;

constexpr uint16_t kWinsockVersion = 0x0002;  // 2.0
constexpr uint32_t kFromStackFlags = 2;
constexpr uint32_t kTcpRowBytes = 24;
constexpr uint32_t kUdpRowBytes = 12;
// Fills tried after the size query when the table keeps growing between the calls.
constexpr int kFillAttempts = 3;

std::atomic<bool> g_loaded{false};
std::atomic<bool> g_fromStack{false};
std::atomic<bool> g_extended{false};

platform::IpHelper* Helper() { return platform::Current().iphelper; }


// The size query, then the fill into a buffer of the reported size. A fill that finds the
// table grown is asked again with the new size; a table that never settles, a failed fill or
// more rows than the buffer holds give no rows.
template <typename Row, typename Call>
std::vector<Row> FetchExtended(Call call, uint32_t rowBytes) {
  std::vector<Row> rows;
  uint32_t size = 0;
  if (call(&size, &rows) != win::kErrorInsufficientBuffer) return {};
  for (int attempt = 0; attempt < kFillAttempts; ++attempt) {
    const uint32_t asked = size;
    if (asked < sizeof(uint32_t)) return {};
    const uint32_t result = call(&size, &rows);
    if (result == win::kErrorSuccess) {
      if (rows.size() > (asked - sizeof(uint32_t)) / rowBytes) return {};
      return rows;
    }
    if (result != win::kErrorInsufficientBuffer) return {};
  }
  return {};
}

template <typename Row, typename Extended, typename FromStack>
std::vector<Row> FetchTable(Extended extended, FromStack fromStack, uint32_t rowBytes) {
  platform::IpHelper* ip = Helper();
  if (!g_loaded || ip == nullptr) return {};
  const platform::ScopedWinsock winsock(*ip, kWinsockVersion);  // for the length of one fetch
  if (g_extended) {
    return FetchExtended<Row>([&](uint32_t* size, std::vector<Row>* rows) { return extended(*ip, size, rows); },
                              rowBytes);
  }
  std::vector<Row> rows;
  if (g_fromStack && fromStack(*ip, &rows) == win::kErrorSuccess) return rows;
  return {};
}

// The owner's executable name; "N/A" when the process cannot be opened or its path read.
std::string OwnerName(uint32_t pid) {
  const std::string name = inspect::FileNamePart(inspect::ProcessExePath(pid));
  return name.empty() ? "N/A" : name;
}

std::string Endpoint(uint32_t addr, uint32_t port) {
  return IpAddrToText(addr) + ":" + std::to_string(PortToNumber(port));
}

}  // namespace

void LoadIpHelper() {
  platform::IpHelper* ip = Helper();
  const bool library = ip != nullptr && ip->LoadLibrary("iphlpapi.dll");
  auto has = [&](const char* name) { return library && ip->HasExport(name); };
  const bool loaded = has("SetTcpEntry");
  g_fromStack = loaded && has("AllocateAndGetTcpExTableFromStack") && has("AllocateAndGetUdpExTableFromStack");
  g_extended = loaded && has("GetExtendedTcpTable") && has("GetExtendedUdpTable");
  g_loaded = loaded;
}

void UnloadIpHelper() {
  g_loaded = false;
  g_fromStack = false;
  g_extended = false;
  if (platform::IpHelper* ip = Helper()) ip->FreeLibrary();
}

bool IpHelperLoaded() { return g_loaded; }
bool FromStackTablesAvailable() { return g_fromStack; }
bool ExtendedTablesAvailable() { return g_extended; }

std::vector<TcpRow> FetchTcpTable() {
  return FetchTable<TcpRow>(
      [](platform::IpHelper& ip, uint32_t* size, std::vector<TcpRow>* rows) {
        return ip.GetExtendedTcpTable(size, true, win::kAfInet, win::kTcpTableOwnerPidAll, rows);
      },
      [](platform::IpHelper& ip, std::vector<TcpRow>* rows) {
        return ip.AllocateAndGetTcpExTableFromStack(true, kFromStackFlags, win::kAfInet, rows);
      },
      kTcpRowBytes);
}

std::vector<UdpRow> FetchUdpTable() {
  return FetchTable<UdpRow>(
      [](platform::IpHelper& ip, uint32_t* size, std::vector<UdpRow>* rows) {
        return ip.GetExtendedUdpTable(size, true, win::kAfInet, win::kUdpTableOwnerPid, rows);
      },
      [](platform::IpHelper& ip, std::vector<UdpRow>* rows) {
        return ip.AllocateAndGetUdpExTableFromStack(true, kFromStackFlags, win::kAfInet, rows);
      },
      kUdpRowBytes);
}

std::string IpAddrToText(uint32_t addr) {
  uint8_t bytes[4];
  std::memcpy(bytes, &addr, sizeof bytes);
  return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." + std::to_string(bytes[2]) + "." +
         std::to_string(bytes[3]);
}

uint32_t PortToNumber(uint32_t port) {
  // Only the low 16 bits hold the port; Windows leaves the upper half undefined.
  const uint32_t v = port & 0xFFFF;
  return (v >> 8) + (v & 255) * 256;
}

std::string TcpStateName(uint32_t state) {
  if (state >= 1 && state <= TcpStateNames.size()) return TcpStateNames[state - 1];
  return "UNKNOWN (" + std::to_string(state) + ")";
}

void ListTcpConnections(TReport& report, const TScanOptions&) {
  for (const TcpRow& row : FetchTcpTable()) {
    report.Add(OwnerName(row.pid) + " -> " + Endpoint(row.localAddr, row.localPort) + " -> " +
               Endpoint(row.remoteAddr, row.remotePort) + " -> " + TcpStateName(row.state));
  }
}

void ListUdpConnections(TReport& report, const TScanOptions&) {
  for (const UdpRow& row : FetchUdpTable()) {
    report.Add(OwnerName(row.pid) + " -> " + Endpoint(row.localAddr, row.localPort) + " -> *.*");
  }
}

}  // namespace scan
