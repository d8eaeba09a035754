// The operating system as the program sees it: one abstract class per facility, each
// method standing for one Windows call (or a short fixed sequence of them). The running
// program installs the win32 backend; tests install the fake machine.
//
// Errors. Each facility answers the way the calls it stands for do, so that code over it reads
// like code over Windows:
// - Registry, IpHelper: the Win32 status code (0 = success), as Reg* and the IP Helper tables.
// - FileSystem, Security, Processes, Services, Threads, Shell: a handle or bool, with the code
//   in System::GetLastError, as the kernel32, advapi32 and shell calls do.
// - optional: where the call itself may be missing on an older Windows (GetLongPathNameA,
//   IsWow64Process, SfcIsFileProtected, GetProcessImageFileNameA) and "missing" differs from
//   "failed".
// - No facility throws; the exceptions of inspect/ (EFileError, ERegistryException,
//   EFileReadError) are raised above the platform, where a caller must not miss the failure.
// Every facility added from now on returns the Win32 (or native NTSTATUS) code itself.
//
// Handles are owned through platform/handles.h. Each facility has its own header; this one
// gathers them and installs a backend.
#pragma once

#include "platform/basics.h"
#include "platform/clipboard.h"
#include "platform/file_system.h"
#include "platform/internet.h"
#include "platform/ip_helper.h"
#include "platform/native_api.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/security.h"
#include "platform/services.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/threads.h"
#include "platform/ui.h"

// The facilities, written once: X(interface, member of Backend, accessor).
#define BS_PLATFORM_FACILITIES(X)    \
  X(Registry, registry, Reg)         \
  X(FileSystem, files, Fs)           \
  X(System, system, Sys)             \
  X(Security, security, Sec)         \
  X(Processes, processes, Procs)     \
  X(Shell, shell, Sh)                \
  X(Clipboard, clipboard, Clip)      \
  X(Ui, ui, Gui)                     \
  X(Threads, threads, Thr)           \
  X(Services, services, Svc)         \
  X(IpHelper, iphelper, Ip)          \
  X(Internet, internet, Net)         \
  X(NativeApi, native, Native)

namespace platform {

struct Backend {
#define BS_BACKEND_MEMBER(Type, member, Accessor) Type* member = nullptr;
  BS_PLATFORM_FACILITIES(BS_BACKEND_MEMBER)
#undef BS_BACKEND_MEMBER
};

// The backend in use; installing one replaces the previous one for the whole process.
const Backend& Current();
void Install(const Backend& backend);

#define BS_FACILITY_ACCESSOR(Type, member, Accessor) \
  inline Type& Accessor() { return *Current().member; }
BS_PLATFORM_FACILITIES(BS_FACILITY_ACCESSOR)
#undef BS_FACILITY_ACCESSOR

}  // namespace platform
