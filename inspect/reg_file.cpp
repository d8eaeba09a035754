#include "inspect/reg_file.h"

#include <cstdio>

#include "inspect/registry.h"

namespace inspect {

namespace win = platform::win;

namespace {

constexpr size_t kBytesPerLine = 25;

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + '"';
}

std::string NamePart(const std::string& name) { return name.empty() ? "@" : Quoted(name); }

// A string the quoted form carries exactly: one NUL at the end and no line break or NUL before it.
bool QuotableString(const std::vector<uint8_t>& data) {
  if (data.empty() || data.back() != 0) return false;
  for (size_t i = 0; i + 1 < data.size(); ++i) {
    if (data[i] == 0 || data[i] == '\r' || data[i] == '\n') return false;
  }
  return true;
}

std::string HexBytes(const std::string& prefix, const std::vector<uint8_t>& data) {
  std::string out = prefix;
  char byte[4];
  for (size_t i = 0; i < data.size(); ++i) {
    if (i > 0) out += (i % kBytesPerLine == 0) ? ",\\\r\n  " : ",";
    std::snprintf(byte, sizeof byte, "%02x", data[i]);
    out += byte;
  }
  return out;
}

}  // namespace

std::string RegKeyLine(platform::RegKey root, const std::string& keyPath, bool remove) {
  const std::string rootName = inspect::RootKeyName(root);
  // A key name may hold any character but the backslash: a line break would start a line of its
  // own in the file (a key of the writer's choosing), a ']' would end the key early.
  if (rootName.empty() || keyPath.find_first_of("\r\n]") != std::string::npos) return "";
  return std::string("[") + (remove ? "-" : "") + rootName + (keyPath.empty() ? "" : "\\" + keyPath) + "]";
}

bool RegValueNameFits(const std::string& name) { return name.find_first_of(std::string("\r\n\0", 3)) == std::string::npos; }

std::string RegValueLine(const std::string& name, uint32_t type, const std::vector<uint8_t>& data) {
  if (!RegValueNameFits(name)) return "";
  const std::string head = NamePart(name) + "=";
  if (type == win::kRegSz && QuotableString(data)) {
    return head + Quoted(std::string(data.begin(), data.end() - 1));
  }
  if (type == win::kRegDword && data.size() == 4) {
    const uint32_t v = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<uint32_t>(data[3]) << 24);
    char text[16];
    std::snprintf(text, sizeof text, "dword:%08x", v);
    return head + text;
  }
  if (type == win::kRegBinary) return HexBytes(head + "hex:", data);
  char prefix[24];
  std::snprintf(prefix, sizeof prefix, "hex(%x):", type);
  return HexBytes(head + prefix, data);
}

std::string RegDeletedValueLine(const std::string& name) { return NamePart(name) + "=-"; }

namespace {

// The quoted text at text[pos] == '"', unescaped; pos ends after the closing quote (npos when
// there is none).
std::string Unquote(const std::string& text, size_t& pos) {
  std::string out;
  for (++pos; pos < text.size(); ++pos) {
    if (text[pos] == '"') {
      ++pos;
      return out;
    }
    if (text[pos] == '\\' && pos + 1 < text.size()) ++pos;
    out += text[pos];
  }
  pos = std::string::npos;
  return out;
}

std::string Trimmed(const std::string& line) {
  const size_t first = line.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  const size_t last = line.find_last_not_of(" \t");
  return line.substr(first, last - first + 1);
}

std::vector<std::string> LogicalLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string current;
  bool continued = false;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    line = continued ? Trimmed(line) : line;
    current += line;
    // Only a value's data continues on the next line.
    continued = !current.empty() && current.back() == '\\' && current[0] != '[' &&
                current.find('=') != std::string::npos;
    if (continued) {
      current.pop_back();
    } else {
      lines.push_back(current);
      current.clear();
    }
    start = end + 1;
  }
  if (!current.empty()) lines.push_back(current);
  return lines;
}

}  // namespace

std::vector<TRegLine> ReadRegLines(const std::string& text) {
  using K = TRegLine::Kind;
  std::vector<TRegLine> out;
  std::string key;
  for (const std::string& line : LogicalLines(text)) {
    TRegLine l;
    l.text = line;
    const std::string t = Trimmed(line);
    if (t.empty()) {
      l.kind = K::Blank;
    } else if (t == "REGEDIT4" || t == "Windows Registry Editor Version 5.00") {
      l.kind = K::Header;
    } else if (t[0] == ';') {
      l.kind = K::Comment;
    } else if (t[0] == '[' && t.back() == ']') {
      const bool remove = t.size() > 2 && t[1] == '-';
      key = t.substr(remove ? 2 : 1, t.size() - (remove ? 3 : 2));
      l.kind = remove ? K::RemoveKey : K::Key;
      l.key = key;
      if (remove) key.clear();
    } else if ((t[0] == '"' || t[0] == '@') && !key.empty()) {
      size_t pos = 0;
      if (t[0] == '@') {
        pos = 1;
      } else {
        l.name = Unquote(t, pos);
      }
      if (pos != std::string::npos && pos < t.size() && t[pos] == '=') {
        l.key = key;
        l.data = t.substr(pos + 1);
        l.kind = l.data == "-" ? K::RemoveValue : K::Value;
      }
    }
    out.push_back(std::move(l));
  }
  return out;
}

}  // namespace inspect
