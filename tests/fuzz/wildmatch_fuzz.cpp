// Browser values are whatever malware wrote: any text against any pattern must be matched
// without crashing, and short ones exactly as the plain recursive walk decides.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "scan/wildcard.h"

namespace {

// The walk as the matcher's rules state it, recursion and all (exponential: short inputs only).
bool Walk(const std::string& t, size_t i, const std::string& p, size_t j) {
  while (i < t.size() && j < p.size()) {
    if (t[i] == '?' || p[j] == '?') {
      ++i, ++j;
    } else if (t[i] == '*') {
      if (++i == t.size()) return true;
      for (size_t k = j; k < p.size(); ++k) {
        if (Walk(t, i, p, k)) return true;
      }
      return false;
    } else if (p[j] == '*') {
      if (++j == p.size()) return true;
      for (size_t k = i; k < t.size(); ++k) {
        if (Walk(t, k, p, j)) return true;
      }
      return false;
    } else if (t[i] == p[j]) {
      ++i, ++j;
    } else {
      return false;
    }
  }
  if (i == t.size()) {
    while (j < p.size() && p[j] == '*') ++j;
    return j == p.size();
  }
  while (i < t.size() && t[i] == '*') ++i;
  return i == t.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Text and pattern are split at the first NUL (or in the middle when there is none).
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  size_t split = bytes.find('\0');
  const bool hasNul = split != std::string::npos;
  if (!hasNul) split = size / 2;
  const std::string text = bytes.substr(0, split);
  const std::string pattern = bytes.substr(hasNul ? split + 1 : split);

  scan::TWildCard matcher;
  const bool match = matcher.WildMatch(text, pattern);
  if (text.size() <= 8 && pattern.size() <= 8 && match != Walk(text, 0, pattern, 0)) std::abort();
  if (text.size() <= 300 && !matcher.WildMatch(text, text)) std::abort();  // every text matches itself
  return 0;
}
