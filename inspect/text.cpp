#include "inspect/text.h"

#include <algorithm>
#include <charconv>
#include <iterator>

namespace inspect {

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

bool EqualNoCase(const std::string& a, const std::string& b) { return UpperAscii(a) == UpperAscii(b); }

bool ParseInt32(const std::string& text, int32_t* value) {
  const char* first = text.data();
  const char* last = first + text.size();
  // from_chars takes "-" but not "+"; a sign must be followed by a digit.
  if (first != last && *first == '+') ++first;
  if (first == last || *first == '+' || (first != text.data() && *first == '-')) return false;
  int32_t parsed = 0;
  const auto [end, error] = std::from_chars(first, last, parsed);
  if (error != std::errc() || end != last) return false;
  *value = parsed;
  return true;
}

std::string TrimControls(const std::string& text) {
  auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  auto begin = std::find_if_not(text.begin(), text.end(), isBlank);
  auto end = std::find_if_not(text.rbegin(), std::make_reverse_iterator(begin), isBlank).base();
  return std::string(begin, end);
}

std::string FolderPart(const std::string& path) {
  const auto pos = path.rfind('\\');
  return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

std::string FileNamePart(const std::string& path) {
  const auto pos = path.rfind('\\');
  return pos == std::string::npos ? path : path.substr(pos + 1);
}

}  // namespace inspect
