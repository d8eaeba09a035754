#include "managers/backups.h"

#include <cstdio>

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

bool Exists(const std::string& path) { return Fs().GetFileAttributes(path) != win::kInvalidFileAttributes; }

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + '"';
}

std::string HexBytes(const std::vector<uint8_t>& data) {
  std::string out;
  char byte[4];
  for (size_t i = 0; i < data.size(); ++i) {
    std::snprintf(byte, sizeof byte, i == 0 ? "%02x" : ",%02x", data[i]);
    out += byte;
  }
  return out;
}

// Text that a quoted registry-file string carries unchanged: one NUL at the end and no line breaks.
bool PlainString(const std::vector<uint8_t>& data) {
  if (data.empty() || data.back() != 0) return false;
  for (size_t i = 0; i + 1 < data.size(); ++i) {
    if (data[i] == 0 || data[i] == '\r' || data[i] == '\n') return false;
  }
  return true;
}

}  // namespace

std::string NewBackupPath(const std::string& stem, const std::string& extension) {
  const std::string folder = inspect::GetAppDir() + kBackupFolder;
  if (!Exists(folder) && !Fs().CreateDirectory(folder)) return "";
  const platform::LocalTime t = platform::Sys().GetLocalTime();
  char stamp[48];
  std::snprintf(stamp, sizeof stamp, "_%04u-%02u-%02u_%02u-%02u-%02u", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  const std::string base = folder + "\\" + stem + stamp;
  std::string path = base + extension;
  for (int n = 2; Exists(path); ++n) {
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

std::string RegValueLine(const std::string& name, uint32_t type, const std::vector<uint8_t>& data) {
  std::string line = (name.empty() ? std::string("@") : Quoted(name)) + "=";
  if (type == win::kRegSz && PlainString(data)) {
    return line + Quoted(std::string(data.begin(), data.end() - 1));
  }
  if (type == win::kRegDword && data.size() == 4) {
    char dword[16];
    std::snprintf(dword, sizeof dword, "dword:%02x%02x%02x%02x", data[3], data[2], data[1], data[0]);
    return line + dword;
  }
  if (type == win::kRegBinary) return line + "hex:" + HexBytes(data);
  char prefix[24];
  std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(type));
  return line + prefix + HexBytes(data);
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
  const std::string text = "REGEDIT4\r\n\r\n[" + inspect::RootKeyName(root) + "\\" + keyPath + "]\r\n" +
                           RegValueLine(name, type, data) + "\r\n\r\n";
  const std::string backup = NewBackupPath(stem, ".reg");
  return !backup.empty() && inspect::SaveFileReplacing(backup, text) == win::kErrorSuccess;
}

}  // namespace managers
