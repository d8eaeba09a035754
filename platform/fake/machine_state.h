// The state a fake machine's facilities share: one lock, one handle counter and one part per
// facility. Tests reach it through Machine (fake_machine.h); the facilities get all of it.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ascii_names.h"
#include "platform/platform.h"
#include "platform/sync.h"

namespace platform::fake {

// The fake's case-insensitive names.
using platform::EqualNoCase;
using platform::UpperAscii;
// The parts of a backslash-separated path; empty parts are dropped.
std::vector<std::string> SplitPath(const std::string& path);

// The calling thread's last error, one for every facility as in Windows.
uint32_t ThreadLastError();
void SetThreadLastError(uint32_t code);

// --- registry -----------------------------------------------------------------------------

struct RegValue {
  uint32_t type = win::kRegSz;
  std::vector<uint8_t> data;
  bool wide = false;  // string data written by the ...W calls, in UTF-16
};

// A REG_SZ-style value stored with its NUL, and a REG_DWORD.
std::vector<uint8_t> StringBytes(const std::string& text);
std::vector<uint8_t> DwordBytes(uint32_t value);

struct RegNode {
  std::string name;
  std::vector<std::shared_ptr<RegNode>> children;        // creation order
  std::vector<std::pair<std::string, RegValue>> values;  // creation order
  bool deleted = false;
  bool denied = false;
  // A registry link: opening it (but with kRegOptionOpenLink) opens the target.
  bool isLink = false;
  std::weak_ptr<RegNode> linkTarget;

  std::shared_ptr<RegNode> Child(const std::string& name) const;
  RegValue* Value(const std::string& name);
  void SetValue(const std::string& name, RegValue value);  // replaces, or appends a new one
  bool RemoveValue(const std::string& name);
  // Unlinks a child; handles open on it then answer ERROR_KEY_DELETED.
  void RemoveChild(const std::shared_ptr<RegNode>& child);
};

// The predefined roots (HKEY_CLASSES_ROOT shows HKLM\SOFTWARE\Classes) and the open keys.
struct RegistryTree {
  RegistryTree();

  // The key at `path` below `from`; missing keys are made when `create`, else null. A link on the
  // way leads to its target; the last part is the link itself when `openLink`.
  static std::shared_ptr<RegNode> Walk(std::shared_ptr<RegNode> from, const std::string& path, bool create,
                                       bool openLink = false);
  // The key holding `node` as a child; null for a root or a key no longer in the tree.
  std::shared_ptr<RegNode> ParentOf(const std::shared_ptr<RegNode>& node) const;
  // A root or an open key; null for an unknown or deleted one.
  std::shared_ptr<RegNode> NodeOf(RegKey key) const;
  // Why NodeOf found nothing: a key deleted while open, or no such handle.
  uint32_t HandleError(RegKey key) const;

  std::shared_ptr<RegNode> Make(RegKey root, const std::string& path) { return Walk(NodeOf(root), path, true); }
  std::shared_ptr<RegNode> Find(RegKey root, const std::string& path) const {
    return Walk(NodeOf(root), path, false);
  }
  // Removes the key with everything below it; nothing when it is not there.
  void RemoveTree(RegKey root, const std::string& path);

  std::map<RegKey, std::shared_ptr<RegNode>> roots;
  std::map<RegKey, std::shared_ptr<RegNode>> keys;  // open handles
  RegKey nextKey = 0x1000;
};

// --- files --------------------------------------------------------------------------------

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
  std::string shortName;          // the 8.3 name besides the name, when it has one
  bool privateToAdmins = false;   // made by CreatePrivateFile
};

struct OpenFile {
  std::string key;  // upper-case path
  uint64_t position = 0;
  uint32_t access = 0;
  uint32_t share = win::kFileShareRead | win::kFileShareWrite | win::kFileShareDelete;
};

struct FindState {
  std::vector<FindData> entries;
  size_t next = 0;
};

// Files and folders by upper-case normalised path, and the handles open on them.
struct FileTable {
  static std::string Normalize(const std::string& path);
  static std::string Key(const std::string& path) { return UpperAscii(Normalize(path)); }
  static std::string ParentKey(const std::string& key);
  static std::string NameOf(const std::string& path);

