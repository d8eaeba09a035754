#include "platform/fake/profile_text.h"

#include <sstream>
#include <vector>

#include "platform/fake/machine_state.h"

namespace platform::fake {

namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

// A trimmed line "[name]" opens the section `name`, itself trimmed.
bool OpensSection(const std::string& trimmed, const std::string& section) {
  auto close = trimmed.find(']');
  return close != std::string::npos && EqualNoCase(Trim(trimmed.substr(1, close - 1)), section);
}

bool IsEntryOf(const std::string& trimmed, const std::string& key) {
  auto eq = trimmed.find('=');
  return eq != std::string::npos && EqualNoCase(Trim(trimmed.substr(0, eq)), key);
}

}  // namespace

std::optional<std::string> ReadProfileString(const std::string& text, const std::string& section,
                                             const std::string& key) {
  std::istringstream in(text);
  std::string line;
  bool inSection = false;
  bool passed = false;  // only the first section of the name counts
  while (std::getline(in, line)) {
    std::string t = Trim(line);
    if (!t.empty() && t[0] == '[') {
      if (inSection) passed = true;
      inSection = !passed && OpensSection(t, section);
      continue;
    }
    if (!inSection || !IsEntryOf(t, key)) continue;
    std::string v = Trim(t.substr(t.find('=') + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
      v = v.substr(1, v.size() - 2);
    }
    return v;
  }
  return std::nullopt;
}

std::string WriteProfileString(const std::string& text, const std::string& section, const std::string& key,
                               const std::string& value) {
  std::istringstream in(text);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  int sectionLine = -1, keyLine = -1, sectionEnd = -1;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string t = Trim(lines[i]);
    if (!t.empty() && t[0] == '[') {
      if (sectionLine >= 0 && sectionEnd < 0) sectionEnd = static_cast<int>(i);
      if (sectionLine < 0 && OpensSection(t, section)) sectionLine = static_cast<int>(i);
      continue;
    }
    if (sectionLine >= 0 && sectionEnd < 0 && keyLine < 0 && IsEntryOf(t, key)) keyLine = static_cast<int>(i);
  }
  std::string entry = key + "=" + value;
  if (keyLine >= 0) {
    lines[keyLine] = entry;
  } else if (sectionLine >= 0) {
    int at = sectionEnd < 0 ? static_cast<int>(lines.size()) : sectionEnd;
    while (at - 1 > sectionLine && Trim(lines[at - 1]).empty()) --at;
    lines.insert(lines.begin() + at, entry);
  } else {
    lines.push_back("[" + section + "]");
    lines.push_back(entry);
  }
  std::string out;
  for (auto& l : lines) out += l + "\r\n";
  return out;
}

}  // namespace platform::fake
