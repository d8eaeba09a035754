// A small in-memory Windows machine for tests: registry, files, processes, system facts and
// a record of side effects. Build a scenario in code (or from .reg text), then Install().
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sync.h"

namespace platform::fake {

struct RegValue {
  uint32_t type = win::kRegSz;
  std::vector<uint8_t> data;
};

struct FileVersion {
  std::string companyName;
  std::string productVersion;
};

struct FakeFile {
  std::string path;  // as created, full
  bool directory = false;
  uint32_t attributes = win::kFileAttributeArchive;
  std::string contents;
  FileTime creationTime = 0;
  FileTime lastAccessTime = 0;
  FileTime lastWriteTime = 0;
  bool lockedExclusive = false;  // held open without sharing by another process
  std::optional<FileVersion> version;
};

struct FakeProcess {
  uint32_t pid = 0;
  uint32_t parentPid = 0;
  std::string exeFile;   // snapshot name
  std::string exePath;   // full path of the main module; empty when it cannot be queried
  std::string imageDevicePath;  // GetProcessImageFileNameA answer
  std::vector<std::string> modules;  // loaded modules after the main one
  bool accessible = true;  // OpenProcess succeeds
};

struct FakeService {
  std::string name;
  std::string displayName;
  uint32_t serviceType = win::kServiceWin32OwnProcess;
  uint32_t currentState = win::kServiceRunning;
  ServiceConfig config;  // binaryPath, startType, group; type and display name copied in
  bool accessible = true;  // OpenService succeeds
};

struct ShellExecution {
  std::string verb, file, parameters, directory;
  int show = 0;
};

struct MessageBoxRecord {
  std::string text, caption;
  uint32_t flags = 0;
};

struct RestorePointRequest {
  uint32_t eventType = 0, restorePointType = 0;
  std::string description;
};

class Machine {
 public:
  // A Windows XP SP3 machine on C:\ with the usual folders, the executable in
  // C:\Tools\BurrowSentry\, and an empty registry apart from the roots.
  Machine();
  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  Backend backend();
  // Installs this machine as the process-wide backend (and restores the previous one on destruction).
  void Install();

  // --- registry -------------------------------------------------------------------------
  void CreateKey(RegKey root, const std::string& path);
  void SetValue(RegKey root, const std::string& path, const std::string& name, uint32_t type,
                std::vector<uint8_t> data);
  void SetString(RegKey root, const std::string& path, const std::string& name, const std::string& text,
                 uint32_t type = win::kRegSz);  // stored with its NUL
  void SetDword(RegKey root, const std::string& path, const std::string& name, uint32_t value);
  bool KeyExists(RegKey root, const std::string& path);
  std::optional<RegValue> GetValue(RegKey root, const std::string& path, const std::string& name);
  // Keys that refuse to open (access denied), by root and path.
  void DenyKey(RegKey root, const std::string& path);
  // Imports REGEDIT4 / "Windows Registry Editor Version 5.00" text (strings, dword:, hex:, hex(n):).
  void ImportReg(const std::string& text);

  // --- files ----------------------------------------------------------------------------
  void AddFolder(const std::string& path);
  // Creates the file and every missing folder above it.
  FakeFile& AddFile(const std::string& path, const std::string& contents = "",
                    uint32_t attributes = win::kFileAttributeArchive);
  bool Exists(const std::string& path);
  FakeFile* File(const std::string& path);
  std::string Contents(const std::string& path);
  void RemoveFile(const std::string& path);
  // Folders whose creation fails (as on a read-only medium).
  void DenyCreate(const std::string& folderPrefix);

  // --- services -------------------------------------------------------------------------
  FakeService& AddService(const std::string& name, const std::string& displayName, uint32_t serviceType,
                          uint32_t currentState, const std::string& binaryPath);
  bool serviceManagerOpens = true;

