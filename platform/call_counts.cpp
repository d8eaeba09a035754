#include "platform/call_counts.h"

#include <atomic>
#include <optional>

#include "platform/forwarding_file_system.h"

namespace platform {

namespace {

struct AtomicCounts {
#define BS_CALL_COUNT_ATOMIC(member, text) std::atomic<uint64_t> member{0};
  BS_CALL_COUNTS(BS_CALL_COUNT_ATOMIC)
#undef BS_CALL_COUNT_ATOMIC
};
AtomicCounts g_counts;

void Bump(std::atomic<uint64_t>& counter, uint64_t by = 1) { counter.fetch_add(by, std::memory_order_relaxed); }

class CountingRegistry : public Registry {
 public:
  explicit CountingRegistry(Registry& inner) : inner_(inner) {}
  uint32_t OpenKey(RegKey parent, const std::string& subKey, uint32_t access, RegKey* out) override {
    Bump(g_counts.keysOpened);
    return inner_.OpenKey(parent, subKey, access, out);
  }
  uint32_t CreateKey(RegKey parent, const std::string& subKey, uint32_t access, RegKey* out) override {
    Bump(g_counts.keysOpened);
    return inner_.CreateKey(parent, subKey, access, out);
  }
  uint32_t CloseKey(RegKey key) override { return inner_.CloseKey(key); }
  uint32_t QueryValue(RegKey key, const std::string& name, uint32_t* type, std::vector<uint8_t>* data) override {
    Bump(g_counts.valuesRead);
    return inner_.QueryValue(key, name, type, data);
  }
  uint32_t SetValue(RegKey key, const std::string& name, uint32_t type, const void* data, uint32_t size) override {
    return inner_.SetValue(key, name, type, data, size);
  }
  uint32_t EnumValue(RegKey key, uint32_t index, std::string* name) override {
    Bump(g_counts.keysEnumerated);
    return inner_.EnumValue(key, index, name);
  }
  uint32_t EnumKey(RegKey key, uint32_t index, std::string* name) override {
    Bump(g_counts.keysEnumerated);
    return inner_.EnumKey(key, index, name);
  }
  uint32_t EnumValueData(RegKey key, uint32_t index, std::string* name, uint32_t* type,
                         std::vector<uint8_t>* data) override {
    Bump(g_counts.keysEnumerated);
    if (data) Bump(g_counts.valuesRead);
    return inner_.EnumValueData(key, index, name, type, data);
  }
  uint32_t QueryInfoKey(RegKey key, uint32_t* subKeys, uint32_t* values) override {
    Bump(g_counts.keysEnumerated);
    return inner_.QueryInfoKey(key, subKeys, values);
  }
  uint32_t DeleteValue(RegKey key, const std::string& name) override { return inner_.DeleteValue(key, name); }
  uint32_t DeleteKey(RegKey parent, const std::string& subKey) override { return inner_.DeleteKey(parent, subKey); }
  uint32_t OpenKeyEx(RegKey parent, const std::string& subKey, uint32_t options, uint32_t access,
                     RegKey* out) override {
    Bump(g_counts.keysOpened);
    return inner_.OpenKeyEx(parent, subKey, options, access, out);
  }
  uint32_t DeleteOpenKey(RegKey key) override { return inner_.DeleteOpenKey(key); }
  uint32_t QueryValueW(RegKey key, const std::u16string& name, uint32_t* type, std::vector<uint8_t>* data) override {
    Bump(g_counts.valuesRead);
    return inner_.QueryValueW(key, name, type, data);
  }
  uint32_t SetValueW(RegKey key, const std::u16string& name, uint32_t type, const void* data,
                     uint32_t size) override {
    return inner_.SetValueW(key, name, type, data, size);
  }

