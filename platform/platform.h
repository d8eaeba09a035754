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
// Handles are owned through platform/handles.h.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Windows numbers the callers share with both backends (values as in the Windows headers).
namespace win {
constexpr uint32_t kErrorSuccess = 0;
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorNotEnoughMemory = 8;
constexpr uint32_t kErrorInvalidData = 13;
constexpr uint32_t kErrorNoMoreFiles = 18;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorFileExists = 80;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorCallNotImplemented = 120;
constexpr uint32_t kErrorInsufficientBuffer = 122;
constexpr uint32_t kErrorAlreadyExists = 183;
constexpr uint32_t kErrorMoreData = 234;
constexpr uint32_t kErrorNoMoreItems = 259;
constexpr uint32_t kErrorDirNotEmpty = 145;
constexpr uint32_t kErrorKeyHasChildren = 1020;
constexpr uint32_t kErrorKeyDeleted = 1018;

constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegLink = 6;
constexpr uint32_t kRegMultiSz = 7;
constexpr uint32_t kRegQword = 11;

constexpr uint32_t kKeyQueryValue = 0x0001;
constexpr uint32_t kKeySetValue = 0x0002;
constexpr uint32_t kKeyCreateSubKey = 0x0004;
constexpr uint32_t kKeyEnumerateSubKeys = 0x0008;
constexpr uint32_t kKeyRead = 0x20019;
constexpr uint32_t kKeyWrite = 0x20006;
constexpr uint32_t kKeyAllAccess = 0xF003F;
constexpr uint32_t kDelete = 0x10000;
constexpr uint32_t kRegOptionOpenLink = 0x08;

constexpr uint32_t kFileAttributeReadonly = 0x01;
constexpr uint32_t kFileAttributeHidden = 0x02;
constexpr uint32_t kFileAttributeSystem = 0x04;
constexpr uint32_t kFileAttributeDirectory = 0x10;
constexpr uint32_t kFileAttributeArchive = 0x20;
constexpr uint32_t kFileAttributeNormal = 0x80;
constexpr uint32_t kDriveUnknown = 0;
constexpr uint32_t kDriveRemovable = 2;
constexpr uint32_t kDriveFixed = 3;
constexpr uint32_t kDriveRemote = 4;
constexpr uint32_t kDriveCdRom = 5;
constexpr uint32_t kDriveRamDisk = 6;
constexpr uint32_t kFileAttributeReparsePoint = 0x400;
constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFF;

constexpr uint32_t kGenericRead = 0x80000000;
constexpr uint32_t kGenericWrite = 0x40000000;
constexpr uint32_t kFileAppendData = 0x0004;
constexpr uint32_t kFileShareRead = 1;
constexpr uint32_t kFileShareWrite = 2;
constexpr uint32_t kFileShareDelete = 4;
constexpr uint32_t kCreateNew = 1;
constexpr uint32_t kCreateAlways = 2;
constexpr uint32_t kOpenExisting = 3;
constexpr uint32_t kOpenAlways = 4;
constexpr uint32_t kFileBegin = 0;
constexpr uint32_t kFileCurrent = 1;
constexpr uint32_t kFileEnd = 2;
constexpr uint32_t kMoveFileReplaceExisting = 1;

constexpr uint32_t kVerPlatformWin32Windows = 1;
constexpr uint32_t kVerPlatformWin32Nt = 2;

constexpr uint32_t kStillActive = 259;
constexpr uint32_t kInfinite = 0xFFFFFFFF;
constexpr int kSwShowNormal = 1;
constexpr int kSwShow = 5;

constexpr uint32_t kMbOk = 0x0;
constexpr uint32_t kMbYesNo = 0x4;
constexpr uint32_t kMbIconError = 0x10;
constexpr uint32_t kMbIconQuestion = 0x20;
constexpr uint32_t kMbIconWarning = 0x30;
constexpr uint32_t kMbIconInformation = 0x40;
constexpr uint32_t kMbTopmost = 0x40000;
constexpr int kIdOk = 1;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

constexpr int kCsidlDesktopDirectory = 16;
constexpr int kCsidlStartup = 7;
constexpr int kCsidlCommonStartup = 24;
constexpr int kCsidlAppData = 26;
constexpr int kCsidlCommonAppData = 35;
constexpr int kCsidlProgramFiles = 38;

constexpr uint32_t kProcessQueryInformation = 0x0400;
constexpr uint32_t kProcessVmRead = 0x0010;
constexpr uint32_t kProcessAllAccess = 0x1F0FFF;
constexpr uint32_t kTokenAdjustPrivileges = 0x20;
constexpr uint32_t kFileFlagSequentialScan = 0x08000000;
constexpr uint32_t kFileFlagBackupSemantics = 0x02000000;
constexpr uint32_t kFileFlagOpenReparsePoint = 0x00200000;
constexpr uint32_t kFileReadAttributes = 0x0080;

constexpr uint32_t kScManagerConnect = 0x0001;
constexpr uint32_t kScManagerEnumerateService = 0x0004;
constexpr uint32_t kScManagerAllAccess = 0xF003F;
constexpr uint32_t kServiceQueryConfig = 0x0001;
constexpr uint32_t kServiceQueryStatus = 0x0004;
constexpr uint32_t kServiceAllAccess = 0xF01FF;
constexpr uint32_t kServiceKernelDriver = 0x01;
constexpr uint32_t kServiceFileSystemDriver = 0x02;
constexpr uint32_t kServiceDriver = 0x0B;
constexpr uint32_t kServiceWin32OwnProcess = 0x10;
constexpr uint32_t kServiceWin32ShareProcess = 0x20;
constexpr uint32_t kServiceWin32 = 0x30;
constexpr uint32_t kServiceActive = 1;
constexpr uint32_t kServiceInactive = 2;
constexpr uint32_t kServiceStateAll = 3;
constexpr uint32_t kServiceStopped = 1;
constexpr uint32_t kServiceRunning = 4;
constexpr uint32_t kTokenQuery = 0x08;

constexpr uint32_t kInternetFlagReload = 0x80000000;
constexpr uint32_t kInternetFlagNoCacheWrite = 0x04000000;
constexpr uint32_t kInternetFlagNoAutoRedirect = 0x00200000;
constexpr uint32_t kErrorInternetNameNotResolved = 12007;
constexpr uint32_t kErrorInternetCannotConnect = 12029;

constexpr uint32_t kAfInet = 2;
constexpr uint32_t kTcpTableOwnerPidAll = 5;
constexpr uint32_t kUdpTableOwnerPid = 1;
}  // namespace win

