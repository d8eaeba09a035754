// PE images and files read through bounds-checked readers: every offset, count, relative address
// and name pointer that leads outside what can be read gives "not found", never a read past it.
// Images mapped in the own process are read through the IsBadReadPtr check of the platform;
// copies and files we hold are checked against their length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace rootkit {

class TMemoryReader {
 public:
  virtual ~TMemoryReader() = default;
  // Copies `size` bytes at `address`; false (and nothing copied) when any of them is missing.
  virtual bool Read(uint64_t address, void* out, uint32_t size) const = 0;

  bool U16(uint64_t address, uint16_t* value) const { return Read(address, value, 2); }
  bool U32(uint64_t address, uint32_t* value) const { return Read(address, value, 4); }
  bool Readable(uint64_t address, uint32_t size) const;
  // A zero-terminated text of at most `limit` characters; false when it is unreadable or longer.
  bool Text(uint64_t address, std::string* out, uint32_t limit) const;
};

// The own process's memory.
class TOwnMemory final : public TMemoryReader {
 public:
  bool Read(uint64_t address, void* out, uint32_t size) const override;
};

// A buffer we hold; addresses are offsets into it.
class TBufferReader final : public TMemoryReader {
 public:
  TBufferReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Read(uint64_t address, void* out, uint32_t size) const override;

 private:
  const uint8_t* data_;
  size_t size_;
};

constexpr uint32_t kDosHeaderSize = 64;
constexpr uint32_t kNtHeadersSize = 248;  // signature, file header and the 32-bit optional header
constexpr uint32_t kExportDirectorySize = 40;
// Export names and forwarder texts longer than this are not read.
constexpr uint32_t kMaxExportNameChars = 4096;

struct TDataDirectory {
  uint32_t rva = 0;
  uint32_t size = 0;
};

struct TPeHeaders {
  uint32_t ntOffset = 0;  // of the "PE\0\0" signature
  uint16_t sectionCount = 0;
  uint16_t optionalHeaderSize = 0;
  uint32_t sectionAlignment = 0;
  uint32_t imageSize = 0;
  TDataDirectory exports;
  TDataDirectory imports;
};

// "MZ" readable for 64 bytes and "PE\0\0" at the offset stored at 0x3C readable for 248 bytes.
std::optional<TPeHeaders> ReadPeHeaders(const TMemoryReader& memory, uint64_t base);
bool IsValidPEImage(const TMemoryReader& memory, uint64_t base);
// The image size when it is a whole multiple of a non-zero section alignment, else 0.
uint32_t GetAlignedImageSize(const TMemoryReader& memory, uint64_t base);

struct TExportDirectory {
  uint32_t nameRva = 0;
  uint32_t ordinalBase = 0;
  uint32_t functionCount = 0;
  uint32_t nameCount = 0;
  uint32_t functionsRva = 0;
  uint32_t namesRva = 0;
  uint32_t ordinalsRva = 0;
};
std::optional<TExportDirectory> ReadExportDirectory(const TMemoryReader& memory, uint64_t address);

// One named export of a PE file: its ordinal, the relative address from the function table,
// that address as a file offset when a section holds it, and the forwarder text when the
// address lies inside the export directory. `inTable` is false when the name's ordinal entry
// lies beyond the function table (nothing else is then known).
struct TFileExport {
  std::string name;
  uint32_t ordinal = 0;
  bool inTable = false;
  uint32_t rva = 0;
  std::optional<uint32_t> fileOffset;
  std::optional<std::string> forwarder;
};
// Visits the names of the export table in table order until `visit` answers true; a name that
// cannot be read is passed over. False when there is no readable export directory or a table
// entry cannot be read.
bool ForEachFileExport(const uint8_t* file, size_t size, const std::function<bool(const TFileExport&)>& visit);
// The first export whose name equals `name`, letter case ignored; nothing when its ordinal is
// beyond the function table.
std::optional<TFileExport> FindFileExport(const uint8_t* file, size_t size, std::string_view name);
// A relative address as a file offset: the first section whose virtual address <= rva < virtual
// address + raw data size.
std::optional<uint32_t> RvaToFileOffset(const uint8_t* file, size_t size, const TPeHeaders& headers, uint32_t rva);

bool EqualNoCaseAscii(std::string_view a, std::string_view b);

}  // namespace rootkit
