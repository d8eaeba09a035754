#include "scan/report.h"

#include <cctype>

namespace scan {

namespace {
std::string FoldCase(const std::string& text) {
  std::string folded = text;
  for (char& c : folded) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return folded;
}
}  // namespace

void TReport::Add(std::string item) {
  firstIndex_.try_emplace(FoldCase(item), items_.size());
  items_.push_back(std::move(item));
}

long TReport::IndexOf(const std::string& item) const {
  auto it = firstIndex_.find(FoldCase(item));
  return it == firstIndex_.end() ? -1 : static_cast<long>(it->second);
}

std::string TReport::Text() const {
  size_t size = 0;
  for (const auto& item : items_) size += item.size() + 2;
  std::string text;
  text.reserve(size);
  for (const auto& item : items_) {
    text += item;
    text += "\r\n";
  }
  return text;
}

}  // namespace scan