using Handle = std::uintptr_t;
constexpr Handle kNoHandle = 0;
constexpr Handle kInvalidHandle = ~Handle{0};

// Registry key handles; the seven predefined roots have the values Windows gives them.
using RegKey = std::uintptr_t;
constexpr RegKey kHkeyClassesRoot = 0x80000000;
constexpr RegKey kHkeyCurrentUser = 0x80000001;
constexpr RegKey kHkeyLocalMachine = 0x80000002;
constexpr RegKey kHkeyUsers = 0x80000003;
constexpr RegKey kHkeyPerformanceData = 0x80000004;
constexpr RegKey kHkeyCurrentConfig = 0x80000005;
constexpr RegKey kHkeyDynData = 0x80000006;

// Every method returns a Windows error code (0 = success), as the Reg* calls do.
class Registry {
 public:
  virtual ~Registry() = default;
  virtual uint32_t OpenKey(RegKey parent, const std::string& subKey, uint32_t access, RegKey* out) = 0;
  // RegCreateKeyExA, non-volatile.
  virtual uint32_t CreateKey(RegKey parent, const std::string& subKey, uint32_t access, RegKey* out) = 0;
  virtual uint32_t CloseKey(RegKey key) = 0;
  // RegQueryValueExA: type and raw bytes; an empty name is the default value. `data` may be null.
  // A name holding a NUL is refused (kErrorInvalidParameter): the call would read another value.
  virtual uint32_t QueryValue(RegKey key, const std::string& name, uint32_t* type,
                              std::vector<uint8_t>* data) = 0;
  virtual uint32_t SetValue(RegKey key, const std::string& name, uint32_t type, const void* data,
                            uint32_t size) = 0;
  // RegEnumValueA / RegEnumKeyExA at one index; kErrorNoMoreItems past the end.
  virtual uint32_t EnumValue(RegKey key, uint32_t index, std::string* name) = 0;
  virtual uint32_t EnumKey(RegKey key, uint32_t index, std::string* name) = 0;
  // RegEnumValueA at one index with the value's type and bytes, so that walking a key's values
  // never looks each one up by name. `data` may be null. By default: the name, then the value by
  // that name.
  virtual uint32_t EnumValueData(RegKey key, uint32_t index, std::string* name, uint32_t* type,
                                 std::vector<uint8_t>* data) {
    const uint32_t rc = EnumValue(key, index, name);
    return rc != 0 ? rc : QueryValue(key, *name, type, data);
  }
  virtual uint32_t QueryInfoKey(RegKey key, uint32_t* subKeys, uint32_t* values) = 0;
  // RegDeleteValueA; a name holding a NUL deletes the value of exactly that name (NtDeleteValueKey
  // with the counted name), never the one its first part names.
  virtual uint32_t DeleteValue(RegKey key, const std::string& name) = 0;
  // RegDeleteKeyA: refuses a key that still has subkeys.
  virtual uint32_t DeleteKey(RegKey parent, const std::string& subKey) = 0;

