// Names compared as Windows compares registry and file names of the code page: ASCII letters
// without regard to case, other bytes as they are.
#pragma once

#include <string>

namespace platform {

inline std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

inline bool EqualNoCase(const std::string& a, const std::string& b) { return UpperAscii(a) == UpperAscii(b); }

}  // namespace platform
