#include "rootkit/pe_image.h"

#include <cstring>

#include "platform/platform.h"

namespace rootkit {

bool TMemoryReader::Readable(uint64_t address, uint32_t size) const {
  uint8_t scratch[64];
  for (uint32_t done = 0; done < size;) {
    const uint32_t n = size - done < sizeof scratch ? size - done : sizeof scratch;
    if (!Read(address + done, scratch, n)) return false;
    done += n;
  }
  return true;
}

bool TMemoryReader::Text(uint64_t address, std::string* out, uint32_t limit) const {
  out->clear();
  char chunk[32];
  for (uint32_t at = 0; at <= limit;) {
    // Whole chunks first; a text that ends just before unreadable memory is read byte by byte.
    uint32_t n = sizeof chunk;
    if (!Read(address + at, chunk, n)) {
      n = 1;
      if (!Read(address + at, chunk, 1)) return false;
    }
    for (uint32_t i = 0; i < n && at + i <= limit; ++i) {
      if (chunk[i] == '\0') return true;
      out->push_back(chunk[i]);
    }
    at += n;
  }
  return false;
}

bool TOwnMemory::Read(uint64_t address, void* out, uint32_t size) const {
  if (address == 0 || address + size > 0x100000000ull) return false;
  return platform::Native().ReadOwnMemory(static_cast<platform::Address>(address), out, size);
}

bool TBufferReader::Read(uint64_t address, void* out, uint32_t size) const {
  if (address > size_ || size > size_ - address) return false;
  std::memcpy(out, data_ + address, size);
  return true;
}

std::optional<TPeHeaders> ReadPeHeaders(const TMemoryReader& memory, uint64_t base) {
  uint8_t dos[kDosHeaderSize];
  if (!memory.Read(base, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return std::nullopt;
  uint32_t ntOffset = 0;
  std::memcpy(&ntOffset, dos + 0x3C, 4);
  uint8_t nt[kNtHeadersSize];
  if (!memory.Read(base + ntOffset, nt, sizeof nt) || std::memcmp(nt, "PE\0\0", 4) != 0) return std::nullopt;
  auto u16 = [&](size_t at) { uint16_t v; std::memcpy(&v, nt + at, 2); return v; };
  auto u32 = [&](size_t at) { uint32_t v; std::memcpy(&v, nt + at, 4); return v; };
  TPeHeaders h;
  h.ntOffset = ntOffset;
  h.sectionCount = u16(6);
  h.optionalHeaderSize = u16(20);
  h.sectionAlignment = u32(24 + 32);
  h.imageSize = u32(24 + 56);
  h.exports = {u32(24 + 96), u32(24 + 100)};
  h.imports = {u32(24 + 104), u32(24 + 108)};
  return h;
}

bool IsValidPEImage(const TMemoryReader& memory, uint64_t base) { return ReadPeHeaders(memory, base).has_value(); }

uint32_t GetAlignedImageSize(const TMemoryReader& memory, uint64_t base) {
  const auto h = ReadPeHeaders(memory, base);
  if (!h || h->sectionAlignment == 0 || h->imageSize % h->sectionAlignment != 0) return 0;
  return h->imageSize;
}

std::optional<TExportDirectory> ReadExportDirectory(const TMemoryReader& memory, uint64_t address) {
  uint32_t d[kExportDirectorySize / 4];
  if (!memory.Read(address, d, sizeof d)) return std::nullopt;
  return TExportDirectory{d[3], d[4], d[5], d[6], d[7], d[8], d[9]};
}

std::optional<uint32_t> RvaToFileOffset(const uint8_t* file, size_t size, const TPeHeaders& headers, uint32_t rva) {
  const TBufferReader reader(file, size);
  const uint64_t table = uint64_t{headers.ntOffset} + 24 + headers.optionalHeaderSize;
  for (uint32_t i = 0; i < headers.sectionCount; ++i) {
    uint32_t s[3];  // virtual address, raw data size, raw data pointer
    if (!reader.Read(table + 40ull * i + 12, s, sizeof s)) return std::nullopt;
    if (s[0] <= rva && uint64_t{rva} < uint64_t{s[0]} + s[1]) {
      const uint64_t offset = uint64_t{rva} - s[0] + s[2];
      if (offset >= size) return std::nullopt;
      return static_cast<uint32_t>(offset);
    }
  }
  return std::nullopt;
}

bool EqualNoCaseAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

namespace {

// The walk of ForEachFileExport; with `wanted`, names are read no longer than it and only those
// equal to it (letter case ignored) are visited.
bool WalkFileExports(const uint8_t* file, size_t size, const std::string_view* wanted,
                     const std::function<bool(const TFileExport&)>& visit) {
  const TBufferReader reader(file, size);
  const auto headers = ReadPeHeaders(reader, 0);
  if (!headers || headers->exports.size == 0) return false;
  const auto dirOffset = RvaToFileOffset(file, size, *headers, headers->exports.rva);
  if (!dirOffset) return false;
  const auto dir = ReadExportDirectory(reader, *dirOffset);
  if (!dir) return false;
  // The tables and the names lie in the export directory's section: the same difference applies.
  const int64_t delta = int64_t{*dirOffset} - headers->exports.rva;
  auto at = [&](uint64_t rva) { return static_cast<uint64_t>(int64_t(rva) + delta); };
  const uint64_t exportsEnd = uint64_t{headers->exports.rva} + headers->exports.size;
  const uint32_t nameLimit = wanted ? static_cast<uint32_t>(wanted->size()) : kMaxExportNameChars;
  TFileExport e;
  for (uint32_t i = 0; i < dir->nameCount; ++i) {
    uint32_t nameRva = 0;
    uint16_t index = 0;
    if (!reader.U32(at(dir->namesRva + 4ull * i), &nameRva) || !reader.U16(at(dir->ordinalsRva + 2ull * i), &index)) {
      return false;
    }
    if (!reader.Text(at(nameRva), &e.name, nameLimit) || (wanted && !EqualNoCaseAscii(e.name, *wanted))) continue;
    e.ordinal = dir->ordinalBase + index;
    e.inTable = index < dir->functionCount;
    e.rva = 0;
    e.fileOffset.reset();
    e.forwarder.reset();
    if (e.inTable) {
      if (!reader.U32(at(dir->functionsRva + 4ull * index), &e.rva)) return false;
      e.fileOffset = RvaToFileOffset(file, size, *headers, e.rva);
      std::string text;
      if (e.rva >= headers->exports.rva && e.rva < exportsEnd && e.fileOffset &&
          reader.Text(*e.fileOffset, &text, kMaxExportNameChars)) {
        e.forwarder = std::move(text);
      }
    }
    if (visit(e)) break;
  }
  return true;
}

}  // namespace

bool ForEachFileExport(const uint8_t* file, size_t size, const std::function<bool(const TFileExport&)>& visit) {
  return WalkFileExports(file, size, nullptr, visit);
}

std::optional<TFileExport> FindFileExport(const uint8_t* file, size_t size, std::string_view name) {
  std::optional<TFileExport> found;
  WalkFileExports(file, size, &name, [&](const TFileExport& e) {
    if (e.inTable) found = e;
    return true;
  });
  return found;
}

}  // namespace rootkit