  // RegOpenKeyExA with options: kRegOptionOpenLink opens a registry link itself, not its target.
  virtual uint32_t OpenKeyEx(RegKey parent, const std::string& subKey, uint32_t options, uint32_t access,
                             RegKey* out) = 0;
  // NtDeleteKey of an open key (opened with kDelete): deletes that very key, a link without its
  // target; refuses a key that still has subkeys.
  virtual uint32_t DeleteOpenKey(RegKey key) = 0;
  // RegQueryValueExW / RegSetValueExW: names and string data in UTF-16, so that text outside the
  // code page survives. `data` may be null.
  virtual uint32_t QueryValueW(RegKey key, const std::u16string& name, uint32_t* type,
                               std::vector<uint8_t>* data) = 0;
  virtual uint32_t SetValueW(RegKey key, const std::u16string& name, uint32_t type, const void* data,
                             uint32_t size) = 0;
};

// FILETIME as one number: 100 ns units since 1601-01-01 UTC.
using FileTime = uint64_t;

struct FindData {
  uint32_t attributes = 0;
  FileTime creationTime = 0;
  FileTime lastAccessTime = 0;
  FileTime lastWriteTime = 0;
  uint64_t size = 0;
  std::string name;
  // cAlternateFileName: the 8.3 name when the file has one besides its name, else empty.
  std::string shortName;
};

// File calls set the thread's last error (System::GetLastError) when they fail.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // FindFirstFileA; kInvalidHandle when nothing matches or the folder is missing.
  virtual Handle FindFirstFile(const std::string& pattern, FindData* data) = 0;
  virtual bool FindNextFile(Handle find, FindData* data) = 0;
  virtual void FindClose(Handle find) = 0;
  virtual uint32_t GetFileAttributes(const std::string& path) = 0;
  virtual bool SetFileAttributes(const std::string& path, uint32_t attributes) = 0;
  virtual bool CreateDirectory(const std::string& path) = 0;
  // CreateDirectoryA with a protected DACL: full access for SYSTEM and the Administrators group,
  // inherited by everything created inside, and nothing for anyone else. Fails when it exists.
  virtual bool CreatePrivateDirectory(const std::string& path) = 0;
  virtual bool RemoveDirectory(const std::string& path) = 0;
  virtual bool DeleteFile(const std::string& path) = 0;
  virtual bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) = 0;
  // MoveFileExA with kMoveFileReplaceExisting and the like; a file only, on the same volume.
  virtual bool MoveFileEx(const std::string& from, const std::string& to, uint32_t flags) = 0;
  // CreateFileA with the Windows access, share and disposition numbers; kInvalidHandle on failure.
  virtual Handle CreateFile(const std::string& path, uint32_t access, uint32_t share,
                            uint32_t disposition, uint32_t attributes) = 0;
  virtual bool ReadFile(Handle file, void* buffer, uint32_t size, uint32_t* read) = 0;
  virtual bool WriteFile(Handle file, const void* buffer, uint32_t size, uint32_t* written) = 0;
  virtual bool SetFilePointer(Handle file, int64_t distance, uint32_t method, uint64_t* position) = 0;
  virtual bool GetFileSize(Handle file, uint64_t* size) = 0;
  virtual bool GetFileTime(Handle file, FileTime* creation, FileTime* access, FileTime* write) = 0;
  // Closes a file or a mapping handle.
  virtual bool CloseHandle(Handle file) = 0;
  // FlushFileBuffers: what was written reaches the disk before the call returns.
  virtual bool FlushFileBuffers(Handle file) = 0;
  // GetFileInformationByHandle's attributes of an open file or folder.
  virtual bool GetFileAttributesByHandle(Handle file, uint32_t* attributes) = 0;
  // CreateFileA of a new file (fails when the name exists), read and write, shared for reading and
  // writing but never for deleting or renaming while open, with a DACL of its own (not inherited)
  // that lets in only SYSTEM and the Administrators; kInvalidHandle on failure.
  virtual Handle CreatePrivateFile(const std::string& path) = 0;

  // CreateFileMappingA of an open file, read-only, whole file; kNoHandle on failure (an empty
  // file cannot be mapped).
  virtual Handle CreateFileMapping(Handle file) = 0;
  // MapViewOfFile, read-only, `length` bytes from `offset` (a multiple of the allocation
  // granularity); null on failure. Released with UnmapViewOfFile.
  virtual const uint8_t* MapViewOfFile(Handle mapping, uint64_t offset, size_t length) = 0;
  virtual void UnmapViewOfFile(const uint8_t* view) = 0;

  // GetFileVersionInfoSizeA + GetFileVersionInfoA; false when the file has no version information.
  virtual bool GetFileVersionInfo(const std::string& path, std::vector<uint8_t>* data) = 0;
  // VerQueryValueA of "\VarFileInfo\Translation": the first language and code page pair.
  virtual bool VerQueryTranslation(const std::vector<uint8_t>& data, uint16_t* language, uint16_t* codePage) = 0;
  // VerQueryValueA of a string sub-block such as "\StringFileInfo\040904B0\CompanyName",
  // up to its first NUL; nullopt when the block is missing.
  virtual std::optional<std::string> VerQueryString(const std::vector<uint8_t>& data,
                                                    const std::string& subBlock) = 0;
};

