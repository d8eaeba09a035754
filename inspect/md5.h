// MD5 (RFC 1321).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace inspect {

class TMd5 {
 public:
  TMd5();
  void Update(const void* data, size_t size);
  std::array<uint8_t, 16> Finish();
  // 32 lowercase hexadecimal digits of a digest.
  static std::string ToHex(const std::array<uint8_t, 16>& digest);

 private:
  void Block(const uint8_t* block);
  uint32_t state_[4];
  uint64_t length_ = 0;  // bytes fed so far
  uint8_t buffer_[64];
  size_t buffered_ = 0;
};

// MD5 text of a byte string.
std::string Md5Text(const std::string& data);

}  // namespace inspect
