#include "platform/fake/reg_import.h"

#include <cctype>
#include <sstream>
#include <vector>

namespace platform::fake {

namespace {

RegKey RootFromName(const std::string& name) {
  static const std::pair<const char*, RegKey> names[] = {
      {"HKEY_CLASSES_ROOT", kHkeyClassesRoot},   {"HKCR", kHkeyClassesRoot},
      {"HKEY_CURRENT_USER", kHkeyCurrentUser},   {"HKCU", kHkeyCurrentUser},
      {"HKEY_LOCAL_MACHINE", kHkeyLocalMachine}, {"HKLM", kHkeyLocalMachine},
      {"HKEY_USERS", kHkeyUsers},                {"HKU", kHkeyUsers},
      {"HKEY_CURRENT_CONFIG", kHkeyCurrentConfig}};
  for (auto& [n, root] : names) {
    if (EqualNoCase(n, name)) return root;
  }
  return 0;
}

std::vector<uint8_t> ParseHexBytes(const std::string& text) {
  std::vector<uint8_t> bytes;
  std::string hex;
  for (char c : text) {
    if (std::isxdigit(static_cast<unsigned char>(c))) {
      hex += c;
    } else if (c == ',') {
      if (!hex.empty()) bytes.push_back(static_cast<uint8_t>(std::stoul(hex, nullptr, 16)));
      hex.clear();
    }
  }
  if (!hex.empty()) bytes.push_back(static_cast<uint8_t>(std::stoul(hex, nullptr, 16)));
  return bytes;
}

// Reads a quoted string starting at text[pos] == '"'; returns it unescaped.
std::string ParseQuoted(const std::string& text, size_t& pos) {
  std::string out;
  ++pos;
  while (pos < text.size() && text[pos] != '"') {
    if (text[pos] == '\\' && pos + 1 < text.size()) ++pos;
    out += text[pos++];
  }
  ++pos;
  return out;
}

// The logical lines: continuation lines joined, CR dropped.
std::vector<std::string> JoinedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string current;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t start = current.empty() ? 0 : line.find_first_not_of(" \t");
    if (start == std::string::npos) start = line.size();
    current += line.substr(start);
    if (!current.empty() && current.back() == '\\' && current.find('=') != std::string::npos &&
        current[0] != '[') {
      current.pop_back();
      continue;
    }
    lines.push_back(current);
    current.clear();
  }
  if (!current.empty()) lines.push_back(current);
  return lines;
}

// The value of one value line's data; nullopt for a form it does not know.
std::optional<RegValue> ParseData(const std::string& data) {
  if (!data.empty() && data[0] == '"') {
    size_t p = 0;
    return RegValue{win::kRegSz, StringBytes(ParseQuoted(data, p))};
  }
  if (data.rfind("dword:", 0) == 0) {
    return RegValue{win::kRegDword, DwordBytes(static_cast<uint32_t>(std::stoul(data.substr(6), nullptr, 16)))};
  }
  if (data.rfind("hex:", 0) == 0) return RegValue{win::kRegBinary, ParseHexBytes(data.substr(4))};
  if (data.rfind("hex(", 0) == 0) {
    auto close = data.find("):");
    if (close == std::string::npos) return std::nullopt;
    uint32_t type = static_cast<uint32_t>(std::stoul(data.substr(4, close - 4), nullptr, 16));
    return RegValue{type, ParseHexBytes(data.substr(close + 2))};
  }
  return std::nullopt;
}

}  // namespace

void ImportReg(RegistryTree& registry, const std::string& text) {
  RegKey root = 0;
  std::string keyPath;
  for (const std::string& l : JoinedLines(text)) {
    if (l.empty() || l[0] == ';') continue;
    if (l[0] == '[') {
      std::string full = l.substr(1, l.rfind(']') - 1);
      bool remove = !full.empty() && full[0] == '-';
      if (remove) full = full.substr(1);
      auto slash = full.find('\\');
      root = RootFromName(full.substr(0, slash));
      keyPath = slash == std::string::npos ? "" : full.substr(slash + 1);
      if (!root) continue;
      if (remove) {
        registry.RemoveTree(root, keyPath);
        root = 0;
      } else {
        registry.Make(root, keyPath);
      }
      continue;
    }
    if (!root) continue;
    size_t pos = 0;
    std::string name;
    if (l[0] == '@') {
      pos = 1;
    } else if (l[0] == '"') {
      name = ParseQuoted(l, pos);
    } else {
      continue;
    }
    auto eq = l.find('=', pos);
    if (eq == std::string::npos) continue;
    std::string data = l.substr(eq + 1);
    if (data == "-") {
      if (auto node = registry.Find(root, keyPath)) node->RemoveValue(name);
    } else if (auto value = ParseData(data)) {
      registry.Make(root, keyPath)->SetValue(name, std::move(*value));
    }
  }
}

}  // namespace platform::fake