struct OsVersion {
  uint32_t platformId = win::kVerPlatformWin32Nt;
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
  std::string csdVersion;  // service pack text
};

struct LocalTime {
  uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0;
  uint16_t hour = 0, minute = 0, second = 0, milliseconds = 0;
};

class System {
 public:
  virtual ~System() = default;
  virtual uint32_t GetLastError() = 0;
  virtual void SetLastError(uint32_t code) = 0;
  // FormatMessageA of a system error code, without the trailing line break.
  virtual std::string FormatErrorMessage(uint32_t code) = 0;
  // MultiByteToWideChar(CP_UTF8) + WideCharToMultiByte(CP_ACP), no flags: UTF-8 text in the
  // system code page. Malformed input gives what the two calls give; characters the code page
  // lacks become its default character.
  virtual std::string Utf8ToAnsi(const std::string& text) = 0;
  // MultiByteToWideChar(CP_ACP) + WideCharToMultiByte(CP_UTF8), no flags: the other way round.
  virtual std::string AnsiToUtf8(const std::string& text) = 0;
  // MultiByteToWideChar(CP_ACP), no flags: text of the code page in UTF-16.
  virtual std::u16string AnsiToWide(const std::string& text) = 0;

  virtual std::string GetWindowsDirectory() = 0;
  virtual std::string GetSystemDirectory() = 0;
  virtual std::string GetTempPath() = 0;
  // GetModuleFileNameA of the own executable.
  virtual std::string GetModuleFileName() = 0;
  // SHGetSpecialFolderLocation + SHGetPathFromIDListA; empty when the shell has no such folder.
  virtual std::string GetSpecialFolderPath(int csidl) = 0;
  // GetLongPathNameA; nullopt when kernel32 lacks it or the call fails.
  virtual std::optional<std::string> GetLongPathName(const std::string& path) = 0;
  // SHGetDesktopFolder, ParseDisplayName (wide) and SHGetPathFromIDListA; nullopt on failure.
  virtual std::optional<std::string> ShellParsePath(const std::string& path) = 0;
  // QueryDosDeviceA: the targets of one device name (such as "C:"); empty on failure.
  virtual std::vector<std::string> QueryDosDevice(const std::string& name) = 0;
  // GetDriveTypeA of a root such as "C:\": kDriveFixed, kDriveRemote, ... (kDriveUnknown on failure).
  virtual uint32_t GetDriveType(const std::string& root) = 0;

  virtual OsVersion GetVersion() = 0;
  // IsWow64Process of the own process; nullopt when kernel32 does not export it.
  virtual std::optional<bool> IsWow64Process() = 0;
  // Whether the own process is a 64-bit one (the x86_64 build): it runs only on a 64-bit Windows,
  // and sees that Windows's native registry and file-system views.
  virtual bool Is64BitProcess() = 0;

  virtual uint32_t GetTickCount() = 0;
  // QueryPerformanceCounter over QueryPerformanceFrequency in microseconds, for timings; by
  // default GetTickCount's milliseconds.
  virtual uint64_t GetMicroseconds() { return uint64_t{GetTickCount()} * 1000; }
  virtual void Sleep(uint32_t milliseconds, bool alertable) = 0;
  // timeBeginPeriod / timeEndPeriod of winmm: the system timer's resolution in ms, which is also
  // how long a Sleep(1) lasts. Begin is true when accepted; each accepted Begin needs its End.
  virtual bool BeginTimerPeriod(uint32_t milliseconds) = 0;
  virtual void EndTimerPeriod(uint32_t milliseconds) = 0;
  virtual LocalTime GetLocalTime() = 0;
  // GetDateFormatA(DATE_SHORTDATE) and GetTimeFormatA of the user's locale.
  virtual std::string FormatShortDate(const LocalTime& time) = 0;
  virtual std::string FormatLongTime(const LocalTime& time) = 0;

