// The native layer: services entered by their system-call numbers (read from the ntdll file on
// disk), the queries of other processes built on them, and the export resolvers of PE images.
// InitNativeLayer runs once at start-up; afterwards the state is only read.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace rootkit {

using platform::Address;
using platform::Handle;

struct TNativeLayer {
  bool RunningUnderWow64 = false;
  // A 64-bit Windows (under WoW64, or the x86_64 build): the layer is not set up, and the sections
  // that need it refuse.
  bool X64System = false;
  bool UseSysenter = false;
  // ntdll exports wine_get_version: the services are entered through the ntdll exports.
  bool UnderWine = false;
  // One number per platform::NativeService; 0 when missing.
  uint16_t SyscallNumbers[platform::kNativeServiceCount] = {};
};

const TNativeLayer& NativeLayer();
void InitNativeLayer();

// The export `name` (letter case kept) or `ordinal` of a module loaded in the own process;
// forwarders are followed, their module loaded when needed. 0 when missing.
Address GetExportAddress(Address module, const std::string& name);
Address GetExportAddressByOrdinal(Address module, uint32_t ordinal);
// The first `count` bytes of the export `name` (letter case ignored) of a PE file.
bool ReadExportBytesFromFile(const std::string& path, const std::string& name, uint32_t count, uint8_t* destination);
// The relative address of the export `name` (letter case ignored) of a PE file.
bool GetExportRvaFromFile(const std::string& name, const std::string& path, uint32_t* rva);
uint16_t GetSyscallNumber(const std::string& service);
bool EnableDebugPrivilege();
// Major version + 256 x minor version of the running system.
uint32_t GetPebOsVersion();

// The services; each reports only success.
bool SysQueryInformationProcess(Handle process, uint32_t infoClass, void* buffer, uint32_t size, uint32_t* returned);
bool SysQueryVirtualMemory(Handle process, Address address, uint32_t infoClass, void* buffer, uint32_t size,
                           uint32_t* returned);
bool SysClose(Handle handle);
bool SysOpenProcess(Handle* process, uint32_t access, bool inherit, uint32_t pid);
bool SysReadVirtualMemory(Handle process, Address address, void* buffer, uint32_t size, uint32_t* read);
bool SysQuerySystemInformation(uint32_t infoClass, void* buffer, uint32_t size, uint32_t* returned);
bool SysDeviceIoControlFile(Handle file, Handle event, platform::IoStatus* ioStatus, uint32_t code, const void* input,
                            uint32_t inputSize, void* output, uint32_t outputSize);
bool SysLoadDriver(const std::u16string& serviceKey);
bool SysUnloadDriver(const std::u16string& serviceKey);

// 0 on failure; close with SysClose (platform::ScopedNtHandle).
Handle OpenProcessById(uint32_t access, bool inherit, uint32_t pid);
Address GetRemotePeb(Handle process);

// The module's full path (or base name) as ANSI text, for a buffer of `bufferChars` characters
// with its terminator: the characters written, 0 on failure (last error 122 when it does not fit).
// Base 0 is the first module in load order: the executable.
uint32_t GetRemoteModuleName(Handle process, Address base, std::string* out, uint32_t bufferChars, bool fullPath);
uint32_t GetRemoteModuleFileName(Handle process, Address base, std::string* out, uint32_t bufferChars);
struct TRemoteModuleInfo {
  Address base = 0;
  uint32_t imageSize = 0;
  Address entryPoint = 0;
};
// `recordSize` is the caller's record size in bytes (12 and up).
bool GetRemoteModuleInfo(Handle process, Address base, TRemoteModuleInfo* record, uint32_t recordSize);
// Module bases in load order into an array of `arraySize` bytes; `needed` = 4 x the modules.
bool EnumRemoteModules(Handle process, Address* bases, uint32_t arraySize, uint32_t* needed);
// The allocation base of the committed region holding `address`, else 0.
Address GetAllocationBase(Handle process, Address address);

// Images mapped in the own process.
bool IsValidPEImage(Address address);
uint32_t GetAlignedImageSize(Address address);

}  // namespace rootkit
