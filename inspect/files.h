// File queries (existence, size, version fields, dates, attributes, digest, contents) and the
// service-manager queries.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace inspect {

// True for an existing file (not a folder).
bool FileExists(const std::string& path);
// True for an existing folder.
bool FolderExists(const std::string& path);
// True when anything stands under the name (file or folder).
bool PathExists(const std::string& path);
// The directory entry of the path (FindFirstFileA); nullopt when nothing matches.
std::optional<platform::FindData> FindEntry(const std::string& path);
// Size from the directory entry, all 64 bits; 0 when nothing matches.
uint64_t FileSizeOf(const std::string& path);
// CompanyName of the version information, trimmed; "Unknown" when missing or empty.
std::string FileCompanyName(const std::string& path);
// ProductVersion as stored; "Unknown" when missing or empty after trimming.
std::string FileProductVersion(const std::string& path);
// which: 1 creation, 2 last access, 3 last write; local short date + " " + long time
// (the time left out at 0:00:00); empty when nothing matches or `which` is another number.
std::string FileDateText(const std::string& path, int which);
// FileDateText of an entry already found.
std::string EntryDateText(const platform::FindData& entry, int which);
// "HSAR" letters or "-"; "----" when the attributes cannot be read.
std::string FileAttrText(const std::string& path);
bool CanOpenFile(const std::string& path);
bool IsPeFile(const std::string& path);
bool IsProtectedSystemFile(const std::string& path);

// Raised when a mapped file's contents cannot be read.
class EFileReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// MD5 of the file's bytes as 32 lowercase hex digits; the digest of no data when the file is
// missing, empty or cannot be opened.
std::string FileMd5Text(const std::string& path);
// The whole file; empty when it does not exist or cannot be opened.
std::string ReadFileText(const std::string& path);
// The whole file as bytes when it holds 1 to `maxSize` bytes and reads whole; false otherwise.
bool ReadFileBytes(const std::string& path, uint64_t maxSize, std::vector<uint8_t>* bytes);

// Service manager: the current state (0 on failure), running, and the binary path ("" on failure).
uint32_t ServiceState(const std::string& machine, const std::string& serviceName);
bool IsServiceRunning(const std::string& machine, const std::string& serviceName);
std::string ServiceBinaryPath(const std::string& serviceName);

}  // namespace inspect
