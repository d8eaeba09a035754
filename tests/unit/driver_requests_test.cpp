// The driver's four requests over a kernel of the test's own: answers, and the addresses and
// buffers it must refuse. Kernel bytes come only from the kernel image and the service table:
// a readable page anywhere else is refused.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "driver/kvdrv_requests.h"

namespace {

// Readable kernel memory is a map of address to byte; everything else is not there.
struct TestKernel {
  uint32_t table = 0;
  uint32_t count = 0;
  uint32_t syscallEntry = 0x80541000;
  uint32_t imageBase = 0, imageSize = 0;
  std::map<uint32_t, uint8_t> memory;

  void Put(uint32_t address, const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) memory[address + static_cast<uint32_t>(i)] = bytes[i];
  }
  void PutU32(uint32_t address, uint32_t value) {
    Put(address, {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)});
  }

  KvKernel Interface() {
    KvKernel k{};
    k.context = this;
    k.service_table = [](void* c, uint32_t* n) {
      auto* self = static_cast<TestKernel*>(c);
      *n = self->count;
      return self->table;
    };
    k.kernel_image = [](void* c, uint32_t* size) {
      auto* self = static_cast<TestKernel*>(c);
      *size = self->imageSize;
      return self->imageBase;
    };
    k.is_readable = [](void* c, uint32_t address, uint32_t length) {
      auto* self = static_cast<TestKernel*>(c);
      for (uint32_t i = 0; i < length; ++i) {
        if (address + i < address || !self->memory.count(address + i)) return 0;
      }
      return 1;
    };
    k.read = [](void* c, uint32_t address, void* out, uint32_t length) {
      auto* self = static_cast<TestKernel*>(c);
      for (uint32_t i = 0; i < length; ++i) static_cast<uint8_t*>(out)[i] = self->memory.at(address + i);
    };
    k.syscall_entry = [](void* c) { return static_cast<TestKernel*>(c)->syscallEntry; };
    return k;
  }
};

struct Answer {
  int32_t status;
  uint32_t information;
  std::vector<uint8_t> bytes;  // the first `information` bytes of the buffer
};

constexpr uint8_t kGuard = 0xCC;

// Runs one request with a buffer of exactly max(in, out) bytes between guard bytes.
Answer Ask(TestKernel& kernel, uint32_t code, uint32_t input, uint32_t inLength, uint32_t outLength) {
  const uint32_t size = std::max(inLength, outLength);
  std::vector<uint8_t> buffer(size + 16, kGuard);
  std::memcpy(buffer.data() + 8, &input, std::min<uint32_t>(inLength, 4));
  const KvKernel k = kernel.Interface();
  Answer answer{};
  answer.status = KvHandleRequest(&k, code, buffer.data() + 8, inLength, outLength, &answer.information);
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(buffer[i], kGuard) << "wrote before the buffer";
    EXPECT_EQ(buffer[8 + size + i], kGuard) << "wrote past the buffer";
  }
  answer.bytes.assign(buffer.begin() + 8, buffer.begin() + 8 + std::min(answer.information, size));
  return answer;
}