  // By name, or by 8.3 name; null (ERROR_INVALID_NAME) for a path holding a wildcard.
  FakeFile* Find(const std::string& path);
  // Whether a handle open on `key` does not share `share` (kFileShareDelete, ...).
  bool HeldWithoutSharing(const std::string& key, uint32_t share) const;
  bool FolderExists(const std::string& key) const;  // drive roots always exist
  bool CreateDenied(const std::string& key) const;
  // GetFileAttributesA, setting the last error when the path is missing.
  uint32_t Attributes(const std::string& path);
  // A new empty file as CreateFileA makes it: null with the last error set when its folder is
  // missing or refuses creation.
  FakeFile* Create(const std::string& path, uint32_t attributes, FileTime now);
  void AddFolder(const std::string& path, FileTime now);  // with every folder above it
  FakeFile& AddFile(const std::string& path, const std::string& contents, uint32_t attributes, FileTime now);

  std::map<std::string, FakeFile> files;
  bool anyShortName = false;              // some file can be found by its 8.3 name
  std::vector<std::string> deniedCreate;  // upper-case folder prefixes
  std::map<Handle, OpenFile> open;
  std::map<Handle, FindState> finds;
  std::map<Handle, std::string> mappings;  // mapping handle -> file key
  std::map<const uint8_t*, std::unique_ptr<std::vector<uint8_t>>> views;  // kept until unmapped
};

// --- processes, services, threads ---------------------------------------------------------

struct FakeProcess {
  uint32_t pid = 0;
  uint32_t parentPid = 0;
  std::string exeFile;   // snapshot name
  std::string exePath;   // full path of the main module; empty when it cannot be queried
  std::string imageDevicePath;  // GetProcessImageFileNameA answer
  std::vector<std::string> modules;  // loaded modules after the main one
  bool accessible = true;  // OpenProcess succeeds
};

struct ProcessState {
  uint32_t currentPid = 4000;
  bool snapshotFails = false;
  bool hasProcessImageFileName = true;
};

struct ProcessTable {
  std::map<uint32_t, FakeProcess> byPid;
  std::vector<uint32_t> order;  // snapshot order: as added
  std::map<Handle, uint32_t> handles;
};

struct FakeService {
  std::string name;
  std::string displayName;
  uint32_t serviceType = win::kServiceWin32OwnProcess;
  uint32_t currentState = win::kServiceRunning;
  ServiceConfig config;  // binaryPath, startType, group; type and display name copied in
  bool accessible = true;  // OpenService succeeds
};

struct ServiceState {
  bool managerOpens = true;
};

struct ServiceTable {
  std::vector<FakeService> list;         // in creation order
  std::map<Handle, std::string> handles;  // "" for the manager, else the service name
};

struct ThreadState {
  bool creationFails = false;
};

struct RunningThread {
  std::atomic<bool> done{false};
  std::atomic<uint32_t> exitCode{win::kStillActive};
  std::unique_ptr<Thread> thread;
};

struct ThreadTable {
  std::map<Handle, std::shared_ptr<RunningThread>> handles;
};

// --- system facts, security, shell and UI, IP Helper --------------------------------------

struct RestorePointRequest {
  uint32_t eventType = 0, restorePointType = 0;
  std::string description;
};

struct SystemState {
  std::string windowsDir = "C:\\WINDOWS";
  std::string systemDir = "C:\\WINDOWS\\system32";
  std::string tempDir = "C:\\DOCUME~1\\User\\LOCALS~1\\Temp\\";
  std::string modulePath = "C:\\Tools\\BurrowSentry\\BurrowSentry.exe";
  std::map<int, std::string> specialFolders;
  std::map<std::string, std::vector<std::string>> dosDevices;  // "C:" -> {"\\Device\\HarddiskVolume1"}
  std::map<std::string, uint32_t> driveTypes;  // "Z:" -> kDriveRemote; a drive not listed is fixed
  std::map<std::string, std::string> longPaths;  // short (upper case) -> long, for both long-path calls
  bool hasGetLongPathName = true;
  // Files Windows File Protection covers (any letter case), and the libraries that export the test.
  std::vector<std::string> protectedFiles;
  std::vector<std::string> sfcLibraries{"sfc_os.dll", "SFC.dll"};
  uint32_t allocationGranularity = 65536;
  int32_t utcOffsetMinutes = 0;  // local time = UTC + offset
  OsVersion version{win::kVerPlatformWin32Nt, 5, 1, 2600, "Service Pack 3"};
  std::optional<bool> wow64 = false;
  bool process64 = false;  // the program as the x86_64 build
  uint32_t tickCount = 1000;
  uint32_t tickStep = 0;  // added to the tick count at every reading
  LocalTime now{2009, 12, 2, 8, 15, 45, 12, 0};
  // Formats in the Windows picture language (date_time.h).
  std::string shortDateFormat = "M/d/yyyy";
  std::string longTimeFormat = "h:mm:ss tt";
  std::map<uint32_t, std::string> errorMessages;
  bool exitWindowsSucceeds = true;
  std::vector<uint32_t> exitWindowsCalls;
  bool restorePointAccepted = true;
  std::vector<RestorePointRequest> restorePoints;
  bool timerPeriodAccepted = true;
  std::vector<std::string> timerPeriodCalls;  // "begin 1", "end 1", ... in call order
};

