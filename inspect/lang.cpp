#include "inspect/lang.h"

#include <array>
#include <mutex>

#include "platform/sync.h"

namespace inspect {

namespace {

struct DefaultText {
  int n;
  const char* text;
};

// Built-in English texts: report words, section titles and messages.
constexpr DefaultText kDefaults[] = {
    {15, "Generic system info"},
    {16, "Running processes"},
    {17, "Registry startups"},
    {18, "Startup folders"},
    {19, "TCPIP nameservers"},
    {20, "Internet Explorer settings"},
    {21, "Windows Firewall allowed programs"},
    {22, "Windows Firewall allowed ports"},
    {23, "System Hijack"},
    {24, "Executables in Temp folders"},
    {25, "Executables in suspicious folders"},
    {26, "Files created/modified"},
    {27, "days ago"},
    {28, "Hidden files in suspicious folders"},
    {29, "Hosts file"},
    {30, "Drivers"},
    {47, "Value"},
    {48, "Data"},
    {49, "Key"},
    {55, "Finish ["},
    {56, "Operating System"},
    {57, "Build Version"},
    {62, "System Folder"},
    {70, "Log created on"},
    {72, "at"},
    {73, "Loaded Modules"},
    {75, "Other Startups Methods"},
    {76, "Custom Registry Keys Dump"},
    {77, "Executables in Internet Explorer Folder"},
    {78, "Custom Files List"},
    {79, "Drivers -> FSFilter Anti-Virus"},
    {80, "Services"},
    {81, "TCP Connections"},
    {83, "Suspicious Registry Keys"},
    {96, "Error downloading data... Please check you are connected to Internet."},
    {97, "A new version of Burrow Sentry is available for download."},
    {98, "Do you want to visit the homepage to download the new version ?"},
    {99, "No new version available."},
    {100, "Error downloading data... Please retry later."},
    {109, "Scanning your system ... please wait..."},
    {110, "Please wait... the main system scan is in progress."},
    {111, "Please wait... CLSID scan is in progress."},
    {112, "Internet Explorer Trusted Sites"},
    {113, "Unknown .SYS files"},
    {114, "Non accessible files"},
    {116, "Cannot save the report file"},
    {117, "Cannot save the report file to dekstop"},
    {118, "Cannot create thread."},
    {120, "This option can take some minutes... Be patient."},
    {124, "File does not exist."},
    {125, "Restorer is working... Please wait..."},
    {186, "The changes have been applied... It is recommended to reboot your computer for the changes to take effect"},
    {200, "No item selected!"},
    {202, "deleted successfully!"},
    {203, "Error deleting the value"},
    {204, "Suspicious folders"},
    {207, "Unknown files in Winsock LSP"},
    {208, "Kernel Mode Info"},
    {209, "Ring3 API Hooks"},
    {211, "Unknown files in CLSID"},
    {212, "ServiceDll"},
    {213, "File deleted successfully."},
    {214, "File deleted successfully (need reboot)."},
    {215, "Error: file cannot be deleted."},
    {216, "Error: file not found."},
    {225, "UDP Connections"},
    {227, "Do you want to reboot the system ?"},
    {228, "Do you want to shutdown the system ?"},
};

// Entry n at index n; index 0 unused. The scan worker reads while the interface thread writes.
struct Table {
  platform::Mutex mutex;
  std::array<std::string, kLngCount + 1> texts;
};

Table& TheTable() {
  static Table table;
  return table;
}

bool InRange(int n) { return n >= 1 && n <= kLngCount; }

}  // namespace

bool LngHasKey(int n) { return InRange(n) && n != 71 && !(n >= 86 && n <= 93); }

std::string Lng(int n) {
  if (!InRange(n)) return "";
  Table& t = TheTable();
  std::lock_guard lock(t.mutex);
  return t.texts[n];
}

void SetLng(int n, const std::string& text) {
  if (!InRange(n)) return;
  Table& t = TheTable();
  std::lock_guard lock(t.mutex);
  t.texts[n] = text;
}

void ClearLngTable() {
  Table& t = TheTable();
  std::lock_guard lock(t.mutex);
  for (std::string& text : t.texts) text.clear();
}

void SetLngTable(const std::vector<std::string>& texts) {
  Table& t = TheTable();
  std::lock_guard lock(t.mutex);
  for (int n = 1; n <= kLngCount; ++n) {
    if (LngHasKey(n)) t.texts[n] = static_cast<size_t>(n) < texts.size() ? texts[n] : std::string();
  }
}

std::string LngDefault(int n) {
  for (const DefaultText& d : kDefaults) {
    if (d.n == n) return d.text;
  }
  return "";
}

void FillDefaultTexts() {
  Table& t = TheTable();
  std::lock_guard lock(t.mutex);
  for (const DefaultText& d : kDefaults) {
    if (t.texts[d.n].empty()) t.texts[d.n] = d.text;
  }
}

}  // namespace inspect