 private:
  Registry& inner_;
};

class CountingFiles : public ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  Handle FindFirstFile(const std::string& pattern, FindData* data) override {
    Bump(g_counts.filesFound);
    Bump(g_counts.findsStarted);
    return inner().FindFirstFile(pattern, data);
  }
  bool FindNextFile(Handle find, FindData* data) override {
    Bump(g_counts.filesFound);
    return inner().FindNextFile(find, data);
  }
  uint32_t GetFileAttributes(const std::string& path) override {
    Bump(g_counts.attributesRead);
    const uint32_t attributes = inner().GetFileAttributes(path);
    if (attributes == win::kInvalidFileAttributes) Bump(g_counts.attributesMissing);
    return attributes;
  }
  Handle CreateFile(const std::string& path, uint32_t access, uint32_t share, uint32_t disposition,
                    uint32_t attributes) override {
    Bump(g_counts.filesOpened);
    return inner().CreateFile(path, access, share, disposition, attributes);
  }
  bool ReadFile(Handle file, void* buffer, uint32_t size, uint32_t* read) override {
    const bool ok = inner().ReadFile(file, buffer, size, read);
    if (ok && read) Bump(g_counts.bytesRead, *read);
    return ok;
  }
  Handle CreatePrivateFile(const std::string& path) override {
    Bump(g_counts.filesOpened);
    return inner().CreatePrivateFile(path);
  }
  bool GetFileVersionInfo(const std::string& path, std::vector<uint8_t>* data) override {
    Bump(g_counts.versionReads);
    return inner().GetFileVersionInfo(path, data);
  }
};

class CountingServices : public Services {
 public:
  explicit CountingServices(Services& inner) : inner_(inner) {}
  Handle OpenSCManager(const std::string& machine, uint32_t access) override {
    Bump(g_counts.servicesOpened);
    return inner_.OpenSCManager(machine, access);
  }
  Handle OpenService(Handle manager, const std::string& name, uint32_t access) override {
    Bump(g_counts.servicesOpened);
    return inner_.OpenService(manager, name, access);
  }
  bool QueryServiceStatus(Handle service, uint32_t* currentState) override {
    return inner_.QueryServiceStatus(service, currentState);
  }
  bool QueryServiceConfig(Handle service, size_t bufferSize, ServiceConfig* config) override {
    return inner_.QueryServiceConfig(service, bufferSize, config);
  }
  bool EnumServicesStatus(Handle manager, uint32_t serviceType, uint32_t serviceState,
                          std::vector<ServiceStatusEntry>* services) override {
    return inner_.EnumServicesStatus(manager, serviceType, serviceState, services);
  }
  void CloseServiceHandle(Handle handle) override { inner_.CloseServiceHandle(handle); }

