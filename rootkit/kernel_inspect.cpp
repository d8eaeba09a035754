#include "rootkit/kernel_inspect.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "inspect/files.h"
#include "inspect/md5.h"
#include "inspect/system.h"
#include "inspect/text.h"
#include "platform/handles.h"
#include "rootkit/driver_identity.h"
#include "rootkit/native_layer.h"
#include "rootkit/pe_image.h"
#include "rootkit/sections.h"

namespace rootkit {

namespace {

namespace win = platform::win;

constexpr const char* kServicesKey = "system\\CurrentControlSet\\Services";
constexpr const char* kNativeServicesKey = "\\registry\\machine\\system\\CurrentControlSet\\Services\\";
constexpr const char* kDriverDisplayName = "Orvatek Kernel Driver (Burrow Sentry)";
constexpr size_t kMaxPathChars = 260;
constexpr uint32_t kSystemModuleInformation = 11;
constexpr uint32_t kModuleListBytes = 204800;
constexpr uint32_t kModuleEntryBytes = 284;
constexpr uint32_t kModuleNameChars = 256;
constexpr uint32_t kDontResolveDllReferences = 1;
constexpr uint32_t kMaxNameChars = 256;
// A kernel file is a few MB; anything far larger is not read whole.
constexpr uint64_t kMaxKernelFileSize = 64u << 20;
// Our driver is a few KB.
constexpr uint64_t kMaxDriverFileSize = 1u << 20;
constexpr const char* kDriverCopyFolderName = "BurrowSentry.kvdrv";

std::string Hex8(uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", value);
  return text;
}

uint32_t Le32(const uint8_t* bytes) {
  uint32_t value;
  std::memcpy(&value, bytes, 4);
  return value;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

std::string ZwToNt(std::string name) {
  const size_t at = name.find("Zw");
  if (at != std::string::npos) name.replace(at, 2, "Nt");
  return name;
}

struct TSystemModule {
  Address base = 0;
  uint32_t size = 0;
  std::string imageName;
  std::string fileName;
};

// The system module list, as many entries as the answer holds; empty when the query fails.
std::vector<TSystemModule> QuerySystemModules() {
  std::vector<uint8_t> buffer(kModuleListBytes);
  uint32_t returned = 0;
  if (!SysQuerySystemInformation(kSystemModuleInformation, buffer.data(), kModuleListBytes, &returned)) return {};
  const uint32_t fits = (kModuleListBytes - 4) / kModuleEntryBytes;
  const uint32_t count = std::min(Le32(buffer.data()), fits);
  std::vector<TSystemModule> modules;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* e = buffer.data() + 4 + kModuleEntryBytes * i;
    TSystemModule m;
    m.base = Le32(e + 8);
    m.size = Le32(e + 12);
    const char* name = reinterpret_cast<const char*>(e + 28);
    m.imageName.assign(name, strnlen(name, kModuleNameChars));
    const uint16_t fileOffset = static_cast<uint16_t>(e[26] | e[27] << 8);
    m.fileName = fileOffset < m.imageName.size() ? m.imageName.substr(fileOffset) : "";
    modules.push_back(std::move(m));
  }
  return modules;
}

// One request on the device, answered at once with status 0.
bool Ask(Handle device, uint32_t code, const void* input, uint32_t inputSize, void* output, uint32_t outputSize,
         uint32_t* answered) {
  platform::IoStatus status;
  const bool ok = SysDeviceIoControlFile(device, platform::kNoHandle, &status, code, input, inputSize, output,
                                         outputSize);
  *answered = status.information;
  return ok;
}

// Calls `visit(name, rva)` for each named export of the image at `base`, in name-table order.
// False when the export directory is missing, unreadable or names nothing.
template <typename Visit>
bool ForEachExport(Address base, Visit&& visit) {
  const TOwnMemory memory;
  const auto headers = ReadPeHeaders(memory, base);
  if (!headers || headers->exports.rva == 0 || headers->exports.size == 0) return false;
  const auto dir = ReadExportDirectory(memory, uint64_t{base} + headers->exports.rva);
  if (!dir || dir->nameCount == 0) return false;
  if (!memory.Readable(uint64_t{base} + dir->namesRva, 4 * dir->nameCount) ||
      !memory.Readable(uint64_t{base} + dir->ordinalsRva, 2 * dir->nameCount) ||
      !memory.Readable(uint64_t{base} + dir->functionsRva, 4 * dir->functionCount)) {
    return false;
  }
  std::string name;
  for (uint32_t i = 0; i < dir->nameCount; ++i) {
    uint32_t nameRva = 0, rva = 0;
    uint16_t index = 0;
    memory.U32(uint64_t{base} + dir->namesRva + 4ull * i, &nameRva);
    memory.U16(uint64_t{base} + dir->ordinalsRva + 2ull * i, &index);
    if (index >= dir->functionCount || !memory.U32(uint64_t{base} + dir->functionsRva + 4ull * index, &rva)) continue;
    if (!memory.Text(uint64_t{base} + nameRva, &name, kMaxNameChars)) continue;
    visit(name, rva);
  }
  return true;
}

void AddRing0Line(const TKernelInspection& kernel, const std::string& routine, Address address, Address target,
                  std::vector<std::string>& report) {
  report.push_back("[RING0] " + inspect::FileNamePart(kernel.kernelPath) + " -> " + routine + " -> 0x" +
                   Hex8(address) + " -> 0x" + Hex8(target) + " -> " +
                   KernelModuleOfAddress(target, false, kernel.kernelPath));
}

// Whatever the run acquired, released on every way out of the section (a return or an
// exception) in this order: the ntdll view, the driver (unloaded, then unregistered), the device,
// the driver's copy (its image is released with the device).
struct TDriverSession {
  std::string service;
  bool copied = false;
  bool registered = false;
  bool loaded = false;
  platform::ScopedDevice device;
  platform::ScopedImageView ntdllView;

