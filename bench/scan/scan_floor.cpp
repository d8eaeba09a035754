// The floor of a scan: for each section of a `bsscan --timings` run (read from standard input),
// the same number of registry opens, enumerations and value reads, file opens, finds and
// attribute reads, made as plainly as Win32 allows, the same bytes read and hashed and the same
// 1 ms pauses (at the 1 ms timer period the scan asks for) and service-manager opens. Prints
// each section's time against its floor, then the whole run's against the floor's.
//
//   scan_floor.exe SCAN_MS START_MS < timings   (SCAN_MS: the scan process's wall time;
//                                                START_MS: the start of a program doing nothing)
//   scan_floor.exe                               (no arguments: starts and ends, for START_MS)
#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "inspect/md5.h"

namespace {

struct Section {
  std::string title;
  double scanMs = 0;
  unsigned long long keysOpened = 0, keysEnumerated = 0, valuesRead = 0, filesOpened = 0, filesFound = 0,
                     attributesRead = 0, bytesHashed = 0, pauses = 0, servicesOpened = 0, bytesRead = 0;
};

// "[t] TITLE: 12.3 ms, keys opened N, keys enumerated N, values read N, files opened N, files found N,
// attributes read N, bytes hashed N, pauses N, services opened N, bytes read N"; false for any other
// line.
bool ParseLine(const std::string& line, Section* s) {
  if (line.rfind("[t] ", 0) != 0) return false;
  const size_t ms = line.rfind(" ms, keys opened ");
  if (ms == std::string::npos) return false;
  const size_t colon = line.rfind(": ", ms);
  if (colon == std::string::npos || colon < 4) return false;
  s->title = line.substr(4, colon - 4);
  s->scanMs = std::atof(line.substr(colon + 2, ms - colon - 2).c_str());
  return std::sscanf(line.c_str() + ms,
                     " ms, keys opened %llu, keys enumerated %llu, values read %llu, files opened %llu, files found "
                     "%llu, attributes read %llu, bytes hashed %llu, pauses %llu, services opened %llu, bytes read %llu",
                     &s->keysOpened, &s->keysEnumerated, &s->valuesRead, &s->filesOpened, &s->filesFound,
                     &s->attributesRead, &s->bytesHashed, &s->pauses, &s->servicesOpened, &s->bytesRead) == 10;
}

double NowMs() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(count.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

const char kKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const char kEnumKey[] = "SYSTEM\\CurrentControlSet\\Services";

// One section's calls; the time they took in ms.
double Floor(const Section& s, const std::string& file, const std::string& folderMask,
             const std::vector<unsigned char>& block) {
  const double start = NowMs();
  for (unsigned long long i = 0; i < s.keysOpened; ++i) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) == ERROR_SUCCESS) RegCloseKey(key);
  }
  HKEY key = nullptr, services = nullptr;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key);
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, kEnumKey, 0, KEY_READ, &services);
  DWORD index = 0;
  for (unsigned long long i = 0; i < s.keysEnumerated; ++i) {
    char name[256];
    DWORD size = sizeof name;
    if (RegEnumKeyExA(services, index++, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) index = 0;
  }
  for (unsigned long long i = 0; i < s.valuesRead; ++i) {
    BYTE data[512];
    DWORD size = sizeof data, type = 0;
    RegQueryValueExA(key, "SystemRoot", nullptr, &type, data, &size);
  }
  if (services) RegCloseKey(services);
  if (key) RegCloseKey(key);
  for (unsigned long long i = 0; i < s.filesOpened; ++i) {
    HANDLE h = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  HANDLE find = INVALID_HANDLE_VALUE;
  for (unsigned long long i = 0; i < s.filesFound; ++i) {
    WIN32_FIND_DATAA data;
    if (find != INVALID_HANDLE_VALUE && FindNextFileA(find, &data)) continue;
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    find = FindFirstFileA(folderMask.c_str(), &data);
  }
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  for (unsigned long long i = 0; i < s.attributesRead; ++i) GetFileAttributesA(file.c_str());
  if (s.bytesRead > 0) {
    HANDLE h = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    static char chunk[64 * 1024];
    for (unsigned long long left = s.bytesRead; h != INVALID_HANDLE_VALUE && left > 0;) {
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
  for (unsigned long long left = s.bytesHashed; left > 0;) {
    const size_t n = left < block.size() ? static_cast<size_t>(left) : block.size();
    md5.Update(block.data(), n);
    left -= n;
  }
  md5.Finish();
  for (unsigned long long i = 0; i < s.pauses; ++i) Sleep(1);
  for (unsigned long long i = 0; i < s.servicesOpened; ++i) {
    if (SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT)) CloseServiceHandle(manager);
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
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  const std::string file = std::string(system) + "\\kernel32.dll", mask = std::string(system) + "\\*";
  const std::vector<unsigned char> block(1 << 20, 0x5A);
  timeBeginPeriod(1);

  std::printf("%-42s %10s %10s %7s  %s\n", "section", "scan ms", "floor ms", "ratio",
              "keys opened, enumerated, values read, files opened, found, attributes, bytes hashed, pauses, "
              "services opened, bytes read");
  double floorWork = 0, scanSections = 0;
  for (const Section& s : sections) {
    const double ms = Floor(s, file, mask, block);
    floorWork += ms;
    scanSections += s.scanMs;
    char ratio[32] = "-";
    if (ms >= 0.05) std::snprintf(ratio, sizeof ratio, "%.1f", s.scanMs / ms);
    std::printf("%-42s %10.1f %10.1f %7s  %llu %llu %llu %llu %llu %llu %llu %llu %llu %llu\n", s.title.substr(0, 42).c_str(),
                s.scanMs, ms, ratio, s.keysOpened, s.keysEnumerated, s.valuesRead, s.filesOpened, s.filesFound,
                s.attributesRead, s.bytesHashed, s.pauses, s.servicesOpened, s.bytesRead);
  }
  timeEndPeriod(1);
  const double floorTotal = startMs + floorWork;
  std::printf("%-42s %10.1f %10.1f %7.1f\n", "sections", scanSections, floorWork,
              floorWork > 0 ? scanSections / floorWork : 0.0);
  std::printf("%-42s %10.1f %10.1f %7.1f\n", "total (process start included)", scanMs, floorTotal,
              floorTotal > 0 ? scanMs / floorTotal : 0.0);
  return 0;
}