 private:
  Services& inner_;
};

class CountingSystem : public System {
 public:
  explicit CountingSystem(System& inner) : inner_(inner) {}
  uint32_t GetLastError() override { return inner_.GetLastError(); }
  void SetLastError(uint32_t code) override { inner_.SetLastError(code); }
  std::string FormatErrorMessage(uint32_t code) override { return inner_.FormatErrorMessage(code); }
  std::string Utf8ToAnsi(const std::string& text) override { return inner_.Utf8ToAnsi(text); }
  std::string AnsiToUtf8(const std::string& text) override { return inner_.AnsiToUtf8(text); }
  std::u16string AnsiToWide(const std::string& text) override { return inner_.AnsiToWide(text); }
  std::string GetWindowsDirectory() override { return inner_.GetWindowsDirectory(); }
  std::string GetSystemDirectory() override { return inner_.GetSystemDirectory(); }
  std::string GetTempPath() override { return inner_.GetTempPath(); }
  std::string GetModuleFileName() override { return inner_.GetModuleFileName(); }
  std::string GetSpecialFolderPath(int csidl) override {
    Bump(g_counts.pathLookups);
    return inner_.GetSpecialFolderPath(csidl);
  }
  std::optional<std::string> GetLongPathName(const std::string& path) override {
    Bump(g_counts.pathLookups);
    return inner_.GetLongPathName(path);
  }
  std::optional<std::string> ShellParsePath(const std::string& path) override {
    Bump(g_counts.pathLookups);
    return inner_.ShellParsePath(path);
  }
  std::vector<std::string> QueryDosDevice(const std::string& name) override {
    Bump(g_counts.pathLookups);
    return inner_.QueryDosDevice(name);
  }
  uint32_t GetDriveType(const std::string& root) override {
    Bump(g_counts.pathLookups);
    return inner_.GetDriveType(root);
  }
  OsVersion GetVersion() override { return inner_.GetVersion(); }
  std::optional<bool> IsWow64Process() override { return inner_.IsWow64Process(); }
  bool Is64BitProcess() override { return inner_.Is64BitProcess(); }
  uint32_t GetTickCount() override { return inner_.GetTickCount(); }
  uint64_t GetMicroseconds() override { return inner_.GetMicroseconds(); }
  void Sleep(uint32_t milliseconds, bool alertable) override { inner_.Sleep(milliseconds, alertable); }
  bool BeginTimerPeriod(uint32_t milliseconds) override { return inner_.BeginTimerPeriod(milliseconds); }
  void EndTimerPeriod(uint32_t milliseconds) override { inner_.EndTimerPeriod(milliseconds); }
  LocalTime GetLocalTime() override { return inner_.GetLocalTime(); }
  std::string FormatShortDate(const LocalTime& time) override { return inner_.FormatShortDate(time); }
  std::string FormatLongTime(const LocalTime& time) override { return inner_.FormatLongTime(time); }
  std::string GetPrivateProfileString(const std::string& file, const std::string& section, const std::string& key,
                                      const std::string& fallback) override {
    return inner_.GetPrivateProfileString(file, section, key, fallback);
  }
  bool WritePrivateProfileString(const std::string& file, const std::string& section, const std::string& key,
                                 const std::string& value) override {
    return inner_.WritePrivateProfileString(file, section, key, value);
  }
  LocalTime FileTimeToLocalTime(FileTime time) override { return inner_.FileTimeToLocalTime(time); }
  uint32_t AllocationGranularity() override { return inner_.AllocationGranularity(); }
  std::optional<bool> SfcIsFileProtected(const std::string& library, const std::string& path) override {
    return inner_.SfcIsFileProtected(library, path);
  }
  bool ExitWindowsEx(uint32_t flags, uint32_t reason) override { return inner_.ExitWindowsEx(flags, reason); }
  bool SetRestorePoint(uint32_t eventType, uint32_t restorePointType, const std::string& description) override {
    return inner_.SetRestorePoint(eventType, restorePointType, description);
  }

 private:
  System& inner_;
};

class CountingProcesses : public Processes {
 public:
  explicit CountingProcesses(Processes& inner) : inner_(inner) {}
  std::optional<std::vector<ProcessEntry>> SnapshotProcesses() override {
    Bump(g_counts.processCalls);
    return inner_.SnapshotProcesses();
  }
  uint32_t GetCurrentProcessId() override { return inner_.GetCurrentProcessId(); }
  Handle OpenProcess(uint32_t access, uint32_t pid) override {
    Bump(g_counts.processCalls);
    return inner_.OpenProcess(access, pid);
  }
  void CloseHandle(Handle process) override { inner_.CloseHandle(process); }
  bool EnumProcessModules(Handle process, std::vector<uintptr_t>* modules, size_t capacity) override {
    Bump(g_counts.processCalls);
    return inner_.EnumProcessModules(process, modules, capacity);
  }
  std::string GetModuleFileNameEx(Handle process, uintptr_t module, size_t chars) override {
    Bump(g_counts.processCalls);
    return inner_.GetModuleFileNameEx(process, module, chars);
  }
  bool HasGetProcessImageFileName() override { return inner_.HasGetProcessImageFileName(); }
  std::optional<std::string> GetProcessImageFileName(Handle process) override {
    Bump(g_counts.processCalls);
    return inner_.GetProcessImageFileName(process);
  }