  TDriverSession() = default;
  TDriverSession(const TDriverSession&) = delete;
  TDriverSession& operator=(const TDriverSession&) = delete;
  ~TDriverSession() {
    ntdllView.Reset();
    if (loaded) UnloadKernelDriver(service);
    if (registered) UnregisterDriverService(service);
    device.Reset();
    if (copied) RemoveDriverCopy();
  }
};

}  // namespace

bool AdjustPrivilege(uint32_t privilege, bool enable) {
  auto& native = platform::Native();
  const Address adjust = GetExportAddress(native.GetModuleHandle("ntdll.dll"), "RtlAdjustPrivilege");
  return adjust && native.CallRtlAdjustPrivilege(adjust, privilege, enable, false) == platform::nt::kStatusSuccess;
}

void EnableStartupPrivileges() {
  // The x86_64 build walks no export table of its own process: the token call stands in.
  if (platform::Sys().Is64BitProcess()) {
    inspect::EnableTokenPrivilege("SeDebugPrivilege");
    inspect::EnableTokenPrivilege("SeLoadDriverPrivilege");
  } else {
    AdjustPrivilege(kSeDebugPrivilege, true);
    AdjustPrivilege(kSeLoadDriverPrivilege, true);
  }
}

std::string DriverCopyFolder() { return platform::Sys().GetSystemDirectory() + "\\" + kDriverCopyFolderName; }

bool ReadCheckedDriver(const std::string& path, std::string* bytes) {
  std::vector<uint8_t> file;
  if (!inspect::ReadFileBytes(path, kMaxDriverFileSize, &file)) return false;
  bytes->assign(file.begin(), file.end());
  return inspect::Md5Text(*bytes) == ExpectedDriverDigest();
}

std::string WriteDriverCopy(const std::string& bytes) {
  using namespace platform;
  const std::string folder = DriverCopyFolder(), path = folder + "\\" + kDriverFileName;
  if (!RemoveDriverCopy() || !Fs().CreatePrivateDirectory(folder)) return "";
  bool written = false;
  {
    ScopedFile file(Fs().CreateFile(path, win::kGenericWrite, 0, win::kCreateNew, win::kFileAttributeNormal));
    uint32_t count = 0;
    written = file.ok() && Fs().WriteFile(file.get(), bytes.data(), static_cast<uint32_t>(bytes.size()), &count) &&
              count == bytes.size();
  }
  if (!written) {
    RemoveDriverCopy();
    return "";
  }
  return path;
}

bool RemoveDriverCopy() {
  using namespace platform;
  const std::string folder = DriverCopyFolder();
  const uint32_t attributes = Fs().GetFileAttributes(folder);
  if (attributes == win::kInvalidFileAttributes) return true;
  // Our folder is never a link; whatever stands there under our name is not followed.
  if (!(attributes & win::kFileAttributeReparsePoint)) Fs().DeleteFile(folder + "\\" + kDriverFileName);
  return Fs().RemoveDirectory(folder) || Fs().GetFileAttributes(folder) == win::kInvalidFileAttributes;
}

void RemoveLeftoverDriver() {
  using namespace platform;
  ScopedKey key;
  if (Reg().OpenKey(kHkeyLocalMachine, DriverServiceKey(kDriverServiceName), win::kKeyRead, key.out()) ==
      win::kErrorSuccess) {
    key.Reset();
    UnloadKernelDriver(kDriverServiceName);
    UnregisterDriverService(kDriverServiceName);
  }
  RemoveDriverCopy();
}

std::string DriverServiceKey(const std::string& serviceName) { return std::string(kServicesKey) + "\\" + serviceName; }

std::u16string NativeDriverServiceKey(const std::string& serviceName) {
  const std::string key = (kNativeServicesKey + serviceName).substr(0, kMaxPathChars);
  return std::u16string(key.begin(), key.end());
}

bool RegisterDriverService(const std::string& serviceName, const std::string& driverPath) {
  using namespace platform;
  const std::string imagePath = "\\??\\" + driverPath;
  // ImagePath holds at most 260 characters: a longer path is refused, never cut.
  if (imagePath.size() > kMaxPathChars) return false;
  ScopedKey services;
  if (Reg().OpenKey(kHkeyLocalMachine, kServicesKey, win::kKeyAllAccess, services.out()) != win::kErrorSuccess) {
    return false;
  }
  ScopedKey key;
  if (Reg().CreateKey(services.get(), serviceName, win::kKeyAllAccess, key.out()) != win::kErrorSuccess &&
      Reg().OpenKey(services.get(), serviceName, win::kKeyAllAccess, key.out()) != win::kErrorSuccess) {
    return false;
  }
  const uint32_t type = win::kServiceKernelDriver;
  const std::string display = kDriverDisplayName;
  Reg().SetValue(key.get(), "DisplayName", win::kRegSz, display.data(), static_cast<uint32_t>(display.size()));
  Reg().SetValue(key.get(), "ImagePath", win::kRegSz, imagePath.data(), static_cast<uint32_t>(imagePath.size()));
  Reg().SetValue(key.get(), "Type", win::kRegDword, &type, sizeof type);
  return true;
}

bool UnregisterDriverService(const std::string& serviceName) {
  using namespace platform;
  ScopedKey services;
  if (Reg().OpenKey(kHkeyLocalMachine, kServicesKey, win::kKeyAllAccess, services.out()) != win::kErrorSuccess) {
    return false;
  }
  Reg().DeleteKey(services.get(), serviceName + "\\Enum");
  Reg().DeleteKey(services.get(), serviceName + "\\Security");
  return Reg().DeleteKey(services.get(), serviceName) == win::kErrorSuccess;
}

bool LoadKernelDriver(const std::string& serviceName) { return SysLoadDriver(NativeDriverServiceKey(serviceName)); }
bool UnloadKernelDriver(const std::string& serviceName) {
  return SysUnloadDriver(NativeDriverServiceKey(serviceName));
}

bool OpenDriverDevice(Handle* device) {
  auto& native = platform::Native();
  *device = native.OpenDevice(std::string("\\\\.\\Global\\") + kDriverServiceName);
  if (*device == platform::kInvalidHandle) *device = native.OpenDevice(std::string("\\\\.\\") + kDriverServiceName);
  return *device != platform::kInvalidHandle;
}

bool GetKernelImageInfo(Address* base, uint32_t* size, std::string* path) {
  const std::vector<TSystemModule> modules = QuerySystemModules();
  if (modules.empty() || modules[0].fileName.empty()) return false;
  *base = modules[0].base;
  *size = modules[0].size;
  *path = platform::Sys().GetSystemDirectory() + "\\" + modules[0].fileName;
  return true;
}

std::string TServiceNameList::NtName(uint32_t number) const {
  auto it = names.find(number);
  return it == names.end() ? "" : ZwToNt(it->second);
}

bool BuildServiceNameList(Address ntdll, TServiceNameList* list) {
  list->names.clear();
  const TOwnMemory memory;
  ForEachExport(ntdll, [&](const std::string& name, uint32_t rva) {
    if (!StartsWith(name, "Zw")) return;
    // The operand of the stub's opening instruction: the service number.
    uint8_t stub[3];
    if (!memory.Read(uint64_t{ntdll} + rva, stub, sizeof stub)) return;
    list->names[static_cast<uint32_t>(stub[1] | stub[2] << 8)] = inspect::TrimControls(name);
  });
  return !list->names.empty();
}

TReferenceTable ReadReferenceServiceTable(const std::string& kernelPath, Address kernelBase, Address serviceTable,
                                          uint32_t count, std::vector<uint32_t>* table) {
  std::vector<uint8_t> file;
  if (!inspect::ReadFileBytes(kernelPath, kMaxKernelFileSize, &file)) return TReferenceTable::Failed;
  const TBufferReader reader(file.data(), file.size());
  const auto headers = ReadPeHeaders(reader, 0);
  uint32_t imageBase = 0;
  if (!headers || !reader.U32(uint64_t{headers->ntOffset} + 24 + 28, &imageBase)) return TReferenceTable::Failed;
  if (serviceTable < kernelBase) return TReferenceTable::NoTable;
  const auto offset = RvaToFileOffset(file.data(), file.size(), *headers, serviceTable - kernelBase);
  if (!offset || uint64_t{*offset} + 4ull * count > file.size()) return TReferenceTable::NoTable;
  table->resize(count);
  for (uint32_t i = 0; i < count; ++i) (*table)[i] = Le32(file.data() + *offset + 4ull * i) - imageBase;
  return TReferenceTable::Read;
}

bool GetServiceTableAddress(Handle device, Address* table) {
  uint8_t out[4] = {};
  uint32_t answered = 0;
  if (!Ask(device, kIoctlGetServiceTable, nullptr, 0, out, sizeof out, &answered)) return false;
  *table = Le32(out);
  return *table != 0;
}

bool ReadServiceTableEntry(Handle device, uint32_t number, uint32_t* value) {
  uint8_t out[4] = {};
  uint32_t answered = 0;
  if (!Ask(device, kIoctlReadServiceEntry, &number, sizeof number, out, sizeof out, &answered)) return false;
  *value = Le32(out);
  return true;
}

bool ReadKernelBytes(Handle device, Address address, uint8_t (&bytes)[kKernelBytes]) {
  std::memset(bytes, 0, sizeof bytes);
  uint32_t answered = 0;
  return Ask(device, kIoctlReadKernelBytes, &address, sizeof address, bytes, sizeof bytes, &answered) && answered > 0;
}

bool GetSyscallEntryAddress(Handle device, Address* entry) {
  // Under Wine the driver would have to read a model-specific register or the interrupt table in
  // winedevice.exe, which may fault: the request is never sent there.
  if (NativeLayer().UnderWine) return false;
  uint8_t out[4] = {};
  uint32_t answered = 0;
  if (!Ask(device, kIoctlGetSyscallEntry, nullptr, 0, out, sizeof out, &answered) || answered != 4) return false;
  *entry = Le32(out);
  return true;
}

std::string KernelModuleOfAddress(Address address, bool fullPath, const std::string& kernelPath) {
  std::string result = "N/A";
  for (const TSystemModule& m : QuerySystemModules()) {
    if (m.base <= address && uint64_t{address} <= uint64_t{m.base} + m.size) {
      result = fullPath ? m.imageName : m.fileName;
      break;
    }
  }
  if (StartsWith(result, "\\??\\")) result.erase(0, 4);
  if (StartsWith(result, "\\") && !kernelPath.empty()) result = kernelPath.substr(0, 1) + ":" + result;
  return result;
}

void CheckServiceTable(const TKernelInspection& kernel, std::vector<std::string>& report) {
  for (uint32_t i = 0; i < kernel.names.Count() && i < kernel.reference.size() && !kernel.Stopped(); ++i) {
    uint32_t live = 0;
    if (!ReadServiceTableEntry(kernel.device, i, &live)) continue;
    const uint32_t expected = kernel.kernelBase + kernel.reference[i];
    if (live == expected) continue;
    report.push_back("[SSDT] " + kernel.names.NtName(i) + " -> 0x" + Hex8(live) + " -> 0x" + Hex8(expected) +
                     " -> " + KernelModuleOfAddress(live, false, kernel.kernelPath));
  }
}

void ScanKernelRoutines(const TKernelInspection& kernel, Address image, std::vector<std::string>& report) {
  uint8_t bytes[kKernelBytes];
  const bool exports = ForEachExport(image, [&](const std::string& name, uint32_t rva) {
    if (rva == 0 || StartsWith(name, "Zw") || StartsWith(name, "Nt") || kernel.Stopped()) return;
    if (ReadKernelBytes(kernel.device, kernel.kernelBase + rva, bytes)) ScanKernelCode(kernel, bytes, rva, name, report);
  });
  if (!exports || !kernel.haveReference) return;
  for (uint32_t i = 0; i < kernel.names.Count() && i < kernel.reference.size() && !kernel.Stopped(); ++i) {
    if (ReadKernelBytes(kernel.device, kernel.kernelBase + kernel.reference[i], bytes)) {
      ScanKernelCode(kernel, bytes, kernel.reference[i], kernel.names.NtName(i), report);
    }
  }
}

// Only an opening at the first byte is judged. A push/return or jump found further in would be
// taken from the operands of ordinary instructions (an 0xE9 inside a constant is common), and
// each such false find would count towards the rootkit verdict.
void ScanKernelCode(const TKernelInspection& kernel, const uint8_t (&bytes)[kKernelBytes], uint32_t rva,
                    const std::string& name, std::vector<std::string>& report) {
  const Address address = kernel.kernelBase + rva;
  Address target = 0;
  if (bytes[0] == 0x68 && bytes[5] == 0xC3) {
    target = Le32(bytes + 1);
  } else if (bytes[0] == 0xE9) {
    target = address + 5 + Le32(bytes + 1);
  } else if (bytes[0] == 0xFF && bytes[1] == 0x25 && bytes[5] != 0xEB) {
    target = Le32(bytes + 2);
  } else {
    return;
  }
  // A target below the kernel's base does not count.
  if (uint64_t{target} >= uint64_t{kernel.kernelBase} + kernel.kernelSize) {
    AddRing0Line(kernel, name, address, target, report);
  }
}

void ListKernelModeInfo(std::vector<std::string>& report, const inspect::TStopToken* stop) {
  const platform::OsVersion version = platform::Sys().GetVersion();
  if (version.platformId != win::kVerPlatformWin32Nt) {
    report.push_back("Windows NT OS Supported Only!");
    return;
  }
  if (NativeLayer().X64System) {
    report.push_back("x64 OS not supported!");
    return;
  }
  // The bytes checked are the bytes loaded: the file beside the executable is read once, and
  // the kernel loads a copy of them that nobody but an administrator can change.
  std::string driver;
  if (!ReadCheckedDriver(inspect::GetAppDir() + kDriverFileName, &driver)) {
    report.push_back("Driver has wrong hash!");
    return;
  }

  TDriverSession session;
  session.service = kDriverServiceName;
  // A key, a loaded driver or a copy left by an earlier run that ended early goes first.
  RemoveLeftoverDriver();
  session.copied = true;
  const std::string driverPath = WriteDriverCopy(driver);
  if (driverPath.empty() || !RegisterDriverService(session.service, driverPath)) {
    report.push_back("Could not install driver to registry!");
    return;
  }
  session.registered = true;
  UnloadKernelDriver(session.service);  // in case an earlier instance is still loaded
  if (!LoadKernelDriver(session.service)) {
    report.push_back("Could not load driver!");
    return;
  }
  session.loaded = true;

  TKernelInspection kernel;
  kernel.stop = stop;
  if (kernel.Stopped() || !OpenDriverDevice(session.device.out())) return;
  kernel.device = session.device.get();
  if (!GetKernelImageInfo(&kernel.kernelBase, &kernel.kernelSize, &kernel.kernelPath)) return;
  if (!GetServiceTableAddress(kernel.device, &kernel.serviceTable)) return;
  session.ntdllView.Reset(platform::Native().MapImageFile(platform::Sys().GetSystemDirectory() + "\\ntdll.dll"));
  if (!session.ntdllView.ok() || !BuildServiceNameList(session.ntdllView.get(), &kernel.names)) return;
  const TReferenceTable reference = ReadReferenceServiceTable(kernel.kernelPath, kernel.kernelBase,
                                                              kernel.serviceTable, kernel.names.Count(),
                                                              &kernel.reference);
  if (reference == TReferenceTable::Failed || kernel.Stopped()) return;
  // Without the file's own table there is nothing to compare the live entries with.
  kernel.haveReference = reference == TReferenceTable::Read;
  if (kernel.haveReference) CheckServiceTable(kernel, report);

  auto& native = platform::Native();
  if (const platform::ScopedLibrary image(native.LoadLibraryEx(kernel.kernelPath, kDontResolveDllReferences));
      image.ok()) {
    ScanKernelRoutines(kernel, image.get(), report);
  }

  if (kernel.Stopped()) return;
  // An entry that could not be read is not reported: address 0 would only name "N/A".
  Address entry = 0;
  if (GetSyscallEntryAddress(kernel.device, &entry) &&
      (entry < kernel.kernelBase || uint64_t{entry} > uint64_t{kernel.kernelBase} + kernel.kernelSize)) {
    report.push_back(std::string(version.minor != 0 ? "[SYSENTER] 0x" : "[INT 0x2E] 0x") + Hex8(entry) + " -> " +
                     KernelModuleOfAddress(entry, true, kernel.kernelPath));
  }
}

std::vector<std::string> RootkitVerdict(const std::vector<std::string>& reportItems) {
  static constexpr const char* kNotCounted[] = {
      "[RING0] ntoskrnl.exe -> NtRequestPort",
      "[RING0] ntoskrnl.exe -> NtRequestWaitReplyPort",
      "[RING0] ntoskrnl.exe -> NtTraceEvent",
  };
  int count = 0;
  for (const std::string& item : reportItems) {
    // An item may hold several lines.
    size_t start = 0;
    while (start <= item.size()) {
      size_t end = item.find("\r\n", start);
      if (end == std::string::npos) end = item.size();
      const std::string line = item.substr(start, end - start);
      if (line.find("[RING0] ") != std::string::npos) {
        bool counted = true;
        for (const char* text : kNotCounted) counted = counted && line.find(text) == std::string::npos;
        count += counted;
      }
      start = end + 2;
    }
  }
  if (count < 3) return {};
  return {"(!!!POSSIBLE ROOTKIT DETECTED!!!)", ""};
}

}  // namespace rootkit
