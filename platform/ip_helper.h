// The IP Helper and Windows Sockets facility.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/basics.h"

namespace platform {

// One row of a TCP table with its owning process (MIB_TCPROW_OWNER_PID, MIB_TCPROW_EX): the raw
// 32-bit fields, addresses and ports in network byte order.
struct TcpRow {
  uint32_t state = 0;
  uint32_t localAddr = 0;
  uint32_t localPort = 0;
  uint32_t remoteAddr = 0;
  uint32_t remotePort = 0;
  uint32_t pid = 0;
};

// One row of a UDP table with its owning process (MIB_UDPROW_OWNER_PID, MIB_UDPROW_EX).
struct UdpRow {
  uint32_t localAddr = 0;
  uint32_t localPort = 0;
  uint32_t pid = 0;
};

// The IP Helper library, loaded at run time, and Windows Sockets. The table calls return the
// Windows result (0 = success) and fail with kErrorCallNotImplemented when the library is not
// loaded or lacks the export.
class IpHelper {
 public:
  virtual ~IpHelper() = default;
  // LoadLibraryA (a bare name from the system folder); false when the library cannot be loaded. A loaded library stays until FreeLibrary.
  virtual bool LoadLibrary(const std::string& name) = 0;
  // GetProcAddress in the loaded library.
  virtual bool HasExport(const std::string& name) = 0;
  virtual void FreeLibrary() = 0;
  // WSAStartup (version: major in the low byte); WSACleanup only after a successful start.
  virtual bool WsaStartup(uint16_t version) = 0;
  virtual void WsaCleanup() = 0;
  // GetExtendedTcpTable / GetExtendedUdpTable into a buffer of *size bytes (none when 0), reserved 0.
  // ERROR_INSUFFICIENT_BUFFER (122) leaves the needed size in *size; on success `rows` gets the
  // rows of the table. A table whose entry count overruns the buffer is refused with
  // ERROR_INVALID_DATA (13), never read past.
  virtual uint32_t GetExtendedTcpTable(uint32_t* size, bool order, uint32_t family, uint32_t tableClass,
                                       std::vector<TcpRow>* rows) = 0;
  virtual uint32_t GetExtendedUdpTable(uint32_t* size, bool order, uint32_t family, uint32_t tableClass,
                                       std::vector<UdpRow>* rows) = 0;
  // AllocateAndGetTcpExTableFromStack / ...Udp... on the process heap; the library's table is
  // copied into `rows` and freed at once.
  virtual uint32_t AllocateAndGetTcpExTableFromStack(bool order, uint32_t flags, uint32_t family,
                                                     std::vector<TcpRow>* rows) = 0;
  virtual uint32_t AllocateAndGetUdpExTableFromStack(bool order, uint32_t flags, uint32_t family,
                                                     std::vector<UdpRow>* rows) = 0;
};

}  // namespace platform