  // GetPrivateProfileStringA / WritePrivateProfileStringA.
  virtual std::string GetPrivateProfileString(const std::string& file, const std::string& section,
                                              const std::string& key, const std::string& fallback) = 0;
  virtual bool WritePrivateProfileString(const std::string& file, const std::string& section,
                                         const std::string& key, const std::string& value) = 0;

  // FileTimeToLocalFileTime + FileTimeToSystemTime.
  virtual LocalTime FileTimeToLocalTime(FileTime time) = 0;
  // GetSystemInfo's allocation granularity: where mapped views may start.
  virtual uint32_t AllocationGranularity() = 0;
  // SfcIsFileProtected(NULL, path in wide characters) of the library loaded by `library`;
  // nullopt when the library or the export is missing.
  virtual std::optional<bool> SfcIsFileProtected(const std::string& library, const std::string& path) = 0;

  virtual bool ExitWindowsEx(uint32_t flags, uint32_t reason) = 0;
  // SRSetRestorePointA with a RESTOREPOINTINFOA of these fields; false when refused or missing.
  virtual bool SetRestorePoint(uint32_t eventType, uint32_t restorePointType,
                               const std::string& description) = 0;
};

class Security {
 public:
  virtual ~Security() = default;
  // OpenProcessToken of the own process; kNoHandle on failure.
  virtual Handle OpenProcessToken(uint32_t access) = 0;
  virtual bool LookupPrivilegeValue(const std::string& name, uint64_t* luid) = 0;
  // AdjustTokenPrivileges with one privilege, others left as they are.
  virtual bool AdjustTokenPrivilege(Handle token, uint64_t luid, bool enable) = 0;
  virtual void CloseHandle(Handle token) = 0;
};

struct ProcessEntry {
  uint32_t pid = 0;
  uint32_t parentPid = 0;
  std::string exeFile;  // as the snapshot gives it: a file name
};

class Processes {
 public:
  virtual ~Processes() = default;
  // CreateToolhelp32Snapshot + Process32First/Next; nullopt when no snapshot could be taken.
  virtual std::optional<std::vector<ProcessEntry>> SnapshotProcesses() = 0;
  virtual uint32_t GetCurrentProcessId() = 0;
  virtual Handle OpenProcess(uint32_t access, uint32_t pid) = 0;  // kNoHandle on failure
  virtual void CloseHandle(Handle process) = 0;
  // EnumProcessModules into a buffer of `capacity` handles.
  virtual bool EnumProcessModules(Handle process, std::vector<uintptr_t>* modules, size_t capacity) = 0;
  // GetModuleFileNameExA (module 0 = the main executable) with a buffer of `chars` characters.
  virtual std::string GetModuleFileNameEx(Handle process, uintptr_t module, size_t chars) = 0;
  // Whether psapi.dll exports GetProcessImageFileNameA.
  virtual bool HasGetProcessImageFileName() = 0;
  virtual std::optional<std::string> GetProcessImageFileName(Handle process) = 0;
};

class Shell {
 public:
  virtual ~Shell() = default;
  // ShellExecuteA; true when the shell accepted it (result above 32).
  virtual bool ShellExecute(uintptr_t window, const std::string& verb, const std::string& file,
                            const std::string& parameters, const std::string& directory,
                            int show) = 0;
  // ShellExecuteExA (no-close-process, no-UI) and WaitForSingleObject of the started program for
  // up to `timeout` ms, then GetExitCodeProcess; false when it did not start or did not end in time.
  virtual bool ShellExecuteWait(const std::string& file, const std::string& parameters, int show,
                                uint32_t timeout, uint32_t* exitCode) = 0;
  // ShellExecuteExA with the verb "properties" (invoke-ID-list, no-close-process, no-UI).
  virtual bool ShowProperties(uintptr_t window, const std::string& path) = 0;
};

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  virtual bool SetText(const std::string& text) = 0;
  virtual std::string GetText() = 0;
};

class Ui {
 public:
  virtual ~Ui() = default;
  // MessageBoxA without owner window.
  virtual int MessageBox(const std::string& text, const std::string& caption, uint32_t flags) = 0;
};

