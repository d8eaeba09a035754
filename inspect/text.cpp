#include "inspect/text.h"

#include <algorithm>
#include <iterator>

namespace inspect {

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

bool EqualNoCase(const std::string& a, const std::string& b) { return UpperAscii(a) == UpperAscii(b); }

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
