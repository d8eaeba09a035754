#include "platform/win32/win32_common.h"

#include <algorithm>
#include <vector>

namespace platform::win32 {
namespace {

constexpr DWORD kNameChars = 1024;

// The native calls that take a counted name or an open key, looked up in ntdll.
struct CountedName {
  USHORT length;
  USHORT maximumLength;
  PWSTR buffer;
};
using NtDeleteKeyFn = LONG(WINAPI*)(HANDLE);
using NtDeleteValueKeyFn = LONG(WINAPI*)(HANDLE, CountedName*);
using RtlNtStatusToDosErrorFn = ULONG(WINAPI*)(LONG);

uint32_t DosError(LONG status) {
  if (status == 0) return ERROR_SUCCESS;
  const auto convert = LoadedExport<RtlNtStatusToDosErrorFn>("ntdll.dll", "RtlNtStatusToDosError");
  return convert ? convert(status) : ERROR_ACCESS_DENIED;
}

bool HoldsNul(const std::string& name) { return name.find('\0') != std::string::npos; }
bool HoldsNul(const std::u16string& name) { return name.find(u'\0') != std::u16string::npos; }
const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

class Win32Registry final : public Registry {
 public:
  uint32_t OpenKey(RegKey parent, const std::string& subKey, uint32_t access, RegKey* out) override {
    HKEY key = nullptr;
    LONG rc = ::RegOpenKeyExA(ToHkey(parent), subKey.c_str(), 0, access, &key);
    if (rc == ERROR_SUCCESS) *out = reinterpret_cast<RegKey>(key);
    return static_cast<uint32_t>(rc);
  }

  uint32_t CreateKey(RegKey parent, const std::string& subKey, uint32_t access, RegKey* out) override {
    HKEY key = nullptr;
    LONG rc = ::RegCreateKeyExA(ToHkey(parent), subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                nullptr, &key, nullptr);
    if (rc == ERROR_SUCCESS) *out = reinterpret_cast<RegKey>(key);
    return static_cast<uint32_t>(rc);
  }

  uint32_t CloseKey(RegKey key) override { return static_cast<uint32_t>(::RegCloseKey(ToHkey(key))); }

  uint32_t QueryValue(RegKey key, const std::string& name, uint32_t* type,
                      std::vector<uint8_t>* data) override {
    if (HoldsNul(name)) return ERROR_INVALID_PARAMETER;
    return QueryWith(type, data, [&](DWORD* valueType, BYTE* bytes, DWORD* size) {
      return ::RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, valueType, bytes, size);
    });
  }

  uint32_t QueryValueW(RegKey key, const std::u16string& name, uint32_t* type,
                       std::vector<uint8_t>* data) override {
    if (HoldsNul(name)) return ERROR_INVALID_PARAMETER;
    return QueryWith(type, data, [&](DWORD* valueType, BYTE* bytes, DWORD* size) {
      return ::RegQueryValueExW(ToHkey(key), Wide(name), nullptr, valueType, bytes, size);
    });
  }

  uint32_t SetValueW(RegKey key, const std::u16string& name, uint32_t type, const void* data,
                     uint32_t size) override {
    if (HoldsNul(name)) return ERROR_INVALID_PARAMETER;
    return static_cast<uint32_t>(
        ::RegSetValueExW(ToHkey(key), Wide(name), 0, type, static_cast<const BYTE*>(data), size));
  }

  uint32_t OpenKeyEx(RegKey parent, const std::string& subKey, uint32_t options, uint32_t access,
                     RegKey* out) override {
    HKEY key = nullptr;
    LONG rc = ::RegOpenKeyExA(ToHkey(parent), subKey.c_str(), options, access, &key);
    if (rc == ERROR_SUCCESS) *out = reinterpret_cast<RegKey>(key);
    return static_cast<uint32_t>(rc);
  }

  uint32_t DeleteOpenKey(RegKey key) override {
    if (key >= kHkeyClassesRoot && key <= kHkeyDynData) return ERROR_ACCESS_DENIED;
    const auto deleteKey = LoadedExport<NtDeleteKeyFn>("ntdll.dll", "NtDeleteKey");
    if (!deleteKey) return ERROR_CALL_NOT_IMPLEMENTED;
    return DosError(deleteKey(ToHkey(key)));
  }

  uint32_t SetValue(RegKey key, const std::string& name, uint32_t type, const void* data,
                    uint32_t size) override {
    if (HoldsNul(name)) return ERROR_INVALID_PARAMETER;
    return static_cast<uint32_t>(
        ::RegSetValueExA(ToHkey(key), name.c_str(), 0, type, static_cast<const BYTE*>(data), size));
  }

  uint32_t EnumValue(RegKey key, uint32_t index, std::string* name) override {
    return EnumName(key, index, name, [&](char* buffer, DWORD* chars) {
      return ::RegEnumValueA(ToHkey(key), index, buffer, chars, nullptr, nullptr, nullptr, nullptr);
    });
  }

