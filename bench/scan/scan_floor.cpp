// The floor of a scan: for each section of a `bsscan --timings` run (read from standard input),
// the same number of registry opens, enumerations and value reads, file opens, finds, attribute
// reads (of missing files apart), path lookups, process calls, network-table calls and version
// reads, made as plainly as Win32 allows, the same bytes read and hashed and the same 1 ms pauses
// (at the 1 ms timer period the scan asks for) and service-manager opens. Prints each section's
// time against its floor, then the whole run's against the floor's.
//
//   scan_floor.exe SCAN_MS START_MS < timings   (SCAN_MS: the scan process's wall time;
//                                                START_MS: the start of a program doing nothing)
//   scan_floor.exe                               (no arguments: starts and ends, for START_MS)
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <mmsystem.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "inspect/md5.h"

namespace {

// The counted kinds, by the timings text's names.
const char* const kKinds[] = {"keys opened",     "keys enumerated", "values read",   "files opened",
                              "files found",     "attributes read", "attributes missing", "bytes hashed",
                              "pauses",          "services opened", "bytes read",    "finds started",
                              "path lookups",    "process calls",   "tcp tables",    "udp tables",
                              "version reads"};

struct Section {
  std::string title;
  double scanMs = 0;
  std::map<std::string, unsigned long long> counts;
  unsigned long long operator[](const std::string& kind) const {
    const auto it = counts.find(kind);
    return it == counts.end() ? 0 : it->second;
  }
};

// "[t] TITLE: 12.3 ms, keys opened N, ..., udp tables N"; false for any other line or a line
// without every kind.
bool ParseLine(const std::string& line, Section* s) {
  if (line.rfind("[t] ", 0) != 0) return false;
  const size_t ms = line.rfind(" ms, keys opened ");
  if (ms == std::string::npos) return false;
  const size_t colon = line.rfind(": ", ms);
  if (colon == std::string::npos || colon < 4) return false;
  s->title = line.substr(4, colon - 4);
  s->scanMs = std::atof(line.substr(colon + 2, ms - colon - 2).c_str());
  const std::string rest = line.substr(ms + 5) + ",";
  for (size_t at = 0; at < rest.size();) {
    const size_t comma = rest.find(',', at);
    const std::string item = rest.substr(at, comma - at);
    const size_t space = item.rfind(' ');
    if (space == std::string::npos) return false;
    s->counts[item.substr(item[0] == ' ' ? 1 : 0, space - (item[0] == ' ' ? 1 : 0))] =
        std::strtoull(item.c_str() + space + 1, nullptr, 10);
    at = comma + 1;
  }
  for (const char* kind : kKinds) {
    if (!s->counts.count(kind)) return false;
  }
  return true;
}

double NowMs() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(count.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

const char kKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const char kEnumKey[] = "SYSTEM\\CurrentControlSet\\Services";

// What the floor's calls work on: files and folders of the system, and another process.
struct Targets {
  std::string file, missingFile, folderMask, findMask, versionFile;
  HANDLE process = nullptr;
  std::vector<HMODULE> modules;
  std::vector<unsigned char> block = std::vector<unsigned char>(1 << 20, 0x5A);
};

// Another process whose modules can be read, as the scan reads every process's; none when no
// other process can be opened.
void OpenOtherProcess(Targets* t) {
  DWORD pids[1024], bytes = 0;
  if (!EnumProcesses(pids, sizeof pids, &bytes)) return;
  for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
    if (pids[i] == 0 || pids[i] == GetCurrentProcessId()) continue;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pids[i]);
    if (!process) continue;
    HMODULE modules[200];
    DWORD needed = 0;
    if (EnumProcessModules(process, modules, sizeof modules, &needed) && needed >= 2 * sizeof(HMODULE)) {
      t->process = process;
      t->modules.assign(modules, modules + std::min<DWORD>(needed, sizeof modules) / sizeof(HMODULE));
      return;
    }
    CloseHandle(process);
  }
}

template <typename Get>
void FetchTable(Get get) {
  static std::vector<char> buffer(1 << 20);
  DWORD size = static_cast<DWORD>(buffer.size());
  get(buffer.data(), &size);
}