class Threads {
 public:
  virtual ~Threads() = default;
  // CreateThread, default stack, started at once; kNoHandle on failure.
  virtual Handle CreateThread(std::function<uint32_t()> body) = 0;
  // GetExitCodeThread: kStillActive while it runs.
  virtual bool GetExitCodeThread(Handle thread, uint32_t* code) = 0;
  // WaitForSingleObject on the thread: true once it has ended, false when `milliseconds` passed first.
  virtual bool WaitForThread(Handle thread, uint32_t milliseconds) = 0;
  virtual void CloseHandle(Handle thread) = 0;
};

struct ServiceStatusEntry {
  std::string name;
  std::string displayName;
  uint32_t serviceType = 0;
  uint32_t currentState = 0;
};

struct ServiceConfig {
  uint32_t serviceType = 0;
  uint32_t startType = 0;
  std::string binaryPath;
  std::string loadOrderGroup;
  std::string displayName;
};

// The service control manager.
class Services {
 public:
  virtual ~Services() = default;
  // OpenSCManagerA; an empty machine is the local one. kNoHandle on failure.
  virtual Handle OpenSCManager(const std::string& machine, uint32_t access) = 0;
  virtual Handle OpenService(Handle manager, const std::string& name, uint32_t access) = 0;
  virtual bool QueryServiceStatus(Handle service, uint32_t* currentState) = 0;
  // QueryServiceConfigA into a buffer of `bufferSize` bytes.
  virtual bool QueryServiceConfig(Handle service, size_t bufferSize, ServiceConfig* config) = 0;
  // EnumServicesStatusA of the given types and states: the whole list, however many calls it takes.
  virtual bool EnumServicesStatus(Handle manager, uint32_t serviceType, uint32_t serviceState,
                                  std::vector<ServiceStatusEntry>* services) = 0;
  virtual void CloseServiceHandle(Handle handle) = 0;
};

// One row of a TCP table with its owning process (MIB_TCPROW_OWNER_PID, MIB_TCPROW_EX): the raw
// 32-bit fields, addresses and ports in network byte order.
struct TcpRow {
  uint32_t state = 0;
  uint32_t localAddr = 0;
  uint32_t localPort = 0;
  uint32_t remoteAddr = 0;
  uint32_t remotePort = 0;
  uint32_t pid = 0;
};

// One row of a UDP table with its owning process (MIB_UDPROW_OWNER_PID, MIB_UDPROW_EX).
struct UdpRow {
  uint32_t localAddr = 0;
  uint32_t localPort = 0;
  uint32_t pid = 0;
};

// The IP Helper library, loaded at run time, and Windows Sockets. The table calls return the
// Windows result (0 = success) and fail with kErrorCallNotImplemented when the library is not
// loaded or lacks the export.
class IpHelper {
 public:
  virtual ~IpHelper() = default;
  // LoadLibraryA (a bare name from the system folder); false when the library cannot be loaded. A loaded library stays until FreeLibrary.
  virtual bool LoadLibrary(const std::string& name) = 0;
  // GetProcAddress in the loaded library.
  virtual bool HasExport(const std::string& name) = 0;
  virtual void FreeLibrary() = 0;
  // WSAStartup (version: major in the low byte); WSACleanup only after a successful start.
  virtual bool WsaStartup(uint16_t version) = 0;
  virtual void WsaCleanup() = 0;
  // GetExtendedTcpTable / GetExtendedUdpTable into a buffer of *size bytes (none when 0), reserved 0.
  // ERROR_INSUFFICIENT_BUFFER (122) leaves the needed size in *size; on success `rows` gets the
  // rows of the table. A table whose entry count overruns the buffer is refused with
  // ERROR_INVALID_DATA (13), never read past.
  virtual uint32_t GetExtendedTcpTable(uint32_t* size, bool order, uint32_t family, uint32_t tableClass,
                                       std::vector<TcpRow>* rows) = 0;
  virtual uint32_t GetExtendedUdpTable(uint32_t* size, bool order, uint32_t family, uint32_t tableClass,
                                       std::vector<UdpRow>* rows) = 0;
  // AllocateAndGetTcpExTableFromStack / ...Udp... on the process heap; the library's table is
  // copied into `rows` and freed at once.
  virtual uint32_t AllocateAndGetTcpExTableFromStack(bool order, uint32_t flags, uint32_t family,
                                                     std::vector<TcpRow>* rows) = 0;
  virtual uint32_t AllocateAndGetUdpExTableFromStack(bool order, uint32_t flags, uint32_t family,
                                                     std::vector<UdpRow>* rows) = 0;
};

