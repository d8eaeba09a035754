// What only a running Windows has: on a volume at rest every such call fails, and nothing is
// made up in its place.
#include "platform/offline/volume_state.h"

namespace platform::offline {

namespace {

template <typename T>
T Fail(T value, uint32_t code = win::kErrorCallNotImplemented) {
  SetThreadLastError(code);
  return value;
}

class NoSecurity final : public Security {
 public:
  Handle OpenProcessToken(uint32_t) override { return Fail(kNoHandle); }
  bool LookupPrivilegeValue(const std::string&, uint64_t*) override { return Fail(false); }
  bool AdjustTokenPrivilege(Handle, uint64_t, bool) override { return Fail(false); }
  void CloseHandle(Handle) override {}
};

class NoProcesses final : public Processes {
 public:
  std::optional<std::vector<ProcessEntry>> SnapshotProcesses() override { return Fail(std::nullopt); }
  uint32_t GetCurrentProcessId() override { return 0; }
  Handle OpenProcess(uint32_t, uint32_t) override { return Fail(kNoHandle); }
  void CloseHandle(Handle) override {}
  bool EnumProcessModules(Handle, std::vector<uintptr_t>*, size_t) override { return Fail(false); }
  std::string GetModuleFileNameEx(Handle, uintptr_t, size_t) override { return Fail(std::string()); }
  bool HasGetProcessImageFileName() override { return false; }
  std::optional<std::string> GetProcessImageFileName(Handle) override { return Fail(std::nullopt); }
};

class NoShell final : public Shell {
 public:
  bool ShellExecute(uintptr_t, const std::string&, const std::string&, const std::string&, const std::string&,
                    int) override {
    return Fail(false);
  }
  bool ShowProperties(uintptr_t, const std::string&) override { return Fail(false); }
  bool ShellExecuteWait(const std::string&, const std::string&, int, uint32_t, uint32_t*) override {
    return Fail(false);
  }
};

class NoClipboard final : public Clipboard {
 public:
  bool SetText(const std::string&) override { return Fail(false); }
  std::string GetText() override { return ""; }
};

// No window: a question gets the answer of its default button.
class NoUi final : public Ui {
 public:
  int MessageBox(const std::string&, const std::string&, uint32_t flags) override {
    return (flags & win::kMbYesNo) == win::kMbYesNo ? win::kIdNo : win::kIdOk;
  }
};

class NoServices final : public Services {
 public:
  Handle OpenSCManager(const std::string&, uint32_t) override { return Fail(kNoHandle); }
  Handle OpenService(Handle, const std::string&, uint32_t) override { return Fail(kNoHandle); }
  bool QueryServiceStatus(Handle, uint32_t*) override { return Fail(false); }
  bool QueryServiceConfig(Handle, size_t, ServiceConfig*) override { return Fail(false); }
  bool EnumServicesStatus(Handle, uint32_t, uint32_t, std::vector<ServiceStatusEntry>*) override { return Fail(false); }
  void CloseServiceHandle(Handle) override {}
};

class NoIpHelper final : public IpHelper {
 public:
  bool LoadLibrary(const std::string&) override { return Fail(false); }
  bool HasExport(const std::string&) override { return false; }
  void FreeLibrary() override {}
  bool WsaStartup(uint16_t) override { return Fail(false); }
  void WsaCleanup() override {}
  uint32_t GetExtendedTcpTable(uint32_t*, bool, uint32_t, uint32_t, std::vector<TcpRow>*) override {
    return Fail(win::kErrorCallNotImplemented);
  }
  uint32_t GetExtendedUdpTable(uint32_t*, bool, uint32_t, uint32_t, std::vector<UdpRow>*) override {
    return Fail(win::kErrorCallNotImplemented);
  }
  uint32_t AllocateAndGetTcpExTableFromStack(bool, uint32_t, uint32_t, std::vector<TcpRow>*) override {
    return Fail(win::kErrorCallNotImplemented);
  }
  uint32_t AllocateAndGetUdpExTableFromStack(bool, uint32_t, uint32_t, std::vector<UdpRow>*) override {
    return Fail(win::kErrorCallNotImplemented);
  }
};

class NoInternet final : public Internet {
 public:
  Handle Open(const std::string&) override { return Fail(kNoHandle); }
  Handle OpenUrl(Handle, const std::string&, uint32_t) override { return Fail(kNoHandle); }
  bool QueryStatusCode(Handle, uint32_t, std::string*) override { return Fail(false); }
  bool ReadFile(Handle, void*, uint32_t, uint32_t* read) override {
    if (read) *read = 0;
    return Fail(false);
  }
  bool CloseHandle(Handle) override { return false; }
};

class NoNativeApi final : public NativeApi {
 public:
  void SetServiceEntry(NativeService, const ServiceEntry&) override {}
  ServiceEntry GetServiceEntry(NativeService) override { return {}; }
  uint32_t OpenProcess(Handle*, uint32_t, bool, uint32_t) override { return nt::kStatusNotImplemented; }
  uint32_t Close(Handle) override { return nt::kStatusInvalidHandle; }
  uint32_t ReadVirtualMemory(Handle, Address, void*, uint32_t, uint32_t* read) override {
    if (read) *read = 0;
    return nt::kStatusNotImplemented;
  }
  uint32_t QueryVirtualMemory(Handle, Address, uint32_t, void*, uint32_t, uint32_t*) override {
    return nt::kStatusNotImplemented;
  }
  uint32_t QueryInformationProcess(Handle, uint32_t, void*, uint32_t, uint32_t*) override {
    return nt::kStatusNotImplemented;
  }
  uint32_t QuerySystemInformation(uint32_t, void*, uint32_t, uint32_t*) override { return nt::kStatusNotImplemented; }
  uint32_t DeviceIoControlFile(Handle, Handle, IoStatus*, uint32_t, const void*, uint32_t, void*, uint32_t) override {
    return nt::kStatusNotImplemented;
  }
  uint32_t LoadDriver(const std::u16string&) override { return nt::kStatusNotImplemented; }
  uint32_t UnloadDriver(const std::u16string&) override { return nt::kStatusNotImplemented; }
  bool ReadOwnMemory(Address, void*, uint32_t) override { return false; }
  Address GetModuleHandle(const std::string&) override { return 0; }
  Address LoadLibrary(const std::string&) override { return 0; }
  std::string GetModuleFileName(Address, uint32_t) override { return ""; }
  Address CurrentPeb() override { return 0; }
  std::optional<bool> CallIsWow64Process(Address) override { return std::nullopt; }
  uint32_t CallRtlAdjustPrivilege(Address, uint32_t, bool, bool) override { return nt::kStatusNotImplemented; }
  std::string WideToAnsi(const std::u16string& text) override {
    std::string utf8 = Utf16ToUtf8(reinterpret_cast<const uint8_t*>(text.data()), text.size() * 2);
    return AnsiOf(utf8);
  }
  Handle OpenDevice(const std::string&) override { return Fail(kInvalidHandle, win::kErrorFileNotFound); }
  bool CloseDevice(Handle) override { return false; }
  Address MapImageFile(const std::string&) override { return 0; }
  void UnmapImageFile(Address) override {}
  Address LoadLibraryEx(const std::string&, uint32_t) override { return 0; }
  void FreeLibrary(Address) override {}
};

}  // namespace

std::unique_ptr<Security> MakeSecurity() { return std::make_unique<NoSecurity>(); }
std::unique_ptr<Processes> MakeProcesses() { return std::make_unique<NoProcesses>(); }
std::unique_ptr<Shell> MakeShell() { return std::make_unique<NoShell>(); }
std::unique_ptr<Clipboard> MakeClipboard() { return std::make_unique<NoClipboard>(); }
std::unique_ptr<Ui> MakeUi() { return std::make_unique<NoUi>(); }
std::unique_ptr<Services> MakeServices() { return std::make_unique<NoServices>(); }
std::unique_ptr<IpHelper> MakeIpHelper() { return std::make_unique<NoIpHelper>(); }
std::unique_ptr<Internet> MakeInternet() { return std::make_unique<NoInternet>(); }
std::unique_ptr<NativeApi> MakeNativeApi() { return std::make_unique<NoNativeApi>(); }

}  // namespace platform::offline
