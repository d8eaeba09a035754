// The TCP and UDP sections over the fake machine's IP Helper.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/fake/fake_machine.h"
#include "scan/connections.h"
#include "scan/sections.h"
#include "tests/support/scan_helpers.h"

namespace {

using platform::TcpRow;
using platform::UdpRow;
using platform::fake::Machine;
using scan::TReport;
using Lines = std::vector<std::string>;

// A 32-bit table field holding these bytes in memory order, as the library stores it.
uint32_t Field(uint8_t b0, uint8_t b1, uint8_t b2 = 0, uint8_t b3 = 0) {
  const uint8_t bytes[4] = {b0, b1, b2, b3};
  uint32_t value = 0;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}
uint32_t Addr(uint8_t a, uint8_t b, uint8_t c, uint8_t d) { return Field(a, b, c, d); }
uint32_t Port(uint16_t port) { return Field(static_cast<uint8_t>(port >> 8), static_cast<uint8_t>(port & 255)); }

constexpr uint32_t kListening = 2;
constexpr uint32_t kEstablished = 5;

TEST(ConnectionTextTest, AddressesAndPortsReadInNetworkOrder) {
  struct Case {
    uint32_t field;
    std::string text;
  };
  const Case addresses[] = {
      {Addr(192, 168, 1, 10), "192.168.1.10"}, {Addr(0, 0, 0, 0), "0.0.0.0"},
      {Addr(127, 0, 0, 1), "127.0.0.1"},       {Addr(255, 255, 255, 255), "255.255.255.255"},
      {Addr(10, 0, 200, 7), "10.0.200.7"},
  };
  for (const auto& c : addresses) EXPECT_EQ(scan::IpAddrToText(c.field), c.text);

  struct PortCase {
    uint32_t field;
    uint32_t port;
  };
  const PortCase ports[] = {
      {Field(0x00, 0x50), 80},     {Port(1042), 1042},      {Port(135), 135},
      {Port(0), 0},                {Port(65535), 65535},    {Port(256), 256},
      {Field(0x00, 0x50, 0xCD, 0xCD), 80},  // the undefined upper half is no part of the port
  };
  for (const auto& c : ports) EXPECT_EQ(scan::PortToNumber(c.field), c.port) << std::hex << c.field;
}

TEST(ConnectionTextTest, StateNames) {
  const std::pair<uint32_t, std::string> cases[] = {
      {1, "CLOSED"},     {2, "LISTENING"},   {5, "ESTABLISHED"},   {11, "TIME_WAIT"},
      {12, "DELETE_TCB"}, {0, "UNKNOWN (0)"}, {13, "UNKNOWN (13)"},
  };
  for (const auto& [state, name] : cases) EXPECT_EQ(scan::TcpStateName(state), name);
}

class ConnectionsTest : public testing::Test {
 protected:
  void SetUp() override {
    m.Install();
    m.AddProcess(1000, "C:\\WINDOWS\\system32\\svchost.exe");
    m.AddProcess(2000, "C:\\Program Files\\Acme\\acme.exe");
    m.AddProcess(3000, "C:\\WINDOWS\\system32\\csrss.exe").accessible = false;
  }
  void TearDown() override { scan::UnloadIpHelper(); }

  Lines Tcp() {
    scan::LoadIpHelper();
    TReport report;
    scan::ListTcpConnections(report, options);
    return bs_test::ReportItems(report);
  }
  Lines Udp() {
    scan::LoadIpHelper();
    TReport report;
    scan::ListUdpConnections(report, options);
    return bs_test::ReportItems(report);
  }