struct SecurityState {
  std::vector<std::string> privileges{"SeDebugPrivilege", "SeSystemProfilePrivilege", "SeSecurityPrivilege",
                                      "SeBackupPrivilege", "SeRestorePrivilege", "SeShutdownPrivilege"};
  std::vector<std::string> enabledPrivileges;
  bool tokenOpens = true;
};

struct ShellExecution {
  std::string verb, file, parameters, directory;
  int show = 0;
  bool waited = false;  // ShellExecuteWait
};

struct MessageBoxRecord {
  std::string text, caption;
  uint32_t flags = 0;
};

// Shell, clipboard and message boxes: what the program asked for, and the answers it gets.
struct ShellUiState {
  std::vector<ShellExecution> shellExecutions;
  std::vector<std::string> propertiesShown;
  bool shellExecuteSucceeds = true;
  // Runs as a started program would, while ShellExecuteWait waits for it.
  std::function<void(const ShellExecution&)> whileRunning;
  std::vector<MessageBoxRecord> messageBoxes;
  int messageBoxAnswer = win::kIdOk;
  std::string clipboard;
  bool clipboardFails = false;
};

struct IpHelperState {
  bool present = true;  // iphlpapi.dll loads
  std::vector<std::string> exports{"AllocateAndGetTcpExTableFromStack", "AllocateAndGetUdpExTableFromStack",
                                   "SetTcpEntry", "GetExtendedTcpTable", "GetExtendedUdpTable"};
  std::vector<TcpRow> tcpTable;  // IPv4 endpoints in the library's order
  std::vector<UdpRow> udpTable;
  // Connections opened between a size query and the next call: every call that answers
  // ERROR_INSUFFICIENT_BUFFER moves the first pending row into its table.
  std::vector<TcpRow> tcpRowsOpenedBetweenCalls;
  std::vector<UdpRow> udpRowsOpenedBetweenCalls;
  bool loaded = false;   // LoadLibrary done and FreeLibrary not yet
  int winsockStarts = 0;  // WSAStartup calls not yet matched by WSACleanup
  std::vector<std::string> tableCalls;  // the names of the table functions called, in order
};

// An HTTP answer of the fake web.
struct HttpAnswer {
  bool reachable = true;  // false: the connection is refused
  std::string status = "200";
  std::string body;
  // While it points to false, opening the URL waits (a slow server).
  std::shared_ptr<std::atomic<bool>> held;
};

struct InternetRequest {
  std::string url;
  uint32_t flags = 0;
};

struct InternetState {
  std::map<std::string, std::shared_ptr<HttpAnswer>> answers;  // by URL; others do not resolve
  std::vector<std::string> userAgents;
  std::vector<InternetRequest> requests;
  std::vector<uint32_t> readSizes;
  std::atomic<int> openHandles{0};  // sessions and requests not closed yet
};

// --- process memory and the native services ----------------------------------------------

struct MemoryRegion {
  Address allocationBase = 0;
  uint32_t state = nt::kMemCommit;  // a reserved region holds no bytes that can be read
  bool readable = true;             // false: a guard or no-access page
  std::vector<uint8_t> bytes;       // the region's size
};

struct LoadedModule {
  Address base = 0;
  uint32_t size = 0;
  std::string path;
  Address entry = 0;  // its loader-list entry
};

// One process's memory: regions by base, and the loader structures LoadModule keeps in it.
struct AddressSpace {
  std::map<Address, MemoryRegion> regions;
  Address peb = 0;
  Address ldr = 0;
  Address nextStructure = 0x00200000;  // where the next loader structure goes
  std::vector<LoadedModule> modules;   // load order

