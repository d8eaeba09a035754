#include "platform/offline/pe_version.h"

#include "platform/offline/volume_state.h"

namespace platform::offline {

namespace {

constexpr size_t kMaxVersionBlock = 1 << 20;
constexpr uint32_t kRtVersion = 16;

uint16_t U16(const std::vector<uint8_t>& b, size_t at) { return at + 2 <= b.size() ? b[at] | (b[at + 1] << 8) : 0; }
uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return at + 4 <= b.size() ? U16(b, at) | (static_cast<uint32_t>(U16(b, at + 2)) << 16) : 0;
}

struct Section {
  uint32_t virtualAddress, virtualSize, rawOffset, rawSize;
};

std::optional<uint64_t> FileOffset(const std::vector<Section>& sections, uint32_t rva) {
  for (const Section& s : sections) {
    const uint32_t span = std::max(s.virtualSize, s.rawSize);
    if (rva >= s.virtualAddress && rva - s.virtualAddress < span) {
      const uint32_t delta = rva - s.virtualAddress;
      if (delta >= s.rawSize) return std::nullopt;
      return static_cast<uint64_t>(s.rawOffset) + delta;
    }
  }
  return std::nullopt;
}

// One node of a version block: its key, where its value is, where its children are.
struct Node {
  size_t start = 0, end = 0;
  std::string key;  // UTF-8
  size_t valueAt = 0, valueSize = 0;
  bool text = false;
  size_t childrenAt = 0;
};

size_t Align4(size_t at) { return (at + 3) & ~size_t{3}; }

std::optional<Node> ReadNode(const std::vector<uint8_t>& b, size_t at, size_t limit) {
  if (at + 6 > limit) return std::nullopt;
  Node n;
  const size_t length = U16(b, at);
  if (length < 6 || at + length > limit) return std::nullopt;
  n.start = at;
  n.end = at + length;
  const size_t valueLength = U16(b, at + 2);
  n.text = U16(b, at + 4) == 1;
  size_t p = at + 6;
  const size_t keyAt = p;
  while (p + 2 <= n.end && U16(b, p) != 0) p += 2;
  if (p + 2 > n.end) return std::nullopt;
  n.key = Utf16ToUtf8(b.data() + keyAt, p - keyAt);
  p = Align4(p + 2);
  n.valueAt = p;
  n.valueSize = std::min(n.text ? valueLength * 2 : valueLength, p <= n.end ? n.end - p : 0);
  n.childrenAt = Align4(p + n.valueSize);
  return n;
}

std::optional<Node> FindNode(const std::vector<uint8_t>& b, const std::string& subBlock) {
  std::optional<Node> node = ReadNode(b, 0, b.size());
  if (!node) return std::nullopt;
  for (const std::string& part : SplitPath(subBlock)) {
    std::optional<Node> found;
    for (size_t at = node->childrenAt; at < node->end;) {
      std::optional<Node> child = ReadNode(b, at, node->end);
      if (!child) break;
      if (EqualNoCase(child->key, Utf8Of(part))) {
        found = child;
        break;
      }
      at = Align4(child->end);
    }
    if (!found) return std::nullopt;
    node = found;
  }
  return node;
}

}  // namespace

bool ReadVersionResource(const ReadAt& read, std::vector<uint8_t>* block) {
  const std::vector<uint8_t> dos = read(0, 64);
  if (dos.size() < 64 || dos[0] != 'M' || dos[1] != 'Z') return false;
  const uint32_t peAt = U32(dos, 0x3C);
  const std::vector<uint8_t> pe = read(peAt, 24 + 240);
  if (pe.size() < 24 + 96 || U32(pe, 0) != 0x00004550) return false;
  const uint16_t sectionCount = U16(pe, 6);
  const uint16_t optionalSize = U16(pe, 20);
  const uint16_t magic = U16(pe, 24);
  const size_t directories = magic == 0x20B ? 24 + 112 : magic == 0x10B ? 24 + 96 : 0;
  if (directories == 0) return false;
  const uint32_t directoryCount = U32(pe, directories - 4);
  if (directoryCount < 3 || directories + 3 * 8 > pe.size() || directories + 3 * 8 > 24u + optionalSize) return false;
  const uint32_t resourceRva = U32(pe, directories + 16);
  if (resourceRva == 0) return false;

  const std::vector<uint8_t> table = read(static_cast<uint64_t>(peAt) + 24 + optionalSize, sectionCount * 40u);
  std::vector<Section> sections;
  for (size_t i = 0; i + 40 <= table.size(); i += 40) {
    sections.push_back({U32(table, i + 12), U32(table, i + 8), U32(table, i + 20), U32(table, i + 16)});
  }
  const std::optional<uint64_t> resourceAt = FileOffset(sections, resourceRva);
  if (!resourceAt) return false;

  // Three levels: type RT_VERSION, then the first name, then the first language.
  uint32_t offset = 0;  // from the start of the resource section
  for (int level = 0; level < 3; ++level) {
    const std::vector<uint8_t> dir = read(*resourceAt + offset, 16);
    if (dir.size() < 16) return false;
    const size_t count = static_cast<size_t>(U16(dir, 12)) + U16(dir, 14);
    const std::vector<uint8_t> entries = read(*resourceAt + offset + 16, std::min<size_t>(count, 4096) * 8);
    std::optional<uint32_t> next;
    for (size_t i = 0; i + 8 <= entries.size(); i += 8) {
      const uint32_t name = U32(entries, i);
      if (level == 0 && name != kRtVersion) continue;
      next = U32(entries, i + 4);
      break;
    }
    if (!next) return false;
    const bool isDirectory = (*next & 0x80000000u) != 0;
    if (isDirectory != (level < 2)) return false;
    offset = *next & 0x7FFFFFFFu;
  }
  const std::vector<uint8_t> entry = read(*resourceAt + offset, 16);
  if (entry.size() < 16) return false;
  const uint32_t size = U32(entry, 4);
  const std::optional<uint64_t> dataAt = FileOffset(sections, U32(entry, 0));
  if (!dataAt || size < 6 || size > kMaxVersionBlock) return false;
  *block = read(*dataAt, size);
  return block->size() >= 6 && ReadNode(*block, 0, block->size()).has_value();
}

bool QueryTranslation(const std::vector<uint8_t>& block, uint16_t* language, uint16_t* codePage) {
  const std::optional<Node> node = FindNode(block, "\\VarFileInfo\\Translation");
  if (!node || node->valueSize < 4 || node->valueAt + 4 > block.size()) return false;
  *language = U16(block, node->valueAt);
  *codePage = U16(block, node->valueAt + 2);
  return true;
}

std::optional<std::string> QueryString(const std::vector<uint8_t>& block, const std::string& subBlock) {
  const std::optional<Node> node = FindNode(block, subBlock);
  if (!node) return std::nullopt;
  if (node->valueAt > block.size()) return std::string();
  size_t end = node->valueAt;
  const size_t limit = std::min(node->valueAt + node->valueSize, block.size());
  while (end + 2 <= limit && U16(block, end) != 0) end += 2;
  return Utf16ToUtf8(block.data() + node->valueAt, end - node->valueAt);
}

}  // namespace platform::offline
