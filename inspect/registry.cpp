#include "inspect/registry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "inspect/lang.h"
#include "inspect/text.h"
#include "platform/handles.h"

namespace inspect {

namespace win = platform::win;
using platform::Reg;

namespace {

struct RootName {
  RegKey root;
  const char* name;
};

// Lookup order of RootKeyFromName.
constexpr RootName kRoots[] = {
    {platform::kHkeyClassesRoot, "HKEY_CLASSES_ROOT"},
    {platform::kHkeyCurrentUser, "HKEY_CURRENT_USER"},
    {platform::kHkeyLocalMachine, "HKEY_LOCAL_MACHINE"},
    {platform::kHkeyUsers, "HKEY_USERS"},
    {platform::kHkeyPerformanceData, "HKEY_PERFORMANCE_DATA"},
    {platform::kHkeyCurrentConfig, "HKEY_CURRENT_CONFIG"},
    {platform::kHkeyDynData, "HKEY_DYN_DATA"},
};

std::string UpToNul(const std::vector<uint8_t>& data) {
  auto nul = std::find(data.begin(), data.end(), uint8_t{0});
  return std::string(data.begin(), nul);
}

// "key\value" split at the last "\"; false when there is none.
bool SplitValuePath(const std::string& valuePath, std::string* key, std::string* value) {
  const int pos = LastCharPos('\\', valuePath);
  if (pos == 0) return false;
  *key = valuePath.substr(0, pos - 1);
  *value = valuePath.substr(pos);
  return true;
}

}  // namespace

int LastCharPos(char c, const std::string& text) {
  const auto pos = text.rfind(c);
  return pos == std::string::npos ? 0 : static_cast<int>(pos) + 1;
}

std::string RootPartOf(const std::string& entry) {
  const auto pos = entry.find('\\');
  return pos == std::string::npos ? std::string() : entry.substr(0, pos);
}

std::string KeyPartOf(const std::string& entry) {
  const auto pos = entry.find('\\');
  return pos == std::string::npos ? entry.substr(0, 255) : entry.substr(pos + 1, 255);
}

std::string RootKeyName(RegKey root) {
  for (const auto& r : kRoots) {
    if (r.root == root) return r.name;
  }
  return "";
}

RegKey RootKeyFromName(const std::string& name) {
  const std::string upper = UpperAscii(name);
  for (const auto& r : kRoots) {
    if (upper == r.name) return r.root;
  }
  return platform::kHkeyClassesRoot;
}

bool RegWriteValueRaw(RegKey root, const std::string& valuePath, uint32_t type, const void* data, uint32_t size) {
  std::string keyPath, valueName;
  if (!SplitValuePath(valuePath, &keyPath, &valueName)) return false;
  platform::ScopedKey key;
  if (Reg().CreateKey(root, keyPath, win::kKeyWrite, key.out()) != win::kErrorSuccess) return false;
  return Reg().SetValue(key.get(), valueName, type, data, size) == win::kErrorSuccess;
}

bool RegWriteString(RegKey root, const std::string& valuePath, const std::string& text) {
  // c_str() carries the terminating NUL.
  return RegWriteValueRaw(root, valuePath, win::kRegSz, text.c_str(), static_cast<uint32_t>(text.size() + 1));
}

bool RegWriteDword(RegKey root, const std::string& valuePath, uint32_t value) {
  uint8_t bytes[4];
  std::memcpy(bytes, &value, sizeof bytes);
  return RegWriteValueRaw(root, valuePath, win::kRegDword, bytes, sizeof bytes);
}

std::string CurrentControlSetPath() {
  std::vector<uint8_t> data;
  if (RegReadValueRaw(platform::kHkeyLocalMachine, "SYSTEM\\Select\\Current", win::kRegDword, &data) &&
      data.size() == 4) {
    const uint32_t current = data[0] | data[1] << 8 | data[2] << 16 | uint32_t{data[3]} << 24;
    if (current >= 1 && current <= 999) {
      char name[32];
      std::snprintf(name, sizeof name, "SYSTEM\\ControlSet%03u", static_cast<unsigned>(current));
      if (RegKeyExists(platform::kHkeyLocalMachine, name)) return name;
    }
  }
  return "SYSTEM\\CurrentControlSet";
}

bool RegReadValueRaw(RegKey root, const std::string& valuePath, uint32_t expectedType, std::vector<uint8_t>* data) {
  data->clear();
  std::string keyPath, valueName;
  if (!SplitValuePath(valuePath, &keyPath, &valueName)) return false;
  platform::ScopedKey key;
  if (Reg().OpenKey(root, keyPath, win::kKeyRead, key.out()) != win::kErrorSuccess) return false;
  uint32_t type = 0;
  std::vector<uint8_t> bytes;
  const bool ok = Reg().QueryValue(key.get(), valueName, &type, &bytes) == win::kErrorSuccess && type == expectedType;
  if (ok) *data = std::move(bytes);
  return ok;
}

namespace {
// The stored bytes without the last one (the NUL a well-formed string ends with).
bool ReadStringOfType(RegKey root, const std::string& valuePath, uint32_t type, std::string* text) {
  text->clear();
  std::vector<uint8_t> data;
  if (!RegReadValueRaw(root, valuePath, type, &data)) return false;
  if (!data.empty()) text->assign(data.begin(), data.end() - 1);
  return true;
}
}  // namespace

bool RegReadString(RegKey root, const std::string& valuePath, std::string* text) {
  return ReadStringOfType(root, valuePath, win::kRegSz, text);
}

bool RegReadExpandString(RegKey root, const std::string& valuePath, std::string* text) {
  return ReadStringOfType(root, valuePath, win::kRegExpandSz, text);
}

bool RegValueExists(RegKey root, const std::string& valuePath) {
  std::string keyPath, valueName;
  if (!SplitValuePath(valuePath, &keyPath, &valueName)) return false;
  platform::ScopedKey key;
  if (Reg().OpenKey(root, keyPath, win::kKeyRead, key.out()) != win::kErrorSuccess) return false;
  uint32_t type = 0;
  return Reg().QueryValue(key.get(), valueName, &type, nullptr) == win::kErrorSuccess;
}

bool RegKeyExists(RegKey root, const std::string& keyPath) {
  platform::ScopedKey key;
  return Reg().OpenKey(root, keyPath, win::kKeyRead, key.out()) == win::kErrorSuccess;
}

bool RegDeleteValuePath(RegKey root, const std::string& valuePath) {
  std::string keyPath, valueName;
  if (!SplitValuePath(valuePath, &keyPath, &valueName)) return false;
  platform::ScopedKey key;
  if (Reg().OpenKey(root, keyPath, win::kKeyWrite, key.out()) != win::kErrorSuccess) return false;
  return Reg().DeleteValue(key.get(), valueName) == win::kErrorSuccess;
}

namespace {

constexpr int kMaxTreeDepth = 512;

// Whether an open key is a registry link (opened as the link itself).
bool IsRegistryLink(RegKey key) {
  uint32_t type = 0;
  return Reg().QueryValue(key, "SymbolicLinkValue", &type, nullptr) == win::kErrorSuccess && type == win::kRegLink;
}

// Deletes `subKey` of `parent` with everything below it. Each key is opened as a link (a link
// is deleted itself, never followed into its target) and deleted through that handle, so that
// what was looked at is what goes; subkeys are opened below their parent's handle, never again
// by path.
bool DeleteTreeAt(RegKey parent, const std::string& subKey, int depth) {
  if (depth > kMaxTreeDepth) return false;
  platform::ScopedKey key;
  if (Reg().OpenKeyEx(parent, subKey, win::kRegOptionOpenLink,
                      win::kKeyEnumerateSubKeys | win::kKeyQueryValue | win::kDelete, key.out()) != win::kErrorSuccess) {
    return false;
  }
  if (!IsRegistryLink(key.get())) {
    for (;;) {
      // Index 0 always names the next remaining subkey, as each is deleted before the next is asked for.
      std::string child;
      const uint32_t rc = Reg().EnumKey(key.get(), 0, &child);
      if (rc == win::kErrorNoMoreItems) break;
      if (rc != win::kErrorSuccess || !DeleteTreeAt(key.get(), child, depth + 1)) return false;
    }
  }
  return Reg().DeleteOpenKey(key.get()) == win::kErrorSuccess;
}

}  // namespace

bool RegDeleteKeyPath(RegKey root, const std::string& keyPath, bool recursive) {
  // A key directly below a root is never deleted.
  if (keyPath.find('\\') == std::string::npos) return false;
  if (!recursive) return Reg().DeleteKey(root, keyPath) == win::kErrorSuccess;
  return DeleteTreeAt(root, keyPath, 0);
}

// ---------------------------------------------------------------------------------------------
// The reader

TRegistryReader::~TRegistryReader() {
  // A thread's reader may outlive the backend it opened its key on.
  if (key_ != 0 && platform::Current().registry != nullptr) Reg().CloseKey(key_);
}

bool TRegistryReader::OpenKey(const std::string& path) {
  const bool absolute = !path.empty() && path[0] == '\\';
  const bool relative = !absolute && key_ != 0;
  const RegKey parent = relative ? key_ : root_;
  const std::string subKey = absolute ? path.substr(1) : path;
  RegKey opened = 0;
  if (Reg().OpenKey(parent, subKey, win::kKeyAllAccess, &opened) != win::kErrorSuccess) return false;
  const std::string newPath = relative && !path_.empty() ? path_ + "\\" + subKey : subKey;
  CloseKey();
  key_ = opened;
  path_ = newPath;
  return true;
}

void TRegistryReader::CloseKey() {
  if (key_ != 0) Reg().CloseKey(key_);
  key_ = 0;
  path_.clear();
}

TReaderKey::TReaderKey(RegKey root, const std::string& keyPath) : reader_(ScanRegistry()) {
  reader_.SetRootKey(root);
  ok_ = reader_.OpenKey(keyPath);
}

TReaderKey::~TReaderKey() {
  if (ok_) reader_.CloseKey();
}

std::vector<std::string> ReaderSubkeyNames(RegKey root, const std::string& keyPath) {
  TReaderKey key(root, keyPath);
  return key.ok() ? key.reader().GetKeyNames() : std::vector<std::string>{};
}

namespace {
// Names at index 0, 1, ... until the enumeration stops.
std::vector<std::string> EnumNames(RegKey key, uint32_t (platform::Registry::*enumerate)(RegKey, uint32_t, std::string*)) {
  std::vector<std::string> names;
  if (key == 0) return names;
  std::string name;
  for (uint32_t i = 0; (Reg().*enumerate)(key, i, &name) == win::kErrorSuccess; ++i) names.push_back(name);
  return names;
}
}  // namespace

std::vector<std::string> TRegistryReader::GetValueNames() { return EnumNames(key_, &platform::Registry::EnumValue); }

std::vector<std::string> TRegistryReader::GetKeyNames() { return EnumNames(key_, &platform::Registry::EnumKey); }

bool TRegistryReader::ValueExists(const std::string& name) { return GetDataType(name).has_value(); }

std::optional<uint32_t> TRegistryReader::GetDataType(const std::string& name) {
  if (key_ == 0) return std::nullopt;
  uint32_t type = 0;
  if (Reg().QueryValue(key_, name, &type, nullptr) != win::kErrorSuccess) return std::nullopt;
  return type;
}

std::string TRegistryReader::ReadString(const std::string& name) {
  uint32_t type = 0;
  std::vector<uint8_t> data;
  if (key_ == 0 || Reg().QueryValue(key_, name, &type, &data) != win::kErrorSuccess) {
    throw ERegistryException("Cannot read value '" + name + "'");
  }
  if (type != win::kRegSz && type != win::kRegExpandSz) {
    throw ERegistryException("Invalid data type for '" + name + "'");
  }
  return UpToNul(data);
}

int32_t TRegistryReader::ReadInteger(const std::string& name) {
  uint32_t type = 0;
  std::vector<uint8_t> data;
  if (key_ == 0 || Reg().QueryValue(key_, name, &type, &data) != win::kErrorSuccess) {
    throw ERegistryException("Cannot read value '" + name + "'");
  }
  if (type != win::kRegDword || data.size() < 4) throw ERegistryException("Invalid data type for '" + name + "'");
  int32_t value = 0;
  std::memcpy(&value, data.data(), sizeof value);
  return value;
}

TRegistryReader& ScanRegistry() {
  thread_local TRegistryReader reader;
  return reader;
}

std::string RegValueToText(TRegistryReader& reader, const std::string& valueName) {
  try {
    const auto type = reader.GetDataType(valueName);
    if (!type) return "Unknown";
    switch (*type) {
      case win::kRegSz: return TrimControls(reader.ReadString(valueName));
      case win::kRegExpandSz: return reader.ReadString(valueName);
      case win::kRegBinary: return "Binary Data";
      case win::kRegDword: return std::to_string(reader.ReadInteger(valueName));
      default: return "Unknown";
    }
  } catch (const ERegistryException&) {
    return "Unknown";
  }
}

std::string ValueEntry(const std::string& name, const std::string& data, const std::string& keyText) {
  return Lng(47) + ": " + name + "\r\n" + Lng(48) + ": " + data + "\r\n" + Lng(49) + ": " + keyText + "\r\n";
}

}  // namespace inspect