 private:
  Processes& inner_;
};

class CountingIpHelper : public IpHelper {
 public:
  explicit CountingIpHelper(IpHelper& inner) : inner_(inner) {}
  bool LoadLibrary(const std::string& name) override { return inner_.LoadLibrary(name); }
  bool HasExport(const std::string& name) override { return inner_.HasExport(name); }
  void FreeLibrary() override { inner_.FreeLibrary(); }
  bool WsaStartup(uint16_t version) override { return inner_.WsaStartup(version); }
  void WsaCleanup() override { inner_.WsaCleanup(); }
  uint32_t GetExtendedTcpTable(uint32_t* size, bool order, uint32_t family, uint32_t tableClass,
                               std::vector<TcpRow>* rows) override {
    Bump(g_counts.tcpTables);
    return inner_.GetExtendedTcpTable(size, order, family, tableClass, rows);
  }
  uint32_t GetExtendedUdpTable(uint32_t* size, bool order, uint32_t family, uint32_t tableClass,
                               std::vector<UdpRow>* rows) override {
    Bump(g_counts.udpTables);
    return inner_.GetExtendedUdpTable(size, order, family, tableClass, rows);
  }
  uint32_t AllocateAndGetTcpExTableFromStack(bool order, uint32_t flags, uint32_t family,
                                             std::vector<TcpRow>* rows) override {
    Bump(g_counts.tcpTables);
    return inner_.AllocateAndGetTcpExTableFromStack(order, flags, family, rows);
  }
  uint32_t AllocateAndGetUdpExTableFromStack(bool order, uint32_t flags, uint32_t family,
                                             std::vector<UdpRow>* rows) override {
    Bump(g_counts.udpTables);
    return inner_.AllocateAndGetUdpExTableFromStack(order, flags, family, rows);
  }

 private:
  IpHelper& inner_;
};

}  // namespace

TCallCounts TCallCounts::operator-(const TCallCounts& earlier) const {
  TCallCounts difference;
#define BS_CALL_COUNT_SUBTRACT(member, text) difference.member = member - earlier.member;
  BS_CALL_COUNTS(BS_CALL_COUNT_SUBTRACT)
#undef BS_CALL_COUNT_SUBTRACT
  return difference;
}

TCallCounts CallCounts() {
  TCallCounts counts;
#define BS_CALL_COUNT_LOAD(member, text) counts.member = g_counts.member.load(std::memory_order_relaxed);
  BS_CALL_COUNTS(BS_CALL_COUNT_LOAD)
#undef BS_CALL_COUNT_LOAD
  return counts;
}

void CountHashedBytes(uint64_t bytes) { Bump(g_counts.bytesHashed, bytes); }

void CountPause() { Bump(g_counts.pauses); }

std::string CallCountsText(const TCallCounts& c) {
  std::string text;
#define BS_CALL_COUNT_TEXT(member, name) text += (text.empty() ? "" : ", ") + std::string(name) + " " + std::to_string(c.member);
  BS_CALL_COUNTS(BS_CALL_COUNT_TEXT)
#undef BS_CALL_COUNT_TEXT
  return text;
}

struct TCallCounter::Facilities {
  CountingRegistry registry;
  CountingFiles files;
  CountingServices services;
  CountingSystem system;
  CountingProcesses processes;
  std::optional<CountingIpHelper> iphelper;  // the backend may have none
};

TCallCounter::TCallCounter()
    : facilities_(std::make_unique<Facilities>(Facilities{CountingRegistry(Reg()), CountingFiles(Fs()),
                                                          CountingServices(Svc()), CountingSystem(Sys()),
                                                          CountingProcesses(Procs()), std::nullopt})),
      previous_(Current()) {
  Backend counted = previous_;
  counted.registry = &facilities_->registry;
  counted.files = &facilities_->files;
  counted.services = &facilities_->services;
  counted.system = &facilities_->system;
  counted.processes = &facilities_->processes;
  if (previous_.iphelper) counted.iphelper = &facilities_->iphelper.emplace(*previous_.iphelper);
  Install(counted);
}

TCallCounter::~TCallCounter() { Install(previous_); }

}  // namespace platform