  MemoryRegion* RegionAt(Address address, Address* base = nullptr);
  // Copies committed, readable bytes from `address` on; the count copied.
  uint32_t Read(Address address, void* out, uint32_t size);
  // Writes into committed regions; false when any byte falls outside them.
  bool Write(Address address, const void* data, uint32_t size);
  bool Write32(Address address, uint32_t value) { return Write(address, &value, 4); }
  // A zero-filled committed region of `size` bytes for loader structures.
  Address AllocateStructure(uint32_t size);
};

struct LoadableLibrary {
  Address base = 0;
  std::vector<uint8_t> image;
  std::string path;
};

struct NativeState {
  ServiceEntry entries[kNativeServiceCount];
  std::map<uint32_t, AddressSpace> spaces;           // by process id
  std::map<Handle, uint32_t> handles;                 // NtOpenProcess handles -> process id
  std::map<std::string, LoadableLibrary> libraries;  // upper-case file name -> what LoadLibraryA maps
  std::vector<std::pair<uint32_t, bool>> adjustedPrivileges;  // RtlAdjustPrivilege calls
  uint32_t serviceCalls = 0;  // services entered through a gate
};

// --- the kernel the driver client talks to ------------------------------------------------

// One entry of the system module list (NtQuerySystemInformation class 11).
struct KernelModule {
  Address base = 0;
  uint32_t size = 0;
  std::string imageName;  // such as "\WINDOWS\system32\ntkrnlpa.exe"; the file name follows the last "\"
};

// What the device answers for one request instead of the driver's own answer.
struct DeviceAnswer {
  uint32_t status = 0;
  uint32_t information = 0;
};

// The kernel and the companion driver in it. NtLoadDriver of a service key whose ImagePath names
// an existing file loads the driver; its device then
// opens by the names of `deviceName`, as the driver allows it (an administrator, one handle at a
// time, no name after the device's), and its requests are answered by the driver's own request
// code over this kernel, the first module being the kernel image.
struct KernelState {
  std::vector<KernelModule> modules;  // the first is the kernel
  uint32_t moduleListStatus = 0;      // a failure status the module list query answers instead
  AddressSpace memory;                // kernel memory the driver may read
  Address serviceTable = 0;           // 0: the driver finds no service table (as under Wine)
  uint32_t serviceCount = 0;
  Address syscallEntry = 0;           // 0: the driver cannot tell
  std::string deviceName = "kvdrv";
  bool globalDeviceNames = true;      // "\\.\Global\" names reach the device
  // The device's DACL admits only administrators and SYSTEM: an ordinary user's open is refused.
  bool callerIsAdmin = true;
  uint32_t loadStatus = 0;            // a failure status NtLoadDriver answers instead of loading
  std::map<uint32_t, DeviceAnswer> answers;  // request code -> forced answer

  bool loaded = false;
  std::string loadedImage;  // the bytes of the file the last load read
  Handle device = kNoHandle;
  // What happened, in order: "load <ImagePath>", "unload", "open <path>", "close", "request <code hex>",
  // "map <path>", "unmap <path>", "library <path>", "free <path>".
  std::vector<std::string> events;
};

// Files mapped as images into the own process (MapImageFile, LoadLibraryEx).
struct MappedImage {
  std::string path;
  bool library = false;
};

// --- the machine --------------------------------------------------------------------------

struct MachineState {
  // The fake is used from the scan worker and the test thread at once.
  Mutex mutex;
  Handle nextHandle = 0x100;  // one series for files, finds, processes, services, threads
  Handle NewHandle() { return nextHandle++; }
  // The machine's local clock as a FILETIME (good enough for ordering in tests).
  FileTime Now() const;

  RegistryTree registry;
  FileTable files;
  ProcessState processes;
  ProcessTable processTable;
  ServiceState services;
  ServiceTable serviceTable;
  ThreadState threads;
  ThreadTable threadTable;
  SystemState system;
  SecurityState security;
  ShellUiState shellUi;
  IpHelperState ipHelper;
  InternetState internet;
  NativeState native;
  KernelState kernel;
  std::map<Address, MappedImage> mappedImages;
  Address nextImageBase = 0x60000000;
};

}  // namespace platform::fake
