#include "inspect/md5.h"

#include <bit>
#include <cstring>

namespace inspect {
namespace {

inline uint32_t LoadLe32(const uint8_t* p) {
  uint32_t value;
  std::memcpy(&value, p, 4);  // one unaligned load on x86
  if constexpr (std::endian::native == std::endian::big) {
    value = (value >> 24) | ((value >> 8) & 0xFF00) | ((value << 8) & 0xFF0000) | (value << 24);
  }
  return value;
}

inline void StoreLe32(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
  p[3] = static_cast<uint8_t>(value >> 24);
}

// The four rounds of RFC 1321, 3.4. F and G in forms with fewer dependent operations.
#define MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))
#define MD5_STEP(f, a, b, c, d, x, t, s) \
  a += f(b, c, d) + (x) + (t);           \
  a = std::rotl(a, s) + (b);
// G(b,c,d) = (b & d) | (c & ~d); the two halves never share a bit, so they may be added separately.
#define MD5_STEP_G(a, b, c, d, x, t, s) \
  a += ((c) & ~(d)) + (x) + (t);        \
  a += (b) & (d);                       \
  a = std::rotl(a, s) + (b);

}  // namespace

TMd5::TMd5() : state_{0x67452301u, 0xefcdab89u, 0x98badcfeu, 0x10325476u}, buffer_{} {}

void TMd5::Block(const uint8_t* block) {
  const uint32_t x0 = LoadLe32(block), x1 = LoadLe32(block + 4), x2 = LoadLe32(block + 8),
                 x3 = LoadLe32(block + 12), x4 = LoadLe32(block + 16), x5 = LoadLe32(block + 20),
                 x6 = LoadLe32(block + 24), x7 = LoadLe32(block + 28), x8 = LoadLe32(block + 32),
                 x9 = LoadLe32(block + 36), x10 = LoadLe32(block + 40), x11 = LoadLe32(block + 44),
                 x12 = LoadLe32(block + 48), x13 = LoadLe32(block + 52), x14 = LoadLe32(block + 56),
                 x15 = LoadLe32(block + 60);
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];

  MD5_STEP(MD5_F, a, b, c, d, x0, 0xd76aa478, 7)
  MD5_STEP(MD5_F, d, a, b, c, x1, 0xe8c7b756, 12)
  MD5_STEP(MD5_F, c, d, a, b, x2, 0x242070db, 17)
  MD5_STEP(MD5_F, b, c, d, a, x3, 0xc1bdceee, 22)
  MD5_STEP(MD5_F, a, b, c, d, x4, 0xf57c0faf, 7)
  MD5_STEP(MD5_F, d, a, b, c, x5, 0x4787c62a, 12)
  MD5_STEP(MD5_F, c, d, a, b, x6, 0xa8304613, 17)
  MD5_STEP(MD5_F, b, c, d, a, x7, 0xfd469501, 22)
  MD5_STEP(MD5_F, a, b, c, d, x8, 0x698098d8, 7)
  MD5_STEP(MD5_F, d, a, b, c, x9, 0x8b44f7af, 12)
  MD5_STEP(MD5_F, c, d, a, b, x10, 0xffff5bb1, 17)
  MD5_STEP(MD5_F, b, c, d, a, x11, 0x895cd7be, 22)
  MD5_STEP(MD5_F, a, b, c, d, x12, 0x6b901122, 7)
  MD5_STEP(MD5_F, d, a, b, c, x13, 0xfd987193, 12)
  MD5_STEP(MD5_F, c, d, a, b, x14, 0xa679438e, 17)
  MD5_STEP(MD5_F, b, c, d, a, x15, 0x49b40821, 22)

  MD5_STEP_G(a, b, c, d, x1, 0xf61e2562, 5)
  MD5_STEP_G(d, a, b, c, x6, 0xc040b340, 9)
  MD5_STEP_G(c, d, a, b, x11, 0x265e5a51, 14)
  MD5_STEP_G(b, c, d, a, x0, 0xe9b6c7aa, 20)
  MD5_STEP_G(a, b, c, d, x5, 0xd62f105d, 5)
  MD5_STEP_G(d, a, b, c, x10, 0x02441453, 9)
  MD5_STEP_G(c, d, a, b, x15, 0xd8a1e681, 14)
  MD5_STEP_G(b, c, d, a, x4, 0xe7d3fbc8, 20)
  MD5_STEP_G(a, b, c, d, x9, 0x21e1cde6, 5)
  MD5_STEP_G(d, a, b, c, x14, 0xc33707d6, 9)
  MD5_STEP_G(c, d, a, b, x3, 0xf4d50d87, 14)
  MD5_STEP_G(b, c, d, a, x8, 0x455a14ed, 20)
  MD5_STEP_G(a, b, c, d, x13, 0xa9e3e905, 5)
  MD5_STEP_G(d, a, b, c, x2, 0xfcefa3f8, 9)
  MD5_STEP_G(c, d, a, b, x7, 0x676f02d9, 14)
  MD5_STEP_G(b, c, d, a, x12, 0x8d2a4c8a, 20)