  Machine m;
  scan::TScanOptions options;
};

TEST_F(ConnectionsTest, LinesNameTheOwnerOrNA) {
  m.ipHelper().tcpTable = {
      {kListening, Addr(0, 0, 0, 0), Port(135), 0, 0, 1000},
      {kEstablished, Addr(192, 168, 1, 10), Port(1042), Addr(10, 0, 0, 1), Port(80), 2000},
      {kListening, Addr(127, 0, 0, 1), Port(445), 0, 0, 3000},  // cannot be opened
      {kListening, Addr(0, 0, 0, 0), Port(139), 0, 0, 4},        // no such process
      {99, Addr(0, 0, 0, 0), Port(7), 0, 0, 0},                  // the idle process, an unknown state
  };
  m.ipHelper().udpTable = {
      {Addr(0, 0, 0, 0), Port(500), 1000},
      {Addr(127, 0, 0, 1), Port(1900), 3000},
  };
  EXPECT_EQ(Tcp(), (Lines{"svchost.exe -> 0.0.0.0:135 -> 0.0.0.0:0 -> LISTENING",
                          "acme.exe -> 192.168.1.10:1042 -> 10.0.0.1:80 -> ESTABLISHED",
                          "N/A -> 127.0.0.1:445 -> 0.0.0.0:0 -> LISTENING",
                          "N/A -> 0.0.0.0:139 -> 0.0.0.0:0 -> LISTENING",
                          "N/A -> 0.0.0.0:7 -> 0.0.0.0:0 -> UNKNOWN (99)"}));
  EXPECT_EQ(Udp(), (Lines{"svchost.exe -> 0.0.0.0:500 -> *.*", "N/A -> 127.0.0.1:1900 -> *.*"}));
  EXPECT_EQ(m.ipHelper().tableCalls,
            (Lines{"GetExtendedTcpTable", "GetExtendedTcpTable", "GetExtendedUdpTable", "GetExtendedUdpTable"}));
  EXPECT_EQ(m.ipHelper().winsockStarts, 0);
}

TEST_F(ConnectionsTest, EmptyTablesGiveNoLines) {
  EXPECT_EQ(Tcp(), Lines{});
  EXPECT_EQ(Udp(), Lines{});
}

// A connection opened between the size query and the fill makes the fill fail: the writer
// asks again and lists the table it then gets, or lists nothing when the table never settles.
TEST_F(ConnectionsTest, TableThatGrowsBetweenTheCallsIsNeverReadUnfilled) {
  m.ipHelper().tcpTable = {{kListening, Addr(0, 0, 0, 0), Port(135), 0, 0, 1000}};
  m.ipHelper().tcpRowsOpenedBetweenCalls = {
      {kEstablished, Addr(127, 0, 0, 1), Port(1042), Addr(127, 0, 0, 1), Port(80), 2000}};
  m.ipHelper().udpTable = {{Addr(0, 0, 0, 0), Port(500), 1000}};
  m.ipHelper().udpRowsOpenedBetweenCalls = {{Addr(0, 0, 0, 0), Port(53), 2000}};
  EXPECT_EQ(Tcp(), (Lines{"svchost.exe -> 0.0.0.0:135 -> 0.0.0.0:0 -> LISTENING",
                          "acme.exe -> 127.0.0.1:1042 -> 127.0.0.1:80 -> ESTABLISHED"}));
  EXPECT_EQ(Udp(), (Lines{"svchost.exe -> 0.0.0.0:500 -> *.*", "acme.exe -> 0.0.0.0:53 -> *.*"}));

  m.ipHelper().tcpRowsOpenedBetweenCalls.assign(50, {kListening, 0, Port(9), 0, 0, 1000});
  EXPECT_EQ(Tcp(), Lines{});
  EXPECT_EQ(m.ipHelper().winsockStarts, 0);
}

// Which entry points the library offers decides the flags and the calls.
TEST_F(ConnectionsTest, EntryPointsChooseTheTables) {
  const TcpRow tcp{kListening, Addr(0, 0, 0, 0), Port(135), 0, 0, 1000};
  const UdpRow udp{Addr(0, 0, 0, 0), Port(500), 1000};
  const std::string tcpLine = "svchost.exe -> 0.0.0.0:135 -> 0.0.0.0:0 -> LISTENING";
  const std::string udpLine = "svchost.exe -> 0.0.0.0:500 -> *.*";
  struct Case {
    const char* name;
    bool present;
    Lines exports;
    bool loaded, fromStack, extended;
    Lines calls;
  };
  const Case cases[] = {
      {"both kinds", true,
       {"AllocateAndGetTcpExTableFromStack", "AllocateAndGetUdpExTableFromStack", "SetTcpEntry", "GetExtendedTcpTable",
        "GetExtendedUdpTable"},
       true, true, true, {"GetExtendedTcpTable", "GetExtendedTcpTable", "GetExtendedUdpTable", "GetExtendedUdpTable"}},
      {"older only", true,
       {"AllocateAndGetTcpExTableFromStack", "AllocateAndGetUdpExTableFromStack", "SetTcpEntry"},
       true, true, false, {"AllocateAndGetTcpExTableFromStack", "AllocateAndGetUdpExTableFromStack"}},
      {"extended TCP without UDP", true,
       {"AllocateAndGetTcpExTableFromStack", "AllocateAndGetUdpExTableFromStack", "SetTcpEntry", "GetExtendedTcpTable"},
       true, true, false, {"AllocateAndGetTcpExTableFromStack", "AllocateAndGetUdpExTableFromStack"}},
      {"no SetTcpEntry", true, {"GetExtendedTcpTable", "GetExtendedUdpTable"}, false, false, false, {}},
      {"no library", false, {}, false, false, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Machine machine;
    machine.Install();
    machine.AddProcess(1000, "C:\\WINDOWS\\system32\\svchost.exe");
    machine.ipHelper().present = c.present;
    machine.ipHelper().exports = c.exports;
    machine.ipHelper().tcpTable = {tcp};
    machine.ipHelper().udpTable = {udp};
    scan::LoadIpHelper();
    EXPECT_EQ(scan::IpHelperLoaded(), c.loaded);
    EXPECT_EQ(scan::FromStackTablesAvailable(), c.fromStack);
    EXPECT_EQ(scan::ExtendedTablesAvailable(), c.extended);
    TReport report;
    scan::ListTcpConnections(report, options);
    scan::ListUdpConnections(report, options);
    EXPECT_EQ(bs_test::ReportItems(report), c.loaded ? (Lines{tcpLine, udpLine}) : Lines{});
    EXPECT_EQ(machine.ipHelper().tableCalls, c.calls);
    scan::UnloadIpHelper();
    EXPECT_FALSE(machine.ipHelper().loaded);
    EXPECT_FALSE(scan::IpHelperLoaded());
  }
}

}  // namespace