// One section's calls; the time they took in ms.
double Floor(const Section& s, const Targets& t) {
  const double start = NowMs();
  for (unsigned long long i = 0; i < s["keys opened"]; ++i) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) == ERROR_SUCCESS) RegCloseKey(key);
  }
  HKEY key = nullptr, services = nullptr;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key);
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, kEnumKey, 0, KEY_READ, &services);
  DWORD index = 0;
  for (unsigned long long i = 0; i < s["keys enumerated"]; ++i) {
    char name[256];
    DWORD size = sizeof name;
    if (RegEnumKeyExA(services, index++, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) index = 0;
  }
  for (unsigned long long i = 0; i < s["values read"]; ++i) {
    BYTE data[512];
    DWORD size = sizeof data, type = 0;
    RegQueryValueExA(key, "SystemRoot", nullptr, &type, data, &size);
  }
  if (services) RegCloseKey(services);
  if (key) RegCloseKey(key);
  for (unsigned long long i = 0; i < s["files opened"]; ++i) {
    HANDLE h = CreateFileA(t.file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           0, nullptr);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  // Each find started searches a folder of the Windows folder's size; the other entries found
  // come from one listing of the system folder.
  const unsigned long long started = s["finds started"];
  for (unsigned long long i = 0; i < started; ++i) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(t.findMask.c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
  }
  HANDLE find = INVALID_HANDLE_VALUE;
  const unsigned long long found = s["files found"];
  for (unsigned long long i = started; i < found; ++i) {
    WIN32_FIND_DATAA data;
    if (find != INVALID_HANDLE_VALUE && FindNextFileA(find, &data)) continue;
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    find = FindFirstFileA(t.folderMask.c_str(), &data);
  }
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  const unsigned long long missing = s["attributes missing"];
  for (unsigned long long i = 0; i < missing; ++i) GetFileAttributesA(t.missingFile.c_str());
  for (unsigned long long i = missing; i < s["attributes read"]; ++i) GetFileAttributesA(t.file.c_str());
  if (const unsigned long long bytesRead = s["bytes read"]) {
    HANDLE h = CreateFileA(t.file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    static char chunk[64 * 1024];
    for (unsigned long long left = bytesRead; h != INVALID_HANDLE_VALUE && left > 0;) {
      DWORD got = 0;
      if (!ReadFile(h, chunk, sizeof chunk, &got, nullptr)) break;
      if (got == 0) {
        SetFilePointer(h, 0, nullptr, FILE_BEGIN);
        continue;
      }
      left -= got < left ? got : left;
    }
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  inspect::TMd5 md5;
  for (unsigned long long left = s["bytes hashed"]; left > 0;) {
    const size_t n = left < t.block.size() ? static_cast<size_t>(left) : t.block.size();
    md5.Update(t.block.data(), n);
    left -= n;
  }
  md5.Finish();
  for (unsigned long long i = 0; i < s["pauses"]; ++i) Sleep(1);
  for (unsigned long long i = 0; i < s["services opened"]; ++i) {
    if (SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT)) CloseServiceHandle(manager);
  }
  for (unsigned long long i = 0; i < s["path lookups"]; ++i) {
    char path[MAX_PATH];
    GetLongPathNameA(t.file.c_str(), path, MAX_PATH);
  }
  // Module names of the other process, in turn: a name further down its module list costs more.
  for (unsigned long long i = 0; t.process && i < s["process calls"]; ++i) {
    char path[MAX_PATH];
    GetModuleFileNameExA(t.process, t.modules[i % t.modules.size()], path, MAX_PATH);
  }
  for (unsigned long long i = 0; i < s["tcp tables"]; ++i) {
    FetchTable([](void* buffer, DWORD* size) {
      GetExtendedTcpTable(buffer, size, TRUE, AF_INET, TCP_TABLE_OWNER_PID_ALL, 0);
    });
  }
  for (unsigned long long i = 0; i < s["udp tables"]; ++i) {
    FetchTable([](void* buffer, DWORD* size) {
      GetExtendedUdpTable(buffer, size, TRUE, AF_INET, UDP_TABLE_OWNER_PID, 0);
    });
  }
  for (unsigned long long i = 0; i < s["version reads"]; ++i) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(t.versionFile.c_str(), &ignored);
    std::vector<char> info(size ? size : 1);
    if (size) GetFileVersionInfoA(t.versionFile.c_str(), 0, size, info.data());
  }
  return NowMs() - start;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 0;
  const double scanMs = std::atof(argv[1]), startMs = std::atof(argv[2]);
  std::vector<Section> sections;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, stdin)) {
    std::string line(buffer);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    Section s;
    if (ParseLine(line, &s) && s.title != "total") sections.push_back(s);
  }
  char system[MAX_PATH], windows[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  GetWindowsDirectoryA(windows, MAX_PATH);
  Targets targets;
  targets.file = std::string(system) + "\\kernel32.dll";
  targets.folderMask = std::string(system) + "\\*";
  targets.findMask = std::string(windows) + "\\*.ini";
  targets.missingFile = std::string(system) + "\\bs-floor-missing.dll";
  // A driver: a file this program has not loaded, as most files whose version the scan reads.
  targets.versionFile = targets.file;
  WIN32_FIND_DATAA driver;
  HANDLE find = FindFirstFileA((std::string(system) + "\\drivers\\*.sys").c_str(), &driver);
  if (find != INVALID_HANDLE_VALUE) {
    targets.versionFile = std::string(system) + "\\drivers\\" + driver.cFileName;
    FindClose(find);
  }
  OpenOtherProcess(&targets);
  timeBeginPeriod(1);

  std::printf("%-42s %10s %10s %7s  %s\n", "section", "scan ms", "floor ms", "ratio",
              "keys opened, enumerated, values read, files opened, found, attributes, missing, bytes hashed, "
              "pauses, services opened, bytes read, finds started, path lookups, process calls, tcp tables, udp "
              "tables, version reads");
  double floorWork = 0, scanSections = 0;
  for (const Section& s : sections) {
    const double ms = Floor(s, targets);
    floorWork += ms;
    scanSections += s.scanMs;
    char ratio[32] = "-";
    if (ms >= 0.05) std::snprintf(ratio, sizeof ratio, "%.1f", s.scanMs / ms);
    std::string counts;
    for (const char* kind : kKinds) counts += " " + std::to_string(s[kind]);
    std::printf("%-42s %10.1f %10.1f %7s %s\n", s.title.substr(0, 42).c_str(), s.scanMs, ms, ratio, counts.c_str());
  }
  timeEndPeriod(1);
  if (targets.process) CloseHandle(targets.process);
  const double floorTotal = startMs + floorWork;
  std::printf("%-42s %10.1f %10.1f %7.1f\n", "sections", scanSections, floorWork,
              floorWork > 0 ? scanSections / floorWork : 0.0);
  std::printf("%-42s %10.1f %10.1f %7.1f\n", "total (process start included)", scanMs, floorTotal,
              floorTotal > 0 ? scanMs / floorTotal : 0.0);
  return 0;
}
