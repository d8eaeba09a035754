// MD5 of RFC 1321, and file digests through mapped windows over the fake machine.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "inspect/files.h"
#include "inspect/md5.h"
#include "platform/fake/fake_machine.h"
#include "tests/support/forwarding_file_system.h"

namespace {

using inspect::FileMd5Text;
using inspect::Md5Text;
using inspect::TMd5;
using namespace platform;

constexpr const char* kNoData = "d41d8cd98f00b204e9800998ecf8427e";

// Bytes that differ at every offset and do not repeat with a short period.
std::string Pattern(size_t size, uint32_t seed = 1) {
  std::string bytes(size, '\0');
  uint32_t x = seed;
  for (char& c : bytes) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 24);
  }
  return bytes;
}

TEST(Md5, Rfc1321TestSuite) {
  const std::pair<std::string, const char*> cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& [text, digest] : cases) EXPECT_EQ(Md5Text(text), digest) << '"' << text << '"';
}

// Padding crosses into a second block from 56 bytes on; every length around the edges.
TEST(Md5, PaddingEdgesAndPiecewiseFeeding) {
  const std::pair<size_t, const char*> cases[] = {
      {55, "ef1772b6dff9a122358552954ad0df65"}, {56, "3b0c8ac703f828b04c6c197006d17218"},
      {57, "652b906d60af96844ebd21b674f35e93"}, {63, "b06521f39153d618550606be297466d5"},
      {64, "014842d480b571495a4a0363793f7367"}, {65, "c743a45e0d2e6a95cb859adae0248435"},
  };
  for (const auto& [size, digest] : cases) EXPECT_EQ(Md5Text(std::string(size, 'a')), digest) << size;

  // The same bytes split at every offset, fed from unaligned addresses, give the one-shot digest.
  const std::string bytes = Pattern(300);
  const std::string whole = Md5Text(bytes);
  std::vector<char> shifted(bytes.size() + 1);
  std::memcpy(shifted.data() + 1, bytes.data(), bytes.size());
  for (size_t cut = 0; cut <= bytes.size(); ++cut) {
    TMd5 md5;
    md5.Update(shifted.data() + 1, cut);
    md5.Update(shifted.data() + 1 + cut, bytes.size() - cut);
    ASSERT_EQ(TMd5::ToHex(md5.Finish()), whole) << "cut at " << cut;
  }
  TMd5 bytewise;
  for (char c : bytes) bytewise.Update(&c, 1);
  EXPECT_EQ(TMd5::ToHex(bytewise.Finish()), whole);
}

TEST(Md5, FinishStartsOver) {
  TMd5 md5;
  md5.Update("abc", 3);
  EXPECT_EQ(TMd5::ToHex(md5.Finish()), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(TMd5::ToHex(md5.Finish()), kNoData);
}

class FileMd5 : public testing::Test {
 protected:
  void SetUp() override { m.Install(); }
  fake::Machine m;
};

TEST_F(FileMd5, NothingReadableGivesTheDigestOfNoData) {
  m.AddFile("C:\\data\\empty.bin");
  m.AddFile("C:\\data\\held.bin", "contents").lockedExclusive = true;
  for (const char* path : {"C:\\data\\empty.bin", "C:\\data\\held.bin", "C:\\data\\missing.bin", "C:\\nofolder\\x",
                           "C:\\data", ""}) {
    EXPECT_EQ(FileMd5Text(path), kNoData) << path;
  }
}

// With a 64-byte allocation granularity the views are 16 KiB: these files take one, several,
// and exactly whole windows; the fake refuses views not aligned to the granularity.
TEST_F(FileMd5, WindowedDigestEqualsTheOneShotDigest) {
  m.system().allocationGranularity = 64;
  for (size_t size : {size_t{1}, size_t{64}, size_t{16384}, size_t{16385}, size_t{3 * 16384}, size_t{100 * 1024 + 3}}) {
    const std::string bytes = Pattern(size, static_cast<uint32_t>(size));
    m.AddFile("C:\\data\\f.bin", bytes);
    EXPECT_EQ(FileMd5Text("C:\\data\\f.bin"), Md5Text(bytes)) << size;
  }
  m.system().allocationGranularity = 65536;
  const std::string bytes = Pattern(1000);
  m.AddFile("C:\\data\\f.bin", bytes);
  EXPECT_EQ(FileMd5Text("C:\\data\\f.bin"), Md5Text(bytes));
}

// Refuses every view from a given offset on, as a full address space or a failing device
// would, and counts what is mapped and closed.
class RefusingViews : public bs_test::ForwardingFileSystem {
 public:
  explicit RefusingViews(uint64_t refuseFrom) : refuseFrom_(refuseFrom) {}
  const uint8_t* MapViewOfFile(Handle mapping, uint64_t offset, size_t length) override {
    if (offset >= refuseFrom_) return nullptr;
    ++mapped;
    return inner().MapViewOfFile(mapping, offset, length);
  }
  void UnmapViewOfFile(const uint8_t* view) override {
    ++unmapped;
    inner().UnmapViewOfFile(view);
  }
  bool CloseHandle(Handle file) override {
    ++closed;
    return inner().CloseHandle(file);
  }
  int mapped = 0, unmapped = 0, closed = 0;

 private:
  uint64_t refuseFrom_;
};

// A view refused after the first must not pass off the digest of a prefix as the file's;
// a refused first view is a mapping that cannot be made, which feeds nothing.
TEST_F(FileMd5, RefusedViewMidFileRaisesAndReleasesEverything) {
  m.system().allocationGranularity = 64;
  m.AddFile("C:\\data\\big.bin", Pattern(40000));
  {
    RefusingViews midFile(16384);
    midFile.Install();
    EXPECT_THROW(FileMd5Text("C:\\data\\big.bin"), inspect::EFileReadError);
    EXPECT_EQ(midFile.mapped, 1);
    EXPECT_EQ(midFile.unmapped, 1);
    EXPECT_EQ(midFile.closed, 2);  // the mapping and the file
  }
  RefusingViews firstView(0);
  firstView.Install();
  EXPECT_EQ(FileMd5Text("C:\\data\\big.bin"), kNoData);
  EXPECT_EQ(firstView.closed, 2);
}

#ifndef _WIN32
// FileMd5Text over the fake against md5sum over the same bytes in a real temporary file.
TEST(Md5Sum, FileDigestsMatchMd5sum) {
  const std::string tmp = testing::TempDir() + "bs-md5sum-check.bin";
  fake::Machine m;
  m.system().allocationGranularity = 4096;  // 1 MiB views: the largest file takes two
  m.Install();
  for (size_t size : {0, 1, 55, 56, 63, 64, 65, 1000, (1 << 20) + 3}) {
    const std::string bytes = Pattern(size, static_cast<uint32_t>(size) + 7);
    std::ofstream(tmp, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    FILE* pipe = popen(("md5sum '" + tmp + "' 2>/dev/null").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[128] = {};
    const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
    const int status = pclose(pipe);
    if (!got || status != 0) GTEST_SKIP() << "md5sum is not available";
    m.AddFile("C:\\data\\f.bin", bytes);
    EXPECT_EQ(FileMd5Text("C:\\data\\f.bin"), std::string(line, 32)) << size;
  }
  std::remove(tmp.c_str());
}
#endif

}  // namespace
