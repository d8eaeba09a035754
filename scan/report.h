// The report of one scan: an ordered list of text items.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

namespace scan {

class TReport {
 public:
  // An item may hold CR LF and then prints as several lines; an empty item prints as an empty line.
  void Add(std::string item);
  size_t Count() const { return items_.size(); }
  const std::string& Item(size_t index) const { return items_.at(index); }
  // Index of the first item equal to `item` with letter case ignored (ASCII letters; other
  // bytes compare exactly); -1 when there is none. Kept in an index so that duplicate checks
  // cost no walk over the report.
  long IndexOf(const std::string& item) const;
  // Every item followed by CR LF.
  std::string Text() const;

  // The files whose description line the report holds, by a key of the caller's (letter case
  // ignored as IndexOf ignores it) and the state of the file then: describing it again unchanged
  // would read it for a line the report suppresses.
  bool Described(const std::string& key, const std::string& state) const;
  void NoteDescribed(const std::string& key, const std::string& state);

 private:
  std::vector<std::string> items_;
  std::unordered_map<std::string, size_t> firstIndex_;  // upper-cased item -> first index
  std::unordered_map<std::string, std::string> described_;  // upper-cased key -> state
};

}  // namespace scan
