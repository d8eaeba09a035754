#include "platform/call_counts.h"

#include <atomic>

namespace platform {

namespace {

struct AtomicCounts {
  std::atomic<uint64_t> keysOpened{0}, keysEnumerated{0}, valuesRead{0}, filesOpened{0}, filesFound{0},
      attributesRead{0}, bytesHashed{0}, pauses{0}, servicesOpened{0}, bytesRead{0};
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

class CountingFiles : public FileSystem {
 public:
  explicit CountingFiles(FileSystem& inner) : inner_(inner) {}
  Handle FindFirstFile(const std::string& pattern, FindData* data) override {
    Bump(g_counts.filesFound);
    return inner_.FindFirstFile(pattern, data);
  }
  bool FindNextFile(Handle find, FindData* data) override {
    Bump(g_counts.filesFound);
    return inner_.FindNextFile(find, data);
  }
  void FindClose(Handle find) override { inner_.FindClose(find); }
  uint32_t GetFileAttributes(const std::string& path) override {
    Bump(g_counts.attributesRead);
    return inner_.GetFileAttributes(path);
  }
  bool SetFileAttributes(const std::string& path, uint32_t attributes) override {
    return inner_.SetFileAttributes(path, attributes);
  }
  bool CreateDirectory(const std::string& path) override { return inner_.CreateDirectory(path); }
  bool CreatePrivateDirectory(const std::string& path) override { return inner_.CreatePrivateDirectory(path); }
  bool RemoveDirectory(const std::string& path) override { return inner_.RemoveDirectory(path); }
  bool DeleteFile(const std::string& path) override { return inner_.DeleteFile(path); }
  bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) override {
    return inner_.CopyFile(from, to, failIfExists);
  }
  bool MoveFileEx(const std::string& from, const std::string& to, uint32_t flags) override {
    return inner_.MoveFileEx(from, to, flags);
  }
  Handle CreateFile(const std::string& path, uint32_t access, uint32_t share, uint32_t disposition,
                    uint32_t attributes) override {
    Bump(g_counts.filesOpened);
    return inner_.CreateFile(path, access, share, disposition, attributes);
  }
  bool ReadFile(Handle file, void* buffer, uint32_t size, uint32_t* read) override {
    const bool ok = inner_.ReadFile(file, buffer, size, read);
    if (ok && read) Bump(g_counts.bytesRead, *read);
    return ok;
  }
  bool WriteFile(Handle file, const void* buffer, uint32_t size, uint32_t* written) override {
    return inner_.WriteFile(file, buffer, size, written);
  }
  bool SetFilePointer(Handle file, int64_t distance, uint32_t method, uint64_t* position) override {
    return inner_.SetFilePointer(file, distance, method, position);
  }
  bool GetFileSize(Handle file, uint64_t* size) override { return inner_.GetFileSize(file, size); }
  bool GetFileTime(Handle file, FileTime* creation, FileTime* access, FileTime* write) override {
    return inner_.GetFileTime(file, creation, access, write);
  }
  bool CloseHandle(Handle file) override { return inner_.CloseHandle(file); }
  bool FlushFileBuffers(Handle file) override { return inner_.FlushFileBuffers(file); }
  bool GetFileAttributesByHandle(Handle file, uint32_t* attributes) override {
    return inner_.GetFileAttributesByHandle(file, attributes);
  }
  Handle CreatePrivateFile(const std::string& path) override {
    Bump(g_counts.filesOpened);
    return inner_.CreatePrivateFile(path);
  }
  Handle CreateFileMapping(Handle file) override { return inner_.CreateFileMapping(file); }
  const uint8_t* MapViewOfFile(Handle mapping, uint64_t offset, size_t length) override {
    return inner_.MapViewOfFile(mapping, offset, length);
  }
  void UnmapViewOfFile(const uint8_t* view) override { inner_.UnmapViewOfFile(view); }
  // Opens the file to read its version resource.
  bool GetFileVersionInfo(const std::string& path, std::vector<uint8_t>* data) override {
    Bump(g_counts.filesOpened);
    return inner_.GetFileVersionInfo(path, data);
  }
  bool VerQueryTranslation(const std::vector<uint8_t>& data, uint16_t* language, uint16_t* codePage) override {
    return inner_.VerQueryTranslation(data, language, codePage);
  }
  std::optional<std::string> VerQueryString(const std::vector<uint8_t>& data, const std::string& subBlock) override {
    return inner_.VerQueryString(data, subBlock);
  }

 private:
  FileSystem& inner_;
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

}  // namespace

TCallCounts TCallCounts::operator-(const TCallCounts& earlier) const {
  return {keysOpened - earlier.keysOpened,         keysEnumerated - earlier.keysEnumerated,
          valuesRead - earlier.valuesRead,         filesOpened - earlier.filesOpened,
          filesFound - earlier.filesFound,         attributesRead - earlier.attributesRead,
          bytesHashed - earlier.bytesHashed,       pauses - earlier.pauses,
          servicesOpened - earlier.servicesOpened, bytesRead - earlier.bytesRead};
}

TCallCounts CallCounts() {
  const auto load = [](const std::atomic<uint64_t>& counter) { return counter.load(std::memory_order_relaxed); };
  return {load(g_counts.keysOpened),  load(g_counts.keysEnumerated), load(g_counts.valuesRead),
          load(g_counts.filesOpened), load(g_counts.filesFound),     load(g_counts.attributesRead),
          load(g_counts.bytesHashed), load(g_counts.pauses),         load(g_counts.servicesOpened),
          load(g_counts.bytesRead)};
}

void CountHashedBytes(uint64_t bytes) { Bump(g_counts.bytesHashed, bytes); }

void CountPause() { Bump(g_counts.pauses); }

std::string CallCountsText(const TCallCounts& c) {
  return "keys opened " + std::to_string(c.keysOpened) + ", keys enumerated " + std::to_string(c.keysEnumerated) +
         ", values read " + std::to_string(c.valuesRead) + ", files opened " + std::to_string(c.filesOpened) +
         ", files found " + std::to_string(c.filesFound) + ", attributes read " + std::to_string(c.attributesRead) +
         ", bytes hashed " + std::to_string(c.bytesHashed) + ", pauses " + std::to_string(c.pauses) +
         ", services opened " + std::to_string(c.servicesOpened) + ", bytes read " + std::to_string(c.bytesRead);
}

struct TCallCounter::Facilities {
  CountingRegistry registry;
  CountingFiles files;
  CountingServices services;
};

TCallCounter::TCallCounter()
    : facilities_(std::make_unique<Facilities>(Facilities{CountingRegistry(Reg()), CountingFiles(Fs()), CountingServices(Svc())})),
      previous_(Current()) {
  Backend counted = previous_;
  counted.registry = &facilities_->registry;
  counted.files = &facilities_->files;
  counted.services = &facilities_->services;
  Install(counted);
}

TCallCounter::~TCallCounter() { Install(previous_); }

}  // namespace platform
