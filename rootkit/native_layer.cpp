#include "rootkit/native_layer.h"

#include <cstring>
#include <new>
#include <vector>

#include "inspect/files.h"
#include "platform/handles.h"
#include "rootkit/pe_image.h"

namespace rootkit {

using platform::NativeService;
namespace nt = platform::nt;

namespace {

TNativeLayer g_layer;

constexpr uint32_t kPebRead = 484;
constexpr uint32_t kLdrRead = 36;
constexpr uint32_t kEntryRead = 72;
// A loader list that never comes back to its head (torn or forged) is not followed further.
constexpr uint32_t kMaxLoaderEntries = 8192;
// Forwarders that lead on to further forwarders.
constexpr int kMaxForwarderDepth = 8;
// PE files parsed whole: a system DLL is far below this.
constexpr uint64_t kMaxPeFileSize = 256u << 20;
constexpr uint32_t kSeDebugPrivilege = 20;

uint32_t U32At(const uint8_t* bytes, size_t at) {
  uint32_t value;
  std::memcpy(&value, bytes + at, 4);
  return value;
}

uint16_t U16At(const uint8_t* bytes, size_t at) {
  uint16_t value;
  std::memcpy(&value, bytes + at, 2);
  return value;
}

Address Resolve(Address module, const std::string* name, uint32_t ordinal, int depth) {
  const TOwnMemory memory;
  const auto headers = ReadPeHeaders(memory, module);
  if (!headers || headers->exports.rva == 0) return 0;
  const uint64_t base = module;
  const auto dir = ReadExportDirectory(memory, base + headers->exports.rva);
  if (!dir) return 0;
  int64_t index = -1;
  if (!name) {
    index = int64_t{ordinal} - dir->ordinalBase;
  } else {
    std::string text;
    for (uint32_t i = 0; i < dir->nameCount; ++i) {
      uint32_t nameRva = 0;
      uint16_t entry = 0;
      if (!memory.U32(base + dir->namesRva + 4ull * i, &nameRva) ||
          !memory.U16(base + dir->ordinalsRva + 2ull * i, &entry)) {
        return 0;
      }
      if (memory.Text(base + nameRva, &text, static_cast<uint32_t>(name->size())) && text == *name) {
        index = entry;
        break;
      }
    }
  }
  if (index < 0 || index >= int64_t{dir->functionCount}) return 0;
  uint32_t rva = 0;
  if (!memory.U32(base + dir->functionsRva + 4ull * static_cast<uint64_t>(index), &rva)) return 0;
  if (rva >= headers->exports.rva && uint64_t{rva} < uint64_t{headers->exports.rva} + headers->exports.size) {
    std::string forwarder;
    if (depth >= kMaxForwarderDepth || !memory.Text(base + rva, &forwarder, 512)) return 0;
    const size_t dot = forwarder.find('.');
    if (dot == std::string::npos) return 0;
    const std::string target = forwarder.substr(0, dot), function = forwarder.substr(dot + 1);
    Address next = platform::Native().GetModuleHandle(target);
    if (!next) next = platform::Native().LoadLibrary(target);
    if (!next) return 0;
    return Resolve(next, &function, 0, depth + 1);
  }
  if (rva == 0 || base + rva > 0xFFFFFFFFull) return 0;
  return static_cast<Address>(base + rva);
}

struct TLoaderEntry {
  Address link = 0;
  Address base = 0;
  Address entryPoint = 0;
  uint32_t imageSize = 0;
  uint16_t fullLength = 0;
  Address fullText = 0;
  uint16_t nameLength = 0;
  Address nameText = 0;
};

// Calls `visit` for each entry of the process's in-load-order module list until it answers true;
// whether it did. The walk ends at the list head, at a read that fails, or after kMaxLoaderEntries.
template <typename Visit>
bool WalkLoaderList(Handle process, Visit&& visit) {
  const Address peb = GetRemotePeb(process);
  if (!peb) return false;
  uint8_t pebBytes[kPebRead];
  if (!SysReadVirtualMemory(process, peb, pebBytes, sizeof pebBytes, nullptr)) return false;
  const Address ldr = U32At(pebBytes, 0x0C);
  if (!ldr || !U32At(pebBytes, 0xA0)) return false;
  uint8_t ldrBytes[kLdrRead];
  if (!SysReadVirtualMemory(process, ldr, ldrBytes, sizeof ldrBytes, nullptr)) return false;
  const Address head = ldr + 0x0C, first = U32At(ldrBytes, 0x0C);
  Address at = first;
  for (uint32_t n = 0; n < kMaxLoaderEntries && at != head; ++n) {
    uint8_t e[kEntryRead];
    if (!SysReadVirtualMemory(process, at, e, sizeof e, nullptr)) return false;
    const TLoaderEntry entry{U32At(e, 0),        U32At(e, 0x18),     U32At(e, 0x1C), U32At(e, 0x20),
                             U16At(e, 0x24), U32At(e, 0x28), U16At(e, 0x2C), U32At(e, 0x30)};
    if (visit(entry)) return true;
    at = entry.link;
    if (at == first) break;
  }
  return false;
}

bool Ok(uint32_t status) { return status == nt::kStatusSuccess; }

}  // namespace

const TNativeLayer& NativeLayer() { return g_layer; }

void InitNativeLayer() {
  auto& native = platform::Native();
  g_layer = TNativeLayer{};
  // The x86_64 build reads no 32-bit process layouts, its own least of all.
  if (platform::Sys().Is64BitProcess()) {
    g_layer.X64System = true;
    return;
  }
  const Address isWow64 = GetExportAddress(native.GetModuleHandle("kernel32"), "IsWow64Process");
  g_layer.RunningUnderWow64 = isWow64 && native.CallIsWow64Process(isWow64).value_or(false);
  g_layer.X64System = g_layer.RunningUnderWow64;
  if (g_layer.RunningUnderWow64) return;
  const uint32_t version = GetPebOsVersion();
  if ((version & 0xFF) <= 4) return;
  EnableDebugPrivilege();
  g_layer.UseSysenter = (version >> 8) > 0;
  const Address ntdll = native.GetModuleHandle("ntdll.dll");
  g_layer.UnderWine = GetExportAddress(ntdll, "wine_get_version") != 0;
  for (size_t i = 0; i < platform::kNativeServiceCount; ++i) {
    const char* name = platform::kNativeServiceNames[i];
    g_layer.SyscallNumbers[i] = GetSyscallNumber(name);
    platform::ServiceEntry entry;
    entry.number = g_layer.SyscallNumbers[i];
    if (g_layer.UnderWine) {
      // A trap would enter the Linux kernel: the ntdll export stands in.
      entry.gate = platform::ServiceGate::Export;
      entry.address = GetExportAddress(ntdll, name);
    } else {
      entry.gate = g_layer.UseSysenter ? platform::ServiceGate::Sysenter : platform::ServiceGate::Interrupt2E;
    }
    native.SetServiceEntry(static_cast<NativeService>(i), entry);
  }
}

Address GetExportAddress(Address module, const std::string& name) { return Resolve(module, &name, 0, 0); }

Address GetExportAddressByOrdinal(Address module, uint32_t ordinal) {
  return ordinal < 0x10000 ? Resolve(module, nullptr, ordinal, 0) : 0;
}

bool ReadExportBytesFromFile(const std::string& path, const std::string& name, uint32_t count, uint8_t* destination) {
  std::vector<uint8_t> file;
  if (!destination || !inspect::ReadFileBytes(path, kMaxPeFileSize, &file)) return false;
  const auto found = FindFileExport(file.data(), file.size(), name);
  if (!found || !found->fileOffset || count > file.size() - *found->fileOffset) return false;
  std::memcpy(destination, file.data() + *found->fileOffset, count);
  return true;
}

bool GetExportRvaFromFile(const std::string& name, const std::string& path, uint32_t* rva) {
  std::vector<uint8_t> file;
  if (!inspect::ReadFileBytes(path, kMaxPeFileSize, &file)) return false;
  const auto found = FindFileExport(file.data(), file.size(), name);
  if (!found) return false;
  *rva = found->rva;
  return true;
}

uint16_t GetSyscallNumber(const std::string& service) {
  auto& native = platform::Native();
  const std::string path = native.GetModuleFileName(native.GetModuleHandle("ntdll.dll"), 261);
  uint8_t stub[5];
  if (path.empty() || !ReadExportBytesFromFile(path, service, sizeof stub, stub)) return 0;
  // A service stub opens with MOV EAX, imm32; anything else carries no number we may trap with.
  if (stub[0] != 0xB8) return 0;
  return static_cast<uint16_t>(stub[1] | stub[2] << 8);
}

bool EnableDebugPrivilege() {
  auto& native = platform::Native();
  const Address adjust = GetExportAddress(native.GetModuleHandle("ntdll.dll"), "RtlAdjustPrivilege");
  return adjust && Ok(native.CallRtlAdjustPrivilege(adjust, kSeDebugPrivilege, true, false));
}

uint32_t GetPebOsVersion() {
  const TOwnMemory memory;
  const Address peb = platform::Native().CurrentPeb();
  uint8_t major = 0, minor = 0;
  if (!peb || !memory.Read(uint64_t{peb} + 0xA4, &major, 1) || !memory.Read(uint64_t{peb} + 0xA8, &minor, 1)) {
    return 0;
  }
  return major + 256u * minor;
}

bool SysQueryInformationProcess(Handle process, uint32_t infoClass, void* buffer, uint32_t size, uint32_t* returned) {
  uint32_t length = 0;
  const bool ok =
      Ok(platform::Native().QueryInformationProcess(process, infoClass, buffer, size, &length)) && length == size;
  if (returned) *returned = length;
  return ok;
}

bool SysQueryVirtualMemory(Handle process, Address address, uint32_t infoClass, void* buffer, uint32_t size,
                           uint32_t* returned) {
  uint32_t length = 0;
  const bool ok =
      Ok(platform::Native().QueryVirtualMemory(process, address, infoClass, buffer, size, &length)) && length == size;
  if (returned) *returned = length;
  return ok;
}

bool SysClose(Handle handle) { return Ok(platform::Native().Close(handle)); }

bool SysOpenProcess(Handle* process, uint32_t access, bool inherit, uint32_t pid) {
  return Ok(platform::Native().OpenProcess(process, access, inherit, pid));
}

bool SysReadVirtualMemory(Handle process, Address address, void* buffer, uint32_t size, uint32_t* read) {
  uint32_t done = 0;
  const bool ok = Ok(platform::Native().ReadVirtualMemory(process, address, buffer, size, &done)) && done == size;
  if (read) *read = done;
  return ok;
}

bool SysQuerySystemInformation(uint32_t infoClass, void* buffer, uint32_t size, uint32_t* returned) {
  return Ok(platform::Native().QuerySystemInformation(infoClass, buffer, size, returned));
}

bool SysDeviceIoControlFile(Handle file, Handle event, platform::IoStatus* ioStatus, uint32_t code, const void* input,
                            uint32_t inputSize, void* output, uint32_t outputSize) {
  return Ok(platform::Native().DeviceIoControlFile(file, event, ioStatus, code, input, inputSize, output, outputSize));
}

bool SysLoadDriver(const std::u16string& serviceKey) { return Ok(platform::Native().LoadDriver(serviceKey)); }
bool SysUnloadDriver(const std::u16string& serviceKey) { return Ok(platform::Native().UnloadDriver(serviceKey)); }

Handle OpenProcessById(uint32_t access, bool inherit, uint32_t pid) {
  Handle process = platform::kNoHandle;
  return SysOpenProcess(&process, access, inherit, pid) ? process : platform::kNoHandle;
}

Address GetRemotePeb(Handle process) {
  uint8_t info[24];
  return SysQueryInformationProcess(process, 0, info, sizeof info, nullptr) ? U32At(info, 4) : 0;
}

uint32_t GetRemoteModuleName(Handle process, Address base, std::string* out, uint32_t bufferChars, bool fullPath) {
  if (!process || !out) return 0;
  uint32_t written = 0;
  WalkLoaderList(process, [&](const TLoaderEntry& entry) {
    if (base != 0 && entry.base != base) return false;
    const uint16_t length = fullPath ? entry.fullLength : entry.nameLength;
    const Address text = fullPath ? entry.fullText : entry.nameText;
    // Room for the terminator too.
    if (length / 2u + 1 > bufferChars) {
      platform::Sys().SetLastError(platform::win::kErrorInsufficientBuffer);
      return true;
    }
    std::u16string wide(length / 2u, u'\0');
    if (length >= 2 && !SysReadVirtualMemory(process, text, wide.data(), length & ~1u, nullptr)) return true;
    std::string ansi = platform::Native().WideToAnsi(wide);
    if (ansi.size() + 1 > bufferChars) {
      platform::Sys().SetLastError(platform::win::kErrorInsufficientBuffer);
      return true;
    }
    *out = std::move(ansi);
    written = static_cast<uint32_t>(out->size());
    return true;
  });
  return written;
}

uint32_t GetRemoteModuleFileName(Handle process, Address base, std::string* out, uint32_t bufferChars) {
  return GetRemoteModuleName(process, base, out, bufferChars, true);
}

bool GetRemoteModuleInfo(Handle process, Address base, TRemoteModuleInfo* record, uint32_t recordSize) {
  if (!process) return false;
  if (!record || recordSize < 12) {
    platform::Sys().SetLastError(platform::win::kErrorInsufficientBuffer);
    return false;
  }
  return WalkLoaderList(process, [&](const TLoaderEntry& entry) {
    if (base != 0 && entry.base != base) return false;
    *record = TRemoteModuleInfo{entry.base, entry.imageSize, entry.entryPoint};
    return true;
  });
}

bool EnumRemoteModules(Handle process, Address* bases, uint32_t arraySize, uint32_t* needed) {
  if (!process || !bases || !needed) return false;
  *needed = 0;
  WalkLoaderList(process, [&](const TLoaderEntry& entry) {
    if (arraySize >= 4 && *needed <= arraySize - 4) bases[*needed / 4] = entry.base;
    *needed += 4;
    return false;
  });
  return *needed > 0;
}

Address GetAllocationBase(Handle process, Address address) {
  if (!process || !address) return 0;
  uint8_t info[28];
  if (!SysQueryVirtualMemory(process, address, 0, info, sizeof info, nullptr)) return 0;
  return U32At(info, 16) == nt::kMemCommit ? U32At(info, 4) : 0;
}

bool IsValidPEImage(Address address) { return rootkit::IsValidPEImage(TOwnMemory(), address); }
uint32_t GetAlignedImageSize(Address address) { return rootkit::GetAlignedImageSize(TOwnMemory(), address); }

}  // namespace rootkit