  // --- IP Helper ------------------------------------------------------------------------
  bool ipHelperPresent = true;  // iphlpapi.dll loads
  std::vector<std::string> ipHelperExports{"AllocateAndGetTcpExTableFromStack", "AllocateAndGetUdpExTableFromStack",
                                           "SetTcpEntry", "GetExtendedTcpTable", "GetExtendedUdpTable"};
  std::vector<TcpRow> tcpTable;  // IPv4 endpoints in the library's order
  std::vector<UdpRow> udpTable;
  // Connections opened between a size query and the next call: every call that answers
  // ERROR_INSUFFICIENT_BUFFER moves the first pending row into its table.
  std::vector<TcpRow> tcpRowsOpenedBetweenCalls;
  std::vector<UdpRow> udpRowsOpenedBetweenCalls;
  bool ipHelperLoaded = false;  // LoadLibrary done and FreeLibrary not yet
  int winsockStarts = 0;        // WSAStartup calls not yet matched by WSACleanup
  std::vector<std::string> tableCalls;  // the names of the table functions called, in order

  // --- processes ------------------------------------------------------------------------
  FakeProcess& AddProcess(uint32_t pid, const std::string& exePath, std::vector<std::string> modules = {});
  uint32_t currentPid = 4000;
  bool snapshotFails = false;
  bool hasProcessImageFileName = true;

  // --- system facts ---------------------------------------------------------------------
  std::string windowsDir = "C:\\WINDOWS";
  std::string systemDir = "C:\\WINDOWS\\system32";
  std::string tempDir = "C:\\DOCUME~1\\User\\LOCALS~1\\Temp\\";
  std::string modulePath = "C:\\Tools\\BurrowSentry\\BurrowSentry.exe";
  std::map<int, std::string> specialFolders;
  std::map<std::string, std::vector<std::string>> dosDevices;  // "C:" -> {"\\Device\\HarddiskVolume1"}
  std::map<std::string, std::string> longPaths;   // short (upper case) -> long, for both long-path calls
  bool hasGetLongPathName = true;
  // Files Windows File Protection covers (any letter case), and the libraries that export the test.
  std::vector<std::string> protectedFiles;
  std::vector<std::string> sfcLibraries{"sfc_os.dll", "SFC.dll"};
  uint32_t allocationGranularity = 65536;
  int32_t utcOffsetMinutes = 0;  // local time = UTC + offset
  OsVersion version{win::kVerPlatformWin32Nt, 5, 1, 2600, "Service Pack 3"};
  std::optional<bool> wow64 = false;
  uint32_t tickCount = 1000;
  uint32_t tickStep = 0;  // added to the tick count at every reading
  LocalTime now{2009, 12, 2, 8, 15, 45, 12, 0};
  // Formats in the Windows picture language (d, dd, M, MM, yyyy, h, hh, H, HH, m, mm, s, ss, tt).
  std::string shortDateFormat = "M/d/yyyy";
  std::string longTimeFormat = "h:mm:ss tt";
  std::map<uint32_t, std::string> errorMessages;
  std::vector<std::string> privileges{"SeDebugPrivilege", "SeSystemProfilePrivilege", "SeSecurityPrivilege",
                                      "SeBackupPrivilege", "SeRestorePrivilege", "SeShutdownPrivilege"};
  std::vector<std::string> enabledPrivileges;
  bool tokenOpens = true;
  bool exitWindowsSucceeds = true;
  std::vector<uint32_t> exitWindowsCalls;
  bool restorePointAccepted = true;
  std::vector<RestorePointRequest> restorePoints;
  bool timerPeriodAccepted = true;
  std::vector<std::string> timerPeriodCalls;  // "begin 1", "end 1", ... in call order

  // --- side effects ---------------------------------------------------------------------
  std::vector<ShellExecution> shellExecutions;
  std::vector<std::string> propertiesShown;
  bool shellExecuteSucceeds = true;
  std::vector<MessageBoxRecord> messageBoxes;
  int messageBoxAnswer = win::kIdOk;
  std::string clipboard;
  bool clipboardFails = false;
  int processMessagesCalls = 0;
  bool threadCreationFails = false;

  platform::Mutex mutex;  // the fake is used from the scan worker and the test thread

  struct Impl;
  std::unique_ptr<Impl> impl;

 private:
  Backend previous_;
  bool installed_ = false;
};

// The IP Helper facility of a machine (fake_iphelper.cpp).
std::unique_ptr<IpHelper> MakeIpHelper(Machine& machine);

// Upper-cases ASCII letters (the fake's case-insensitive keys).
std::string UpperAscii(std::string text);

}  // namespace platform::fake