  uint32_t EnumValueData(RegKey key, uint32_t index, std::string* name, uint32_t* type,
                         std::vector<uint8_t>* data) override {
    DWORD nameChars = kNameChars + 1;
    DWORD size = 256;
    std::string buffer;
    DWORD valueType = 0;
    std::vector<uint8_t> bytes;
    LONG rc = ERROR_MORE_DATA;
    // Too small a buffer for the name or the data: again with the key's largest sizes, which
    // may have grown in between.
    for (int attempt = 0; rc == ERROR_MORE_DATA && attempt < 8; ++attempt) {
      if (attempt > 0) {
        DWORD maxName = 0, maxData = 0;
        if (::RegQueryInfoKeyA(ToHkey(key), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                               &maxData, nullptr, nullptr) != ERROR_SUCCESS) {
          break;
        }
        // The longest name in characters; a multibyte code page may need twice that in bytes.
        nameChars = std::max<DWORD>(nameChars, maxName * 2 + 1);
        size = std::max<DWORD>(size * 2, maxData);
      }
      buffer.assign(nameChars, '\0');
      bytes.resize(size ? size : 1);
      DWORD chars = nameChars;
      DWORD got = size;
      rc = ::RegEnumValueA(ToHkey(key), index, buffer.data(), &chars, nullptr, &valueType, bytes.data(), &got);
      if (rc == ERROR_SUCCESS) {
        name->assign(buffer.data(), chars);
        bytes.resize(got);
        if (type) *type = valueType;
      }
    }
    if (data) {
      if (rc != ERROR_SUCCESS) bytes.clear();
      *data = std::move(bytes);
    }
    return static_cast<uint32_t>(rc);
  }

  uint32_t EnumKey(RegKey key, uint32_t index, std::string* name) override {
    return EnumName(key, index, name, [&](char* buffer, DWORD* chars) {
      return ::RegEnumKeyExA(ToHkey(key), index, buffer, chars, nullptr, nullptr, nullptr, nullptr);
    });
  }

  uint32_t QueryInfoKey(RegKey key, uint32_t* subKeys, uint32_t* values) override {
    DWORD keys = 0, vals = 0;
    LONG rc = ::RegQueryInfoKeyA(ToHkey(key), nullptr, nullptr, nullptr, &keys, nullptr, nullptr, &vals, nullptr,
                                 nullptr, nullptr, nullptr);
    if (rc == ERROR_SUCCESS) {
      if (subKeys) *subKeys = keys;
      if (values) *values = vals;
    }
    return static_cast<uint32_t>(rc);
  }

  uint32_t DeleteValue(RegKey key, const std::string& name) override {
    if (!HoldsNul(name)) return static_cast<uint32_t>(::RegDeleteValueA(ToHkey(key), name.c_str()));
    // RegDeleteValueA would stop at the NUL and delete another value: the counted name instead.
    if (key >= kHkeyClassesRoot && key <= kHkeyDynData) return ERROR_INVALID_PARAMETER;
    const auto deleteValue = LoadedExport<NtDeleteValueKeyFn>("ntdll.dll", "NtDeleteValueKey");
    if (!deleteValue) return ERROR_CALL_NOT_IMPLEMENTED;
    const int chars = ::MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
    if (chars <= 0 || chars > 16383) return ERROR_INVALID_PARAMETER;
    std::vector<wchar_t> wide(static_cast<size_t>(chars));
    ::MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), wide.data(), chars);
    CountedName counted{static_cast<USHORT>(chars * sizeof(wchar_t)), static_cast<USHORT>(chars * sizeof(wchar_t)),
                        wide.data()};
    return DosError(deleteValue(ToHkey(key), &counted));
  }

  uint32_t DeleteKey(RegKey parent, const std::string& subKey) override {
    return static_cast<uint32_t>(::RegDeleteKeyA(ToHkey(parent), subKey.c_str()));
  }

 private:
  // A value's type and bytes through `call` (RegQueryValueExA or ...W). The value may grow between
  // the size query and the read: ask again with the new size.
  template <typename Call>
  static uint32_t QueryWith(uint32_t* type, std::vector<uint8_t>* data, Call call) {
    DWORD valueType = 0;
    DWORD size = 0;
    LONG rc = call(&valueType, nullptr, &size);
    if (rc == ERROR_SUCCESS && data) {
      rc = ERROR_MORE_DATA;
      for (int attempt = 0; rc == ERROR_MORE_DATA && attempt < 8; ++attempt) {
        data->resize(size ? size : 1);
        DWORD got = size;
        rc = call(&valueType, data->data(), &got);
        if (rc == ERROR_SUCCESS) {
          data->resize(got);
        } else if (rc == ERROR_MORE_DATA) {
          size = got > size ? got : size * 2 + 1;
        }
      }
    }
    if (rc == ERROR_SUCCESS && type) *type = valueType;
    if (rc != ERROR_SUCCESS && data) data->clear();
    return static_cast<uint32_t>(rc);
  }

  // One enumeration call with a 1024-character buffer; a longer name is read again with a
  // buffer as large as the key's longest name.
  template <typename Call>
  static uint32_t EnumName(RegKey key, uint32_t index, std::string* name, Call call) {
    std::string buffer(kNameChars + 1, '\0');
    DWORD chars = kNameChars + 1;
    LONG rc = call(buffer.data(), &chars);
    if (rc == ERROR_MORE_DATA) {
      DWORD maxKey = 0, maxValue = 0;
      if (::RegQueryInfoKeyA(ToHkey(key), nullptr, nullptr, nullptr, nullptr, &maxKey, nullptr, nullptr, &maxValue,
                             nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return static_cast<uint32_t>(rc);
      }
      // The longest name in characters; a multibyte code page may need twice that in bytes.
      chars = (maxKey > maxValue ? maxKey : maxValue) * 2 + 1;
      buffer.assign(chars, '\0');
      rc = call(buffer.data(), &chars);
    }
    if (rc == ERROR_SUCCESS) name->assign(buffer.data(), chars);
    return static_cast<uint32_t>(rc);
  }
};

}  // namespace

Registry& RegistryFacility() {
  static Win32Registry registry;
  return registry;
}

}  // namespace platform::win32