// WinInet. Failures leave the code in System::GetLastError, as the WinInet calls do.
class Internet {
 public:
  virtual ~Internet() = default;
  // InternetOpenA with the preconfigured proxy settings, no proxy names and no flags; kNoHandle on failure.
  virtual Handle Open(const std::string& userAgent) = 0;
  // InternetOpenUrlA without extra headers; kNoHandle on failure.
  virtual Handle OpenUrl(Handle internet, const std::string& url, uint32_t flags) = 0;
  // HttpQueryInfoA(HTTP_QUERY_STATUS_CODE) into a text buffer of `chars` characters.
  virtual bool QueryStatusCode(Handle request, uint32_t chars, std::string* status) = 0;
  // InternetReadFile of up to `size` bytes; *read is 0 at the end of the data.
  virtual bool ReadFile(Handle request, void* buffer, uint32_t size, uint32_t* read) = 0;
  virtual bool CloseHandle(Handle handle) = 0;
};

// --- native services and process memory ----------------------------------------------------

// Addresses in a 32-bit process: the own one or another one.
using Address = uint32_t;

namespace nt {
constexpr uint32_t kStatusSuccess = 0;
constexpr uint32_t kStatusPending = 0x103;
constexpr uint32_t kStatusPartialCopy = 0x8000000D;
constexpr uint32_t kStatusNotImplemented = 0xC0000002;
constexpr uint32_t kStatusInvalidHandle = 0xC0000008;
constexpr uint32_t kStatusInvalidParameter = 0xC000000D;
constexpr uint32_t kStatusAccessDenied = 0xC0000022;
constexpr uint32_t kStatusInfoLengthMismatch = 0xC0000004;
constexpr uint32_t kStatusInvalidCid = 0xC000000B;
constexpr uint32_t kStatusUnsuccessful = 0xC0000001;
constexpr uint32_t kStatusObjectNameNotFound = 0xC0000034;
constexpr uint32_t kStatusImageAlreadyLoaded = 0xC000010E;
constexpr uint32_t kMemCommit = 0x1000;
constexpr uint32_t kMemReserve = 0x2000;
constexpr uint32_t kMemFree = 0x10000;
}  // namespace nt

// The nine native services the program calls, in the order their numbers are read.
enum class NativeService : uint8_t {
  OpenProcess,
  ReadVirtualMemory,
  QueryVirtualMemory,
  QueryInformationProcess,
  DeviceIoControlFile,
  QuerySystemInformation,
  Close,
  LoadDriver,
  UnloadDriver,
};
constexpr size_t kNativeServiceCount = 9;
// Their ntdll export names, by NativeService.
constexpr const char* kNativeServiceNames[kNativeServiceCount] = {
    "NtOpenProcess",         "NtReadVirtualMemory",      "NtQueryVirtualMemory",
    "NtQueryInformationProcess", "NtDeviceIoControlFile", "NtQuerySystemInformation",
    "NtClose",               "NtLoadDriver",             "NtUnloadDriver"};

// How a service is entered: a trap with its system-call number, or a call of the ntdll export at
// `address` (where a trap would not reach Windows). None, a trap numbered 0 or an export at 0
// are not entered: the call fails with STATUS_NOT_IMPLEMENTED.
enum class ServiceGate : uint8_t { None, Interrupt2E, Sysenter, Export };
struct ServiceEntry {
  ServiceGate gate = ServiceGate::None;
  uint16_t number = 0;
  Address address = 0;
};

// IO_STATUS_BLOCK.
struct IoStatus {
  uint32_t status = 0;
  uint32_t information = 0;
};

// The native API (ntdll services entered through the gates set here) and the own process's
// modules and memory as the loader maps them. Services return the NTSTATUS; buffers of other
// processes' structures are their raw 32-bit layouts.
class NativeApi {
 public:
  virtual ~NativeApi() = default;
  virtual void SetServiceEntry(NativeService service, const ServiceEntry& entry) = 0;
  virtual ServiceEntry GetServiceEntry(NativeService service) = 0;

