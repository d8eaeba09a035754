// The kernel seen through the companion driver: service-table entries that differ from the kernel
// file, kernel routines that open with a jump out of the kernel, a system-call entry outside it,
// and the rootkit verdict over a whole report. ListKernelModeInfo registers, loads, asks and
// removes the driver again on every path.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "inspect/stop_token.h"
#include "platform/platform.h"

namespace rootkit {

using platform::Address;
using platform::Handle;

constexpr uint32_t kIoctlGetServiceTable = 0x22E004;
constexpr uint32_t kIoctlReadServiceEntry = 0x22E008;
constexpr uint32_t kIoctlReadKernelBytes = 0x22E00C;
constexpr uint32_t kIoctlGetSyscallEntry = 0x22E010;
constexpr uint32_t kKernelBytes = 15;

constexpr uint32_t kSeDebugPrivilege = 20;
constexpr uint32_t kSeLoadDriverPrivilege = 10;

// RtlAdjustPrivilege for the process token; true on status 0.
bool AdjustPrivilege(uint32_t privilege, bool enable);
// At start-up: the debug and the load-driver privileges, results ignored.
void EnableStartupPrivileges();

// The driver is loaded from a copy of the bytes that were checked, in a folder of its own in the
// system folder: only administrators can write there, and the folder's own DACL admits only
// administrators and SYSTEM, so nobody else can swap the file between the check and the load.
std::string DriverCopyFolder();
// The driver file's bytes, read once; false when they are missing, unreadable, or do not carry
// the digest this program was built with.
bool ReadCheckedDriver(const std::string& path, std::string* bytes);
// A fresh private folder (any earlier copy removed first) holding `bytes` as kvdrv.sys; its path,
// or empty when it cannot be written whole.
std::string WriteDriverCopy(const std::string& bytes);
// The copy and its folder, gone; true when nothing of them is left.
bool RemoveDriverCopy();
// A service key of the driver from an earlier run: the driver unloaded and the key removed; then
// the copy removed. Both programs call it at start-up, after the privileges, and the kernel
// section before every load, so a run killed with the driver loaded leaves nothing past the next.
void RemoveLeftoverDriver();

// The driver's service key below HKEY_LOCAL_MACHINE and as the native load calls name it.
std::string DriverServiceKey(const std::string& serviceName);
std::u16string NativeDriverServiceKey(const std::string& serviceName);

bool RegisterDriverService(const std::string& serviceName, const std::string& driverPath);
bool UnregisterDriverService(const std::string& serviceName);
bool LoadKernelDriver(const std::string& serviceName);
bool UnloadKernelDriver(const std::string& serviceName);
// The device by its global name, else by its local one; kInvalidHandle when neither opens.
bool OpenDriverDevice(Handle* device);

// The first entry of the system module list: base, size and the file's path in the system folder.
bool GetKernelImageInfo(Address* base, uint32_t* size, std::string* path);

// Service number -> "Zw" export name of ntdll. Its count is the number of services examined.
struct TServiceNameList {
  std::map<uint32_t, std::string> names;
  uint32_t Count() const { return static_cast<uint32_t>(names.size()); }
  // The name with its first "Zw" turned into "Nt"; empty for a number without a name.
  std::string NtName(uint32_t number) const;
};
// From the ntdll image mapped at `ntdll`; true when the list is not empty.
bool BuildServiceNameList(Address ntdll, TServiceNameList* list);

enum class TReferenceTable {
  Read,     // `count` relative addresses, as the kernel file has them
  NoTable,  // the table lies in no section of the file (or runs past it): nothing to compare with
  Failed,   // the file cannot be read as a PE file
};
TReferenceTable ReadReferenceServiceTable(const std::string& kernelPath, Address kernelBase, Address serviceTable,
                                          uint32_t count, std::vector<uint32_t>* table);

// One per device request; true when the answer is accepted.
bool GetServiceTableAddress(Handle device, Address* table);
bool ReadServiceTableEntry(Handle device, uint32_t number, uint32_t* value);
bool ReadKernelBytes(Handle device, Address address, uint8_t (&bytes)[kKernelBytes]);
bool GetSyscallEntryAddress(Handle device, Address* entry);

// The module holding `address` (both ends of a module included): its file name, or with
// `fullPath` its image name with a drive letter; "N/A" when none holds it.
std::string KernelModuleOfAddress(Address address, bool fullPath, const std::string& kernelPath);

// What one run knows of the kernel.
struct TKernelInspection {
  Handle device = platform::kInvalidHandle;
  Address kernelBase = 0;
  uint32_t kernelSize = 0;
  std::string kernelPath;
  Address serviceTable = 0;
  TServiceNameList names;
  bool haveReference = false;
  std::vector<uint32_t> reference;  // relative addresses of the service routines
  const inspect::TStopToken* stop = nullptr;  // the loops end once a stop is asked for
  bool Stopped() const { return stop && stop->Requested(); }
};

// The [SSDT] lines.
void CheckServiceTable(const TKernelInspection& kernel, std::vector<std::string>& report);
// The [RING0] lines of the exports of the kernel image loaded at `image`, then (with a reference
// table) of the service routines.
void ScanKernelRoutines(const TKernelInspection& kernel, Address image, std::vector<std::string>& report);
// Only an opening at the routine's first byte is judged (see the .cpp).
void ScanKernelCode(const TKernelInspection& kernel, const uint8_t (&bytes)[kKernelBytes], uint32_t rva,
                    const std::string& name, std::vector<std::string>& report);

// The lines of the "Kernel Mode Info" section (the verdict after it is in sections.h). A stop
// request ends it between steps; the driver is unloaded and its key removed on every path.
void ListKernelModeInfo(std::vector<std::string>& report, const inspect::TStopToken* stop = nullptr);

}  // namespace rootkit