std::vector<uint8_t> U32(uint32_t value) {
  return {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
}

class DriverRequests : public ::testing::Test {
 protected:
  void SetUp() override {
    kernel.table = 0x804E2000;
    kernel.count = 3;
    kernel.PutU32(0x804E2000, 0x805A1111);
    kernel.PutU32(0x804E2004, 0x805A2222);
    kernel.PutU32(0x804E2008, 0x805A3333);
    kernel.PutU32(0x804E200C, 0xDEADBEEF);  // readable, but past the table
    kernel.imageBase = 0x80600000;
    kernel.imageSize = 0x1000;
    // A routine whose page ends five bytes after it.
    std::vector<uint8_t> code;
    for (uint8_t i = 0; i < 32; ++i) code.push_back(static_cast<uint8_t>(0x90 + i));
    kernel.Put(0x80600000, code);
    // Readable memory across the image's end, and a readable page of another module.
    kernel.Put(0x80600FF8, code);
    kernel.Put(0x80700000, code);
  }
  TestKernel kernel;
};

TEST_F(DriverRequests, AnswersAndRefusals) {
  struct Case {
    const char* what;
    uint32_t code, input, in, out;
    int32_t status;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"table address", KV_IOCTL_GET_SERVICE_TABLE, 0, 0, 4, KV_STATUS_SUCCESS, U32(0x804E2000)},
      {"table into 3 bytes", KV_IOCTL_GET_SERVICE_TABLE, 0, 0, 3, KV_STATUS_BUFFER_TOO_SMALL, {}},
      {"first entry", KV_IOCTL_READ_SERVICE_ENTRY, 0, 4, 4, KV_STATUS_SUCCESS, U32(0x805A1111)},
      {"last entry", KV_IOCTL_READ_SERVICE_ENTRY, 2, 4, 4, KV_STATUS_SUCCESS, U32(0x805A3333)},
      {"entry past the table", KV_IOCTL_READ_SERVICE_ENTRY, 3, 4, 4, KV_STATUS_INVALID_PARAMETER, {}},
      {"entry without a number", KV_IOCTL_READ_SERVICE_ENTRY, 0, 3, 4, KV_STATUS_BUFFER_TOO_SMALL, {}},
      {"15 kernel bytes", KV_IOCTL_READ_KERNEL_BYTES, 0x80600000, 4, 15, KV_STATUS_SUCCESS,
       {0x90, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9A, 0x9B, 0x9C, 0x9D, 0x9E}},
      {"bytes up to the end of what is there", KV_IOCTL_READ_KERNEL_BYTES, 0x8060001B, 4, 15, KV_STATUS_SUCCESS,
       {0xAB, 0xAC, 0xAD, 0xAE, 0xAF}},
      {"bytes up to the image's end", KV_IOCTL_READ_KERNEL_BYTES, 0x80600FFC, 4, 15, KV_STATUS_SUCCESS,
       {0x94, 0x95, 0x96, 0x97}},
      {"bytes of the table, up to its end", KV_IOCTL_READ_KERNEL_BYTES, 0x804E2004, 4, 15, KV_STATUS_SUCCESS,
       {0x22, 0x22, 0x5A, 0x80, 0x33, 0x33, 0x5A, 0x80}},
      {"bytes of a readable page outside the image", KV_IOCTL_READ_KERNEL_BYTES, 0x80700000, 4, 15,
       KV_STATUS_ACCESS_VIOLATION, {}},
      {"bytes just past the table", KV_IOCTL_READ_KERNEL_BYTES, 0x804E200C, 4, 15, KV_STATUS_ACCESS_VIOLATION, {}},
      {"bytes of a user address", KV_IOCTL_READ_KERNEL_BYTES, 0x00401000, 4, 15, KV_STATUS_ACCESS_VIOLATION, {}},
      {"bytes at the top of the address space", KV_IOCTL_READ_KERNEL_BYTES, 0xFFFFFFF8, 4, 15,
       KV_STATUS_ACCESS_VIOLATION, {}},
      {"bytes into 14", KV_IOCTL_READ_KERNEL_BYTES, 0x80600000, 4, 14, KV_STATUS_BUFFER_TOO_SMALL, {}},
      {"system-call entry", KV_IOCTL_GET_SYSCALL_ENTRY, 0, 0, 4, KV_STATUS_SUCCESS, U32(0x80541000)},
      {"unknown request", KV_IOCTL(0x805), 0, 4, 4, KV_STATUS_INVALID_DEVICE_REQUEST, {}},
      {"another device type", 0x0012E004, 0, 0, 4, KV_STATUS_INVALID_DEVICE_REQUEST, {}},
  };
  for (const Case& c : cases) {
    const Answer answer = Ask(kernel, c.code, c.input, c.in, c.out);
    EXPECT_EQ(answer.status, c.status) << c.what;
    EXPECT_EQ(answer.information, c.bytes.size()) << c.what;
    EXPECT_EQ(answer.bytes, c.bytes) << c.what;
  }
}

TEST_F(DriverRequests, ATableThatIsMissingOrNotMappedIsAnErrorNotARead) {
  kernel.table = 0x90000000;  // nothing there
  EXPECT_EQ(Ask(kernel, KV_IOCTL_READ_SERVICE_ENTRY, 1, 4, 4).status, KV_STATUS_ACCESS_VIOLATION);

  // A number whose entry would lie past 4 GiB.
  kernel.table = 0xFFFFFFF0;
  kernel.count = 0x40000000;
  EXPECT_EQ(Ask(kernel, KV_IOCTL_READ_SERVICE_ENTRY, 4, 4, 4).status, KV_STATUS_INVALID_PARAMETER);

  kernel.table = 0;
  EXPECT_EQ(Ask(kernel, KV_IOCTL_GET_SERVICE_TABLE, 0, 0, 4).status, KV_STATUS_UNSUCCESSFUL);
  EXPECT_EQ(Ask(kernel, KV_IOCTL_READ_SERVICE_ENTRY, 0, 4, 4).status, KV_STATUS_UNSUCCESSFUL);
  kernel.syscallEntry = 0;
  EXPECT_EQ(Ask(kernel, KV_IOCTL_GET_SYSCALL_ENTRY, 0, 0, 4).status, KV_STATUS_UNSUCCESSFUL);

  // Without a known kernel image no code bytes are answered.
  kernel.imageBase = kernel.imageSize = 0;
  EXPECT_EQ(Ask(kernel, KV_IOCTL_READ_KERNEL_BYTES, 0x80600000, 4, 15).status, KV_STATUS_ACCESS_VIOLATION);
}

}  // namespace
