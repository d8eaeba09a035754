// The IP Helper calls the network sections rely on: fake against the real library.
#include <functional>
#include <string>
#include <vector>

#include "tests/support/backend_fixture.h"

namespace {

using namespace platform;

class IpHelperContract : public bs_test::ContractTest {
 protected:
  void SetUp() override {
    ContractTest::SetUp();
    if (fake::Machine* m = scratch().machine()) {
      m->ipHelper().tcpTable = {{2, 0, 0x8700, 0, 0, 4}, {5, 0x0100007F, 0x1204, 0x0100007F, 0x5000, 8}};
      m->ipHelper().udpTable = {{0, 0xF401, 4}};
    }
    ASSERT_TRUE(Ip().LoadLibrary("iphlpapi.dll"));
  }
  void TearDown() override {
    Ip().FreeLibrary();
    ContractTest::TearDown();
  }
};

TEST_P(IpHelperContract, LibraryExportsWhatTheSectionsLookFor) {
  for (const char* name : {"SetTcpEntry", "GetExtendedTcpTable", "GetExtendedUdpTable"}) {
    EXPECT_TRUE(Ip().HasExport(name)) << name;
  }
  EXPECT_FALSE(Ip().HasExport("NoSuchExport"));
  ASSERT_TRUE(Ip().WsaStartup(0x0002));
  Ip().WsaCleanup();
}

// The size query answers ERROR_INSUFFICIENT_BUFFER with the size of the whole table (a count
// and the rows); a fill of that size succeeds; a fill one byte short answers the size query's
// way. The real tables hold the sockets of every program on the host, which may come and go.
TEST_P(IpHelperContract, ExtendedTablesAreSizedThenFilled) {
  struct Table {
    const char* name;
    uint32_t rowBytes;
    std::function<uint32_t(uint32_t*, size_t*)> call;  // result; rows delivered
  };
  const Table tables[] = {
      {"TCP", 24,
       [](uint32_t* size, size_t* count) {
         std::vector<TcpRow> rows;
         const uint32_t result = Ip().GetExtendedTcpTable(size, true, win::kAfInet, win::kTcpTableOwnerPidAll, &rows);
         *count = rows.size();
         return result;
       }},
      {"UDP", 12,
       [](uint32_t* size, size_t* count) {
         std::vector<UdpRow> rows;
         const uint32_t result = Ip().GetExtendedUdpTable(size, true, win::kAfInet, win::kUdpTableOwnerPid, &rows);
         *count = rows.size();
         return result;
       }},
  };
  for (const Table& t : tables) {
    SCOPED_TRACE(t.name);
    uint32_t size = 0;
    size_t count = 0;
    ASSERT_EQ(t.call(&size, &count), win::kErrorInsufficientBuffer);
    ASSERT_GE(size, 4u);
    EXPECT_EQ(count, 0u);
    uint32_t result = 0;
    for (int attempt = 0; attempt < 5; ++attempt) {
      const uint32_t asked = size;
      result = t.call(&size, &count);
      if (result == win::kErrorSuccess) {
        EXPECT_LE(4 + count * t.rowBytes, asked);
        break;
      }
      ASSERT_EQ(result, win::kErrorInsufficientBuffer);
    }
    ASSERT_EQ(result, win::kErrorSuccess);
    if (count > 0) {
      // One byte short: too small, unless a socket closed meanwhile; never more rows than fit.
      const uint32_t asked = static_cast<uint32_t>(4 + count * t.rowBytes - 1);
      uint32_t shortSize = asked;
      const uint32_t shortResult = t.call(&shortSize, &count);
      if (shortResult == win::kErrorInsufficientBuffer) {
        EXPECT_GT(shortSize, asked);
      } else {
        ASSERT_EQ(shortResult, win::kErrorSuccess);
        EXPECT_LE(4 + count * t.rowBytes, asked);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, IpHelperContract, testing::ValuesIn(bs_test::ContractBackends()),
                         bs_test::BackendName);

}  // namespace
