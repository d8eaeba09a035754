// Version information of a PE file read as bytes, as GetFileVersionInfoA and VerQueryValueA
// give it. Every offset and size is checked against what was read.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform::offline {

// Reads up to `size` bytes at `offset` of the file; fewer at its end.
using ReadAt = std::function<std::vector<uint8_t>(uint64_t offset, size_t size)>;

// The VS_VERSIONINFO block of the image's first RT_VERSION resource; false when it has none.
bool ReadVersionResource(const ReadAt& read, std::vector<uint8_t>* block);
// "\VarFileInfo\Translation": the first language and code page pair.
bool QueryTranslation(const std::vector<uint8_t>& block, uint16_t* language, uint16_t* codePage);
// A sub-block such as "\StringFileInfo\040904B0\CompanyName" as UTF-8 text up to its first NUL;
// nullopt when it is missing.
std::optional<std::string> QueryString(const std::vector<uint8_t>& block, const std::string& subBlock);

}  // namespace platform::offline
