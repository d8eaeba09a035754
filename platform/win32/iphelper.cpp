#include "platform/win32/win32_common.h"

#include <winsock2.h>

#include <atomic>
#include <cstring>

namespace platform::win32 {
namespace {

using GetExtendedTableFn = DWORD(WINAPI*)(PVOID table, PDWORD size, BOOL order, ULONG family, int tableClass,
                                          ULONG reserved);
using FromStackTableFn = DWORD(WINAPI*)(PVOID* table, BOOL order, HANDLE heap, DWORD flags, DWORD family);

// A table is a 32-bit entry count followed by rows of 32-bit fields, in the order of the row structs.
constexpr size_t kTcpFields = 6;
constexpr size_t kUdpFields = 3;

TcpRow TcpRowOf(const uint32_t (&f)[kTcpFields]) { return {f[0], f[1], f[2], f[3], f[4], f[5]}; }
UdpRow UdpRowOf(const uint32_t (&f)[kUdpFields]) { return {f[0], f[1], f[2]}; }

// The rows of a table of `bytes` bytes; false when the entry count claims more rows than the bytes hold.
template <size_t Fields, typename Row, typename Make>
bool ReadRows(const uint8_t* table, size_t bytes, std::vector<Row>* rows, Make make) {
  rows->clear();
  if (table == nullptr || bytes < sizeof(uint32_t)) return false;
  uint32_t count = 0;
  std::memcpy(&count, table, sizeof count);
  constexpr size_t rowBytes = Fields * sizeof(uint32_t);
  if (count > (bytes - sizeof(uint32_t)) / rowBytes) return false;
  rows->reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t fields[Fields];
    std::memcpy(fields, table + sizeof(uint32_t) + i * rowBytes, rowBytes);
    rows->push_back(make(fields));
  }
  return true;
}

class Win32IpHelper final : public IpHelper {
 public:
  bool LoadLibrary(const std::string& name) override {
    if (module_ != nullptr) return true;
    module_ = LoadSystemLibrary(name);
    return module_ != nullptr;
  }

  bool HasExport(const std::string& name) override { return Export<FARPROC>(name.c_str()) != nullptr; }

  void FreeLibrary() override {
    if (HMODULE module = module_.exchange(nullptr)) ::FreeLibrary(module);
  }

  bool WsaStartup(uint16_t version) override {
    WSADATA data{};
    return ::WSAStartup(version, &data) == 0;
  }

  void WsaCleanup() override { ::WSACleanup(); }

  uint32_t GetExtendedTcpTable(uint32_t* size, bool order, uint32_t family, uint32_t tableClass,
                               std::vector<TcpRow>* rows) override {
    return Extended<kTcpFields>("GetExtendedTcpTable", size, order, family, tableClass, rows, TcpRowOf);
  }

  uint32_t GetExtendedUdpTable(uint32_t* size, bool order, uint32_t family, uint32_t tableClass,
                               std::vector<UdpRow>* rows) override {
    return Extended<kUdpFields>("GetExtendedUdpTable", size, order, family, tableClass, rows, UdpRowOf);
  }

  uint32_t AllocateAndGetTcpExTableFromStack(bool order, uint32_t flags, uint32_t family,
                                             std::vector<TcpRow>* rows) override {
    return FromStack<kTcpFields>("AllocateAndGetTcpExTableFromStack", order, flags, family, rows, TcpRowOf);
  }

  uint32_t AllocateAndGetUdpExTableFromStack(bool order, uint32_t flags, uint32_t family,
                                             std::vector<UdpRow>* rows) override {
    return FromStack<kUdpFields>("AllocateAndGetUdpExTableFromStack", order, flags, family, rows, UdpRowOf);
  }

 private:
  template <typename Fn>
  Fn Export(const char* name) {
    HMODULE module = module_;
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
  }

  template <size_t Fields, typename Row, typename Make>
  uint32_t Extended(const char* name, uint32_t* size, bool order, uint32_t family, uint32_t tableClass,
                    std::vector<Row>* rows, Make make) {
    rows->clear();
    auto fn = Export<GetExtendedTableFn>(name);
    if (fn == nullptr) return win::kErrorCallNotImplemented;
    std::vector<uint8_t> buffer(*size);
    DWORD inOut = *size;
    const DWORD result = fn(buffer.empty() ? nullptr : buffer.data(), &inOut, order, family,
                            static_cast<int>(tableClass), 0);
    *size = inOut;
    if (result != NO_ERROR) return result;
    if (!ReadRows<Fields>(buffer.data(), buffer.size(), rows, make)) return win::kErrorInvalidData;
    return NO_ERROR;
  }

  template <size_t Fields, typename Row, typename Make>
  uint32_t FromStack(const char* name, bool order, uint32_t flags, uint32_t family, std::vector<Row>* rows,
                     Make make) {
    rows->clear();
    auto fn = Export<FromStackTableFn>(name);
    if (fn == nullptr) return win::kErrorCallNotImplemented;
    HANDLE heap = ::GetProcessHeap();
    PVOID table = nullptr;
    const DWORD result = fn(&table, order, heap, flags, family);
    if (table == nullptr) return result != NO_ERROR ? result : win::kErrorInvalidData;
    // The library allocated the table on our heap: its size bounds what may be read.
    const SIZE_T bytes = ::HeapSize(heap, 0, table);
    const bool ok = result == NO_ERROR && bytes != static_cast<SIZE_T>(-1) &&
                    ReadRows<Fields>(static_cast<const uint8_t*>(table), bytes, rows, make);
    ::HeapFree(heap, 0, table);
    if (result != NO_ERROR) return result;
    return ok ? NO_ERROR : win::kErrorInvalidData;
  }

  std::atomic<HMODULE> module_{nullptr};
};

}  // namespace

IpHelper& IpHelperFacility() {
  static Win32IpHelper helper;
  return helper;
}

}  // namespace platform::win32
