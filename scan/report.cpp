#include "scan/report.h"

#include "inspect/text.h"

namespace scan {

namespace {
// The case rule of the look-up: ASCII letters only, the same rule as inspect::EqualNoCase and
// independent of the C library's locale. Bytes 0x80..0xFF of the code page compare exactly.
std::string FoldCase(const std::string& text) { return inspect::UpperAscii(text); }
}  // namespace

void TReport::Add(std::string item) {
  std::string key = FoldCase(item);
  items_.push_back(std::move(item));
  try {
    firstIndex_.try_emplace(std::move(key), items_.size() - 1);
  } catch (...) {
    items_.pop_back();  // no item the index does not know about
    throw;
  }
}

long TReport::IndexOf(const std::string& item) const {
  auto it = firstIndex_.find(FoldCase(item));
  return it == firstIndex_.end() ? -1 : static_cast<long>(it->second);
}

bool TReport::Described(const std::string& key, const std::string& state) const {
  auto it = described_.find(FoldCase(key));
  return it != described_.end() && it->second == state;
}

void TReport::NoteDescribed(const std::string& key, const std::string& state) {
  described_.insert_or_assign(FoldCase(key), state);
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