  // NtOpenProcess with OBJECT_ATTRIBUTES (OBJ_INHERIT when `inherit`) and CLIENT_ID {pid, 0}.
  virtual uint32_t OpenProcess(Handle* process, uint32_t access, bool inherit, uint32_t pid) = 0;
  virtual uint32_t Close(Handle handle) = 0;
  virtual uint32_t ReadVirtualMemory(Handle process, Address address, void* buffer, uint32_t size,
                                     uint32_t* read) = 0;
  virtual uint32_t QueryVirtualMemory(Handle process, Address address, uint32_t infoClass, void* buffer,
                                      uint32_t size, uint32_t* returned) = 0;
  virtual uint32_t QueryInformationProcess(Handle process, uint32_t infoClass, void* buffer, uint32_t size,
                                           uint32_t* returned) = 0;
  virtual uint32_t QuerySystemInformation(uint32_t infoClass, void* buffer, uint32_t size,
                                          uint32_t* returned) = 0;
  // No APC routine or context.
  virtual uint32_t DeviceIoControlFile(Handle file, Handle event, IoStatus* ioStatus, uint32_t code,
                                       const void* input, uint32_t inputSize, void* output,
                                       uint32_t outputSize) = 0;
  // The service key's registry path, as a counted wide string.
  virtual uint32_t LoadDriver(const std::u16string& serviceKey) = 0;
  virtual uint32_t UnloadDriver(const std::u16string& serviceKey) = 0;

  // The own process. ReadOwnMemory is IsBadReadPtr over `size` bytes and then a copy.
  virtual bool ReadOwnMemory(Address address, void* buffer, uint32_t size) = 0;
  // GetModuleHandleA / LoadLibraryA (a bare name from the system folder): the base of the module, 0
  // when missing.
  virtual Address GetModuleHandle(const std::string& name) = 0;
  virtual Address LoadLibrary(const std::string& name) = 0;
  // GetModuleFileNameA of a loaded module with a buffer of `chars` characters; empty on failure.
  virtual std::string GetModuleFileName(Address module, uint32_t chars) = 0;
  // The own process environment block, from the thread information block.
  virtual Address CurrentPeb() = 0;
  // Calls the export found at `address` as IsWow64Process(GetCurrentProcess(), ...); nullopt when
  // the call fails.
  virtual std::optional<bool> CallIsWow64Process(Address address) = 0;
  // Calls the export found at `address` as RtlAdjustPrivilege(privilege, enable, thread, &was).
  virtual uint32_t CallRtlAdjustPrivilege(Address address, uint32_t privilege, bool enable,
                                          bool currentThread) = 0;
  // WideCharToMultiByte, ANSI code page, no flags.
  virtual std::string WideToAnsi(const std::u16string& text) = 0;

  // The driver client's calls. Paths are ANSI; the backend widens them for the ...W calls.
  // CreateFileW of a device (such as \\.\Global\kvdrv): read and write, no sharing, existing
  // only; kInvalidHandle on failure (last error set). Closed with CloseDevice (CloseHandle).
  virtual Handle OpenDevice(const std::string& path) = 0;
  virtual bool CloseDevice(Handle device) = 0;
  // CreateFileW (read and execute, shared for reading) + CreateFileMappingW(SEC_IMAGE, read-only)
  // + MapViewOfFileEx: the file laid out as an image in the own process; 0 on failure.
  virtual Address MapImageFile(const std::string& path) = 0;
  virtual void UnmapImageFile(Address view) = 0;
  // LoadLibraryExA with `flags` (DONT_RESOLVE_DLL_REFERENCES = 1) / FreeLibrary.
  virtual Address LoadLibraryEx(const std::string& path, uint32_t flags) = 0;
  virtual void FreeLibrary(Address module) = 0;
};

struct Backend {
  Registry* registry = nullptr;
  FileSystem* files = nullptr;
  System* system = nullptr;
  Security* security = nullptr;
  Processes* processes = nullptr;
  Shell* shell = nullptr;
  Clipboard* clipboard = nullptr;
  Ui* ui = nullptr;
  Threads* threads = nullptr;
  Services* services = nullptr;
  IpHelper* iphelper = nullptr;
  Internet* internet = nullptr;
  NativeApi* native = nullptr;
};

// The backend in use; installing one replaces the previous one for the whole process.
const Backend& Current();
void Install(const Backend& backend);

inline Registry& Reg() { return *Current().registry; }
inline FileSystem& Fs() { return *Current().files; }
inline System& Sys() { return *Current().system; }
inline Security& Sec() { return *Current().security; }
inline Processes& Procs() { return *Current().processes; }
inline Shell& Sh() { return *Current().shell; }
inline Clipboard& Clip() { return *Current().clipboard; }
inline Ui& Gui() { return *Current().ui; }
inline Threads& Thr() { return *Current().threads; }
inline Services& Svc() { return *Current().services; }
inline IpHelper& Ip() { return *Current().iphelper; }
inline Internet& Net() { return *Current().internet; }
inline NativeApi& Native() { return *Current().native; }

}  // namespace platform
