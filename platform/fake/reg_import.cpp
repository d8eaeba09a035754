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

// Hexadecimal digits only, at most eight of them; false for anything else.
bool ParseHex32(const std::string& text, uint32_t* out) {
  if (text.empty() || text.size() > 8) return false;
  uint32_t value = 0;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    value = value * 16 + static_cast<uint32_t>(std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                                                                                          : (c | 0x20) - 'a' + 10);
  }
  *out = value;
  return true;
}

// "hex:" data: bytes of one or two digits separated by commas (blanks ignored); nullopt for
// anything else, so that a damaged line is skipped as the Registry Editor rejects it.
std::optional<std::vector<uint8_t>> ParseHexBytes(const std::string& text) {
  std::vector<uint8_t> bytes;
  std::string hex;
  auto flush = [&]() {
    uint32_t byte = 0;
    if (hex.size() > 2 || !ParseHex32(hex, &byte)) return false;
    bytes.push_back(static_cast<uint8_t>(byte));
    hex.clear();
    return true;
  };
  for (char c : text) {
    if (c == ',') {
      if (!flush()) return std::nullopt;
    } else if (c != ' ' && c != '\t') {
      hex += c;
    }
  }
  if (!hex.empty() && !flush()) return std::nullopt;
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
    uint32_t dword = 0;
    if (!ParseHex32(data.substr(6), &dword)) return std::nullopt;
    return RegValue{win::kRegDword, DwordBytes(dword)};
  }
  if (data.rfind("hex:", 0) == 0) {
    auto bytes = ParseHexBytes(data.substr(4));
    if (!bytes) return std::nullopt;
    return RegValue{win::kRegBinary, std::move(*bytes)};
  }
  if (data.rfind("hex(", 0) == 0) {
    auto close = data.find("):");
    uint32_t type = 0;
    if (close == std::string::npos || !ParseHex32(data.substr(4, close - 4), &type)) return std::nullopt;
    auto bytes = ParseHexBytes(data.substr(close + 2));
    if (!bytes) return std::nullopt;
    return RegValue{type, std::move(*bytes)};
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
