#include "platform/fake/code_page.h"

#include <cstdint>
#include <vector>

namespace platform::fake {

namespace {

// The characters of bytes 0x80..0x9F; 0 where the code page leaves the byte unassigned.
constexpr char32_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

std::vector<char32_t> Decode(const std::string& text) {
  std::vector<char32_t> out;
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    const unsigned char lead = s[i];
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    if (length == 1) {
      out.push_back(lead);
      ++i;
      continue;
    }
    char32_t c = length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    size_t j = 1;
    for (; length && j < length && i + j < n && (s[i + j] & 0xC0) == 0x80; ++j) c = (c << 6) | (s[i + j] & 0x3F);
    const char32_t minimum = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (length == 0 || j < length || c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out.push_back(0xFFFD);
      i += length == 0 ? 1 : j;
      continue;
    }
    out.push_back(c);
    i += length;
  }
  return out;
}

// The character a byte of the code page stands for.
char32_t CharOfByte(unsigned char b) { return b >= 0x80 && b < 0xA0 && kHigh[b - 0x80] ? kHigh[b - 0x80] : b; }

// The byte of the code page for a character; '?' where it has none.
char ByteOfChar(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (int k = 0; k < 32; ++k) {
    if (kHigh[k] && kHigh[k] == c) return static_cast<char>(0x80 + k);
  }
  return '?';
}

}  // namespace

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string Utf8ToCp1252(const std::string& text) {
  std::string out;
  for (char32_t c : Decode(text)) out += ByteOfChar(c);
  return out;
}

std::string Cp1252ToUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char byte : text) AppendUtf8(out, CharOfByte(static_cast<unsigned char>(byte)));
  return out;
}

std::u16string Cp1252ToUtf16(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (char byte : text) out += static_cast<char16_t>(CharOfByte(static_cast<unsigned char>(byte)));
  return out;
}

std::string Utf16ToCp1252(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) out += ByteOfChar(c);
  return out;
}

}  // namespace platform::fake
