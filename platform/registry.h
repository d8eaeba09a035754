// The registry facility and its predefined roots.
#pragma once

#include <cstdint>
#include <string>

#include "platform/basics.h"

namespace platform {

// Registry key handles; the seven predefined roots have the values Windows gives them.
using RegKey = std::uintptr_t;
constexpr RegKey kHkeyClassesRoot = 0x80000000;
constexpr RegKey kHkeyCurrentUser = 0x80000001;
constexpr RegKey kHkeyLocalMachine = 0x80000002;
constexpr RegKey kHkeyUsers = 0x80000003;
constexpr RegKey kHkeyPerformanceData = 0x80000004;
constexpr RegKey kHkeyCurrentConfig = 0x80000005;
constexpr RegKey kHkeyDynData = 0x80000006;

// Every method returns a Windows error code (0 = success), as the Reg* calls do.
class Registry {
 public:
  virtual ~Registry() = default;
  virtual uint32_t OpenKey(RegKey parent, const std::string& subKey, uint32_t access, RegKey* out) = 0;
  // RegCreateKeyExA, non-volatile.
  virtual uint32_t CreateKey(RegKey parent, const std::string& subKey, uint32_t access, RegKey* out) = 0;
  virtual uint32_t CloseKey(RegKey key) = 0;
  // RegQueryValueExA: type and raw bytes; an empty name is the default value. `data` may be null.
  // A name holding a NUL is refused (kErrorInvalidParameter): the call would read another value.
  virtual uint32_t QueryValue(RegKey key, const std::string& name, uint32_t* type,
                              std::vector<uint8_t>* data) = 0;
  virtual uint32_t SetValue(RegKey key, const std::string& name, uint32_t type, const void* data,
                            uint32_t size) = 0;
  // RegEnumValueA / RegEnumKeyExA at one index; kErrorNoMoreItems past the end.
  virtual uint32_t EnumValue(RegKey key, uint32_t index, std::string* name) = 0;
  virtual uint32_t EnumKey(RegKey key, uint32_t index, std::string* name) = 0;
  // RegEnumValueA at one index with the value's type and bytes, so that walking a key's values
  // never looks each one up by name. `data` may be null. By default: the name, then the value by
  // that name.
  virtual uint32_t EnumValueData(RegKey key, uint32_t index, std::string* name, uint32_t* type,
                                 std::vector<uint8_t>* data) {
    const uint32_t rc = EnumValue(key, index, name);
    return rc != 0 ? rc : QueryValue(key, *name, type, data);
  }
  virtual uint32_t QueryInfoKey(RegKey key, uint32_t* subKeys, uint32_t* values) = 0;
  // RegDeleteValueA; a name holding a NUL deletes the value of exactly that name (NtDeleteValueKey
  // with the counted name), never the one its first part names.
  virtual uint32_t DeleteValue(RegKey key, const std::string& name) = 0;
  // RegDeleteKeyA: refuses a key that still has subkeys.
  virtual uint32_t DeleteKey(RegKey parent, const std::string& subKey) = 0;

  // RegOpenKeyExA with options: kRegOptionOpenLink opens a registry link itself, not its target.
  virtual uint32_t OpenKeyEx(RegKey parent, const std::string& subKey, uint32_t options, uint32_t access,
                             RegKey* out) = 0;
  // NtDeleteKey of an open key (opened with kDelete): deletes that very key, a link without its
  // target; refuses a key that still has subkeys.
  virtual uint32_t DeleteOpenKey(RegKey key) = 0;
  // RegQueryValueExW / RegSetValueExW: names and string data in UTF-16, so that text outside the
  // code page survives. `data` may be null.
  virtual uint32_t QueryValueW(RegKey key, const std::u16string& name, uint32_t* type,
                               std::vector<uint8_t>* data) = 0;
  virtual uint32_t SetValueW(RegKey key, const std::u16string& name, uint32_t type, const void* data,
                             uint32_t size) = 0;
};

}  // namespace platform
