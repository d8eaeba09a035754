// Registry helpers: root names, path-based operations, the shared reader and value rendering.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace inspect {

using platform::RegKey;

// 1-based position of the last occurrence of `c` in `text`; 0 when absent.
int LastCharPos(char c, const std::string& text);
// Text before the first "\"; empty when there is none.
std::string RootPartOf(const std::string& entry);
// At most 255 characters after the first "\"; the first 255 characters when there is none.
std::string KeyPartOf(const std::string& entry);
// "HKEY_LOCAL_MACHINE" and so on; empty for a handle that is not a predefined root.
std::string RootKeyName(RegKey root);
// Upper-cased name against the seven root names; HKEY_CLASSES_ROOT when nothing matches.
RegKey RootKeyFromName(const std::string& name);

// Path-based helpers: `valuePath` is "key\value" (split at the last "\"), `keyPath` is relative
// to the root without a leading "\". Each opens, performs one operation, closes.
bool RegWriteValueRaw(RegKey root, const std::string& valuePath, uint32_t type, const void* data, uint32_t size);
bool RegWriteString(RegKey root, const std::string& valuePath, const std::string& text);
bool RegWriteDword(RegKey root, const std::string& valuePath, uint32_t value);
bool RegReadValueRaw(RegKey root, const std::string& valuePath, uint32_t expectedType, std::vector<uint8_t>* data);
bool RegReadString(RegKey root, const std::string& valuePath, std::string* text);
bool RegReadExpandString(RegKey root, const std::string& valuePath, std::string* text);
bool RegValueExists(RegKey root, const std::string& valuePath);
bool RegKeyExists(RegKey root, const std::string& keyPath);
bool RegDeleteValuePath(RegKey root, const std::string& valuePath);
bool RegDeleteKeyPath(RegKey root, const std::string& keyPath, bool recursive);

// "SYSTEM\ControlSet00N" for the control set SYSTEM\Select names as current, when that key
// exists; otherwise "SYSTEM\CurrentControlSet", the system's own link to it.
std::string CurrentControlSetPath();

// Raised by the reader's typed reads when the value is missing or of another type.
class ERegistryException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The registry reader: a current root and a current key, opened with full access, never created.
class TRegistryReader {
 public:
  TRegistryReader() = default;
  ~TRegistryReader();
  TRegistryReader(const TRegistryReader&) = delete;
  TRegistryReader& operator=(const TRegistryReader&) = delete;

  void SetRootKey(RegKey root) { root_ = root; }
  RegKey RootKey() const { return root_; }
  // A path beginning with "\" is taken from the root; any other from the current key when one is open.
  bool OpenKey(const std::string& path);
  void CloseKey();
  bool HasCurrentKey() const { return key_ != 0; }
  RegKey CurrentKey() const { return key_; }
  const std::string& CurrentPath() const { return path_; }
  std::vector<std::string> GetValueNames();
  std::vector<std::string> GetKeyNames();
  bool ValueExists(const std::string& name);
  // The stored type, nullopt when the value cannot be queried.
  std::optional<uint32_t> GetDataType(const std::string& name);
  // REG_SZ or REG_EXPAND_SZ up to the first NUL; throws ERegistryException otherwise.
  std::string ReadString(const std::string& name);
  // REG_DWORD; throws ERegistryException otherwise.
  int32_t ReadInteger(const std::string& name);

 private:
  RegKey root_ = platform::kHkeyCurrentUser;
  RegKey key_ = 0;
  std::string path_;
};

// The shared reader of the section writers and the startup manager. Each thread gets its own
// instance, so the interface thread never disturbs a running scan's current key.
TRegistryReader& ScanRegistry();

// A key of the shared reader, opened from `root` (path beginning with "\") and closed again on
// every way out.
class TReaderKey {
 public:
  TReaderKey(RegKey root, const std::string& keyPath);
  ~TReaderKey();
  TReaderKey(const TReaderKey&) = delete;
  TReaderKey& operator=(const TReaderKey&) = delete;
  bool ok() const { return ok_; }
  TRegistryReader& reader() { return reader_; }

 private:
  TRegistryReader& reader_;
  bool ok_;
};

// The subkey names of a key, read through the shared reader; none when it cannot be opened.
std::vector<std::string> ReaderSubkeyNames(RegKey root, const std::string& keyPath);

// The text of one value of the reader's current key ("Binary Data", "Unknown", ...).
std::string RegValueToText(TRegistryReader& reader, const std::string& valueName);

// One value entry: "Value: <name>\r\nData: <data>\r\nKey: <key>\r\n" with the language labels.
std::string ValueEntry(const std::string& name, const std::string& data, const std::string& keyText);

}  // namespace inspect
