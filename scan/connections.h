// The IP Helper entry points of the network sections, and the texts of their endpoint lines.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace scan {

// Loads iphlpapi.dll and sets the three flags below; run once at start, before any window.
void LoadIpHelper();
// Clears the flags and releases the library; run once when the program ends.
void UnloadIpHelper();
// The library is loaded and exports SetTcpEntry.
bool IpHelperLoaded();
// IpHelperLoaded and both AllocateAndGet...ExTableFromStack are exported.
bool FromStackTablesAvailable();
// IpHelperLoaded and both GetExtended...Table are exported.
bool ExtendedTablesAvailable();

// The IPv4 endpoints with their owners from the best entry point available; empty when none is
// or the table cannot be read whole.
std::vector<platform::TcpRow> FetchTcpTable();
std::vector<platform::UdpRow> FetchUdpTable();

// The four bytes of the field in memory order, dotted.
std::string IpAddrToText(uint32_t addr);
// The network-order 16-bit port of the field in host order.
uint32_t PortToNumber(uint32_t port);

// The names of the TCP states 1 to 12.
inline constexpr std::array<const char*, 12> TcpStateNames{
    "CLOSED",     "LISTENING",  "SYN_SENT", "SYN_RCVD", "ESTABLISHED", "FIN_WAIT_1",
    "FIN_WAIT_2", "CLOSE_WAIT", "CLOSING",  "LAST_ACK", "TIME_WAIT",   "DELETE_TCB"};
// TcpStateNames of the state; "UNKNOWN (<n>)" outside 1 to 12.
std::string TcpStateName(uint32_t state);

}  // namespace scan
