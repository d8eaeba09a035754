#include "managers/backups.h"

#include <cstdio>

#include "inspect/files.h"
#include "inspect/reg_file.h"
#include "inspect/registry.h"
#include "inspect/save_file.h"
#include "inspect/system.h"
#include "inspect/text.h"
#include "platform/handles.h"

namespace managers {

namespace win = platform::win;
using platform::Fs;
using platform::Reg;

namespace {

constexpr const char* kBackupFolder = "Backups";

}  // namespace

std::string NewBackupPath(const std::string& stem, const std::string& extension) {
  const std::string folder = inspect::GetAppDir() + kBackupFolder;
  if (!inspect::PathExists(folder) && !Fs().CreateDirectory(folder)) return "";
  const platform::LocalTime t = platform::Sys().GetLocalTime();
  char stamp[48];
  std::snprintf(stamp, sizeof stamp, "_%04u-%02u-%02u_%02u-%02u-%02u", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  const std::string base = folder + "\\" + stem + stamp;
  std::string path = base + extension;
  for (int n = 2; inspect::PathExists(path); ++n) {
    if (n > 1000) return "";
    path = base + "_" + std::to_string(n) + extension;
  }
  return path;
}

bool KeepFile(const std::string& path) {
  const uint32_t attributes = Fs().GetFileAttributes(path);
  if (attributes == win::kInvalidFileAttributes) return true;
  if (attributes & win::kFileAttributeDirectory) return false;
  const std::string backup = NewBackupPath(inspect::FileNamePart(path), ".bak");
  return !backup.empty() && Fs().CopyFile(path, backup, true);
}

bool KeepRegistryValue(platform::RegKey root, const std::string& keyPath, const std::string& name,
                       const std::string& stem) {
  platform::ScopedKey key;
  uint32_t rc = Reg().OpenKey(root, keyPath, win::kKeyRead, key.out());
  if (rc == win::kErrorFileNotFound) return true;
  uint32_t type = 0;
  std::vector<uint8_t> data;
  if (rc == win::kErrorSuccess) rc = Reg().QueryValue(key.get(), name, &type, &data);
  if (rc == win::kErrorFileNotFound) return true;
  if (rc != win::kErrorSuccess) return false;
  const std::string keyLine = inspect::RegKeyLine(root, keyPath);
  const std::string valueLine = inspect::RegValueLine(name, type, data);
  if (keyLine.empty() || valueLine.empty()) return false;  // a file without the value would keep nothing
  const std::string text = std::string(inspect::kRegFileHeader) + "\r\n\r\n" + keyLine + "\r\n" + valueLine + "\r\n\r\n";
  const std::string backup = NewBackupPath(stem, ".reg");
  return !backup.empty() && inspect::SaveFileReplacing(backup, text) == win::kErrorSuccess;
}

}  // namespace managers