  MD5_STEP(MD5_H, a, b, c, d, x5, 0xfffa3942, 4)
  MD5_STEP(MD5_H, d, a, b, c, x8, 0x8771f681, 11)
  MD5_STEP(MD5_H, c, d, a, b, x11, 0x6d9d6122, 16)
  MD5_STEP(MD5_H, b, c, d, a, x14, 0xfde5380c, 23)
  MD5_STEP(MD5_H, a, b, c, d, x1, 0xa4beea44, 4)
  MD5_STEP(MD5_H, d, a, b, c, x4, 0x4bdecfa9, 11)
  MD5_STEP(MD5_H, c, d, a, b, x7, 0xf6bb4b60, 16)
  MD5_STEP(MD5_H, b, c, d, a, x10, 0xbebfbc70, 23)
  MD5_STEP(MD5_H, a, b, c, d, x13, 0x289b7ec6, 4)
  MD5_STEP(MD5_H, d, a, b, c, x0, 0xeaa127fa, 11)
  MD5_STEP(MD5_H, c, d, a, b, x3, 0xd4ef3085, 16)
  MD5_STEP(MD5_H, b, c, d, a, x6, 0x04881d05, 23)
  MD5_STEP(MD5_H, a, b, c, d, x9, 0xd9d4d039, 4)
  MD5_STEP(MD5_H, d, a, b, c, x12, 0xe6db99e5, 11)
  MD5_STEP(MD5_H, c, d, a, b, x15, 0x1fa27cf8, 16)
  MD5_STEP(MD5_H, b, c, d, a, x2, 0xc4ac5665, 23)

  MD5_STEP(MD5_I, a, b, c, d, x0, 0xf4292244, 6)
  MD5_STEP(MD5_I, d, a, b, c, x7, 0x432aff97, 10)
  MD5_STEP(MD5_I, c, d, a, b, x14, 0xab9423a7, 15)
  MD5_STEP(MD5_I, b, c, d, a, x5, 0xfc93a039, 21)
  MD5_STEP(MD5_I, a, b, c, d, x12, 0x655b59c3, 6)
  MD5_STEP(MD5_I, d, a, b, c, x3, 0x8f0ccc92, 10)
  MD5_STEP(MD5_I, c, d, a, b, x10, 0xffeff47d, 15)
  MD5_STEP(MD5_I, b, c, d, a, x1, 0x85845dd1, 21)
  MD5_STEP(MD5_I, a, b, c, d, x8, 0x6fa87e4f, 6)
  MD5_STEP(MD5_I, d, a, b, c, x15, 0xfe2ce6e0, 10)
  MD5_STEP(MD5_I, c, d, a, b, x6, 0xa3014314, 15)
  MD5_STEP(MD5_I, b, c, d, a, x13, 0x4e0811a1, 21)
  MD5_STEP(MD5_I, a, b, c, d, x4, 0xf7537e82, 6)
  MD5_STEP(MD5_I, d, a, b, c, x11, 0xbd3af235, 10)
  MD5_STEP(MD5_I, c, d, a, b, x2, 0x2ad7d2bb, 15)
  MD5_STEP(MD5_I, b, c, d, a, x9, 0xeb86d391, 21)

  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
}

#undef MD5_F
#undef MD5_H
#undef MD5_I
#undef MD5_STEP
#undef MD5_STEP_G

// Whole blocks are hashed where they lie in the caller's buffer; only a partial block is copied.
void TMd5::Update(const void* data, size_t size) {
  if (size == 0) return;
  const auto* p = static_cast<const uint8_t*>(data);
  length_ += size;
  if (buffered_ > 0) {
    const size_t take = size < 64 - buffered_ ? size : 64 - buffered_;
    std::memcpy(buffer_ + buffered_, p, take);
    buffered_ += take;
    p += take;
    size -= take;
    if (buffered_ < 64) return;
    Block(buffer_);
    buffered_ = 0;
  }
  for (; size >= 64; p += 64, size -= 64) Block(p);
  if (size > 0) {
    std::memcpy(buffer_, p, size);
    buffered_ = size;
  }
}

// Pads as RFC 1321, 3.1-3.2, returns the digest and starts over.
std::array<uint8_t, 16> TMd5::Finish() {
  const uint64_t bits = length_ * 8;
  uint8_t tail[72] = {0x80};
  const size_t padding = (buffered_ < 56 ? 56 : 120) - buffered_;
  for (int i = 0; i < 8; ++i) tail[padding + i] = static_cast<uint8_t>(bits >> (8 * i));
  Update(tail, padding + 8);
  std::array<uint8_t, 16> digest;
  for (int i = 0; i < 4; ++i) StoreLe32(digest.data() + 4 * i, state_[i]);
  *this = TMd5();
  return digest;
}

std::string TMd5::ToHex(const std::array<uint8_t, 16>& digest) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text(32, '0');
  for (size_t i = 0; i < digest.size(); ++i) {
    text[2 * i] = kHex[digest[i] >> 4];
    text[2 * i + 1] = kHex[digest[i] & 0x0F];
  }
  return text;
}

std::string Md5Text(const std::string& data) {
  TMd5 md5;
  md5.Update(data.data(), data.size());
  return TMd5::ToHex(md5.Finish());
}

}  // namespace inspect
