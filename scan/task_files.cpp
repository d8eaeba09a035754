#include "scan/task_files.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string_view>

namespace scan {

namespace {

// A cursor over untrusted bytes: every read checks what is left and fails for good once short.
class TByteCursor {
 public:
  explicit TByteCursor(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  size_t Left() const { return bytes_.size() - at_; }
  bool Seek(size_t offset) {
    if (offset > bytes_.size()) return false;
    at_ = offset;
    return true;
  }
  std::optional<uint32_t> Read(size_t width) {
    if (Left() < width) return std::nullopt;
    uint32_t value = 0;
    for (size_t i = 0; i < width; ++i) value |= uint32_t{bytes_[at_ + i]} << (8 * i);
    at_ += width;
    return value;
  }
  std::optional<uint16_t> Peek16() const {
    if (Left() < 2) return std::nullopt;
    return static_cast<uint16_t>(bytes_[at_] | bytes_[at_ + 1] << 8);
  }
  // `units` UTF-16 code units, cut at the first NUL.
  std::optional<std::u16string> Utf16(size_t units) {
    if (units > Left() / 2) return std::nullopt;
    const std::u16string text = Utf16FromBytes(bytes_.subspan(at_, units * 2));
    at_ += units * 2;
    return text.substr(0, text.find(u'\0'));
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t at_ = 0;
};

// The fixed part of a ".job" file ends here; the name's length field cannot start before it.
constexpr size_t kJobFixedLength = 0x44;
constexpr size_t kJobNameOffsetField = 0x14;

// A ".job" string: a count of UTF-16 units (its NUL included), then the units.
std::optional<std::u16string> JobString(TByteCursor& cursor) {
  const auto units = cursor.Read(2);
  if (!units) return std::nullopt;
  return cursor.Utf16(*units);
}

// A cached-action string: a length in bytes, then the UTF-16 text.
std::optional<std::u16string> CachedString(TByteCursor& cursor) {
  const auto bytes = cursor.Read(4);
  if (!bytes || *bytes % 2 != 0) return std::nullopt;
  return cursor.Utf16(*bytes / 2);
}

constexpr uint16_t kExecAction = 0x6666;
constexpr uint16_t kOtherActions[] = {0x7777, 0x8888, 0x9999};

std::string_view Between(std::string_view text, std::string_view open, std::string_view close) {
  const size_t start = text.find(open);
  if (start == std::string_view::npos) return {};
  const size_t end = text.find(close, start + open.size());
  if (end == std::string_view::npos) return {};
  return text.substr(start + open.size(), end - start - open.size());
}

std::string DecodeEntities(std::string_view text) {
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string out;
  while (!text.empty()) {
    bool replaced = false;
    for (const auto& [entity, c] : kEntities) {
      if (text.starts_with(entity)) {
        out += c;
        text.remove_prefix(entity.size());
        replaced = true;
        break;
      }
    }
    if (!replaced) {
      out += text.front();
      text.remove_prefix(1);
    }
  }
  return out;
}

std::string Trimmed(std::string text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.back())) text.pop_back();
  size_t start = 0;
  while (start < text.size() && blank(text[start])) ++start;
  return text.substr(start);
}

}  // namespace

std::vector<TTaskCommand> ReadJobCommands(std::span<const uint8_t> bytes) {
  TByteCursor cursor(bytes);
  if (!cursor.Seek(kJobNameOffsetField)) return {};
  const auto nameOffset = cursor.Read(2);
  if (!nameOffset || *nameOffset < kJobFixedLength || !cursor.Seek(*nameOffset)) return {};
  auto program = JobString(cursor);
  if (!program || program->empty()) return {};
  auto arguments = JobString(cursor);
  return {{std::move(*program), arguments.value_or(u"")}};
}

std::vector<TTaskXmlCommand> ReadTaskXmlCommands(const std::string& xml) {
  std::vector<TTaskXmlCommand> commands;
  std::string_view rest(xml);
  for (size_t at; (at = rest.find("<Exec")) != std::string_view::npos;) {
    rest.remove_prefix(at + 5);
    // "<Exec>" or "<Exec ...>", never "<Execute...>".
    if (rest.empty() || (rest.front() != '>' && rest.front() != ' ')) continue;
    const size_t end = rest.find("</Exec>");
    const std::string_view body = rest.substr(0, end);
    std::string program = Trimmed(DecodeEntities(Between(body, "<Command>", "</Command>")));
    if (!program.empty()) {
      commands.push_back({std::move(program), Trimmed(DecodeEntities(Between(body, "<Arguments>", "</Arguments>")))});
    }
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end);
  }
  return commands;
}

bool IsUtf16Text(std::span<const uint8_t> bytes) {
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) return true;
  return bytes.size() >= 2 && bytes[0] == '<' && bytes[1] == 0;
}

std::u16string Utf16FromBytes(std::span<const uint8_t> bytes) {
  size_t start = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE ? 2 : 0;
  std::u16string text;
  text.reserve((bytes.size() - start) / 2);
  for (; start + 1 < bytes.size(); start += 2) text += static_cast<char16_t>(bytes[start] | bytes[start + 1] << 8);
  return text;
}

std::vector<TTaskCommand> ReadCachedTaskActions(std::span<const uint8_t> bytes) {
  std::vector<TTaskCommand> commands;
  TByteCursor cursor(bytes);
  const auto version = cursor.Read(2);
  if (!version || !CachedString(cursor)) return commands;  // the version and the context
  while (const auto kind = cursor.Read(2)) {
    if (*kind != kExecAction) break;
    auto id = CachedString(cursor);
    auto program = CachedString(cursor);
    auto arguments = CachedString(cursor);
    auto folder = CachedString(cursor);
    if (!id || !program || !arguments || !folder) break;
    if (!program->empty()) commands.push_back({std::move(*program), std::move(*arguments)});
    // Newer layouts end an action with two bytes of flags.
    const auto next = cursor.Peek16();
    const bool nextIsAction = next && (*next == kExecAction || std::find(std::begin(kOtherActions),
                                                                          std::end(kOtherActions), *next) !=
                                                                   std::end(kOtherActions));
    if (next && !nextIsAction) cursor.Read(2);
  }
  return commands;
}

}  // namespace scan
