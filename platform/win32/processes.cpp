#include "platform/win32/win32_common.h"

#include <cstring>

namespace platform::win32 {
namespace {

// psapi.dll, loaded at run time (its functions moved around between Windows versions).
using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, LPDWORD);
using GetModuleFileNameExFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);
using GetProcessImageFileNameFn = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD);

template <typename Fn>
Fn Psapi(const char* name) {
  return LibraryExport<Fn>("psapi.dll", name);
}

class Win32Processes final : public Processes {
 public:
  std::optional<std::vector<ProcessEntry>> SnapshotProcesses() override {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return std::nullopt;
    std::vector<ProcessEntry> list;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot, &entry); more; more = ::Process32Next(snapshot, &entry)) {
      list.push_back({entry.th32ProcessID, entry.th32ParentProcessID, entry.szExeFile});
      entry.dwSize = sizeof entry;
    }
    ::CloseHandle(snapshot);
    return list;
  }

  uint32_t GetCurrentProcessId() override { return ::GetCurrentProcessId(); }

  Handle OpenProcess(uint32_t access, uint32_t pid) override {
    HANDLE process = ::OpenProcess(access, FALSE, pid);
    return process ? FromHandle(process) : kNoHandle;
  }

  void CloseHandle(Handle process) override { ::CloseHandle(ToHandle(process)); }

  bool EnumProcessModules(Handle process, std::vector<uintptr_t>* modules, size_t capacity) override {
    static const auto enumModules = Psapi<EnumProcessModulesFn>("EnumProcessModules");
    modules->clear();
    if (!enumModules) return false;
    std::vector<HMODULE> handles(capacity ? capacity : 1);
    DWORD needed = 0;
    if (!enumModules(ToHandle(process), handles.data(), static_cast<DWORD>(capacity * sizeof(HMODULE)), &needed)) {
      return false;
    }
    size_t count = needed / sizeof(HMODULE);
    if (count > capacity) count = capacity;
    for (size_t i = 0; i < count; ++i) modules->push_back(reinterpret_cast<uintptr_t>(handles[i]));
    return true;
  }

  std::string GetModuleFileNameEx(Handle process, uintptr_t module, size_t chars) override {
    static const auto getName = Psapi<GetModuleFileNameExFn>("GetModuleFileNameExA");
    if (!getName || chars == 0) return "";
    std::string buffer(chars, '\0');
    DWORD n = getName(ToHandle(process), reinterpret_cast<HMODULE>(module), buffer.data(), static_cast<DWORD>(chars));
    // A cut name may fill the buffer with or without its NUL, depending on the Windows version.
    buffer.resize(strnlen(buffer.data(), n < chars ? n : chars));
    return buffer;
  }

  bool HasGetProcessImageFileName() override { return ImageFileName() != nullptr; }

  std::optional<std::string> GetProcessImageFileName(Handle process) override {
    const auto getImage = ImageFileName();
    if (!getImage) return std::nullopt;
    char buffer[1024] = {};
    DWORD n = getImage(ToHandle(process), buffer, sizeof buffer);
    if (n == 0) return std::nullopt;
    return std::string(buffer, n);
  }

 private:
  static GetProcessImageFileNameFn ImageFileName() {
    static const auto getImage = Psapi<GetProcessImageFileNameFn>("GetProcessImageFileNameA");
    return getImage;
  }
};

}  // namespace

Processes& ProcessesFacility() {
  static Win32Processes processes;
  return processes;
}

}  // namespace platform::win32
