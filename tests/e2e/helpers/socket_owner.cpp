// Holds a listening TCP socket and a bound UDP socket on 127.0.0.1, on ports the system
// chooses, and a listening TCP socket on the IPv6 loopback ::1 when the machine has one;
// prints "tcp <port>", "udp <port>" and "tcp6 <port>" (0 without IPv6), then "self <pid>" and
// the owner process id the IP Helper tables give its two IPv4 sockets ("tcp_owner <pid>",
// "udp_owner <pid>"; Wine gives 0), then sleeps.
//
//   socket_owner.exe [seconds]   (default 300)
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Binds a socket of the type to 127.0.0.1 on a system-chosen port; 0 on failure.
int BindLoopback(SOCKET s) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return 0;
  int length = sizeof address;
  if (getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

// A listening TCP socket on ::1; its port, or 0 when the machine has no IPv6.
int ListenOnIpv6Loopback() {
  SOCKET s = socket(AF_INET6, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return 0;
  sockaddr_in6 address{};
  address.sin6_family = AF_INET6;
  address.sin6_addr = in6addr_loopback;
  int length = sizeof address;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0 || listen(s, 1) != 0) {
    closesocket(s);
    return 0;
  }
  return ntohs(address.sin6_port);  // the socket stays open until the process ends
}

using GetExtendedTableFn = DWORD(WINAPI*)(PVOID, PDWORD, BOOL, ULONG, int, ULONG);

// The owner of our IPv4 socket on `port` as the extended table of the class reports it; -1 when
// the table or the row is missing. TCP rows have six fields, UDP rows three; the port is field 2 or 1.
long TableOwner(const char* function, int tableClass, size_t fields, size_t portField, int port) {
  HMODULE library = LoadLibraryA("iphlpapi.dll");
  auto fn = library ? reinterpret_cast<GetExtendedTableFn>(reinterpret_cast<void*>(GetProcAddress(library, function)))
                    : nullptr;
  if (fn == nullptr) return -1;
  DWORD size = 0;
  if (fn(nullptr, &size, TRUE, AF_INET, tableClass, 0) != ERROR_INSUFFICIENT_BUFFER) return -1;
  std::vector<DWORD> table(size / sizeof(DWORD) + 1);
  if (fn(table.data(), &size, TRUE, AF_INET, tableClass, 0) != NO_ERROR) return -1;
  for (DWORD i = 0; i < table[0] && 1 + (i + 1) * fields <= table.size(); ++i) {
    const DWORD* row = &table[1 + i * fields];
    if (ntohs(static_cast<u_short>(row[portField])) == port) return static_cast<long>(row[fields - 1]);
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 300;
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 0), &data) != 0) {
    std::fprintf(stderr, "WSAStartup failed\n");
    return 1;
  }
  SOCKET tcp = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  SOCKET udp = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  const int tcpPort = tcp == INVALID_SOCKET ? 0 : BindLoopback(tcp);
  const int udpPort = udp == INVALID_SOCKET ? 0 : BindLoopback(udp);
  if (tcpPort == 0 || udpPort == 0 || listen(tcp, 1) != 0) {
    std::fprintf(stderr, "cannot open the sockets: %d\n", WSAGetLastError());
    return 1;
  }
  const int tcp6Port = ListenOnIpv6Loopback();
  std::printf("tcp %d\nudp %d\ntcp6 %d\n", tcpPort, udpPort, tcp6Port);
  std::printf("self %lu\ntcp_owner %ld\nudp_owner %ld\n", GetCurrentProcessId(),
              TableOwner("GetExtendedTcpTable", 5 /* TCP_TABLE_OWNER_PID_ALL */, 6, 2, tcpPort),
              TableOwner("GetExtendedUdpTable", 1 /* UDP_TABLE_OWNER_PID */, 3, 1, udpPort));
  std::fflush(stdout);
  Sleep(static_cast<DWORD>(seconds) * 1000);
  closesocket(tcp);
  closesocket(udp);
  WSACleanup();
  return 0;
}
