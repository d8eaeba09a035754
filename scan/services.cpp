// Drivers, services, service DLLs, Winsock providers and COM servers.
#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <unordered_map>

#include "inspect/files.h"
#include "inspect/lang.h"
#include "inspect/paths.h"
#include "inspect/registry.h"
#include "inspect/system.h"
#include "inspect/text.h"
#include "platform/handles.h"
#include "scan/file_lines.h"
#include "scan/sections.h"

namespace scan {

namespace {

namespace win = platform::win;
using platform::kHkeyLocalMachine;

// A value of a key the reader opens as "\SYSTEM\...", as the path helpers take it:
// "SYSTEM\...\<value>" (an empty name is the default value).
std::string ValuePath(const std::string& keyPath, const std::string& valueName) {
  const std::string path = !keyPath.empty() && keyPath[0] == '\\' ? keyPath.substr(1) : keyPath;
  return path + "\\" + valueName;
}

bool KeyOpens(const std::string& keyPath) { return inspect::TReaderKey(kHkeyLocalMachine, keyPath).ok(); }

std::vector<std::string> SubkeyNames(const std::string& keyPath) {
  return inspect::ReaderSubkeyNames(kHkeyLocalMachine, keyPath);
}

std::string LowerAscii(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The Microsoft exclusion of the registry listers: the file the text names is protected by
// Windows File Protection.
bool DroppedAsMicrosoft(const TScanOptions& options, const std::string& text) {
  return options.ExcludeMicrosoftFiles && inspect::IsProtectedSystemFile(inspect::ModuleFromCommandLine(text));
}

// The CLSID server folders, in the order they are tried; a folder the system does not name is left out.
std::vector<std::string> ClsidServerFolders() {
  std::vector<std::string> folders{inspect::GetSystemDir(), inspect::GetWindowsDir(), inspect::GetTempDir(),
                                   inspect::GetSpecialFolder(win::kCsidlAppData),
                                   inspect::GetSpecialFolder(win::kCsidlCommonAppData)};
  std::erase_if(folders, [](const std::string& folder) { return folder.empty(); });
  return folders;
}

}  // namespace

// Every running service of the kind, as the service manager lists it. The platform continues
// the enumeration with the resume handle, so a database larger than one buffer is listed whole.
// An enumeration the manager refuses raises, keeping the thread's last error for the frame.
void WriteServiceList(TReport& report, const TScanOptions& options, TServiceKind kind) {
  const bool drivers = kind == TServiceKind::Drivers;
  const uint32_t typeMask = drivers ? win::kServiceDriver : win::kServiceWin32;
  const int pathMode = drivers ? 1 : 2;

  auto& scm = platform::Svc();
  platform::ScopedService manager(scm.OpenSCManager("", win::kScManagerAllAccess));
  if (!manager.ok()) return;

  std::vector<platform::ServiceStatusEntry> entries;
  if (!scm.EnumServicesStatus(manager.get(), typeMask, win::kServiceStateAll, &entries)) {
    // The frame shows the enumeration's error code: the close must not replace it.
    auto& sys = platform::Sys();
    const uint32_t error = sys.GetLastError();
    manager.Reset();
    sys.SetLastError(error);
    throw std::runtime_error("EnumServicesStatus failed");
  }

  for (const auto& entry : entries) {
    if (!options.Pause(options.ReduceMemoryUsage)) return;
    if (!inspect::IsServiceRunning("", entry.name)) continue;
    const std::string file = inspect::ServiceImageToFile(inspect::ServiceBinaryPath(entry.name), pathMode);
    if (file.empty()) continue;
    if (options.ExcludeMicrosoftFiles && inspect::IsProtectedSystemFile(file)) continue;
    report.Add(file + " (" + entry.name + ") (" + entry.displayName + ") (" + inspect::FileCompanyName(file) +
               ") (" + inspect::FileMd5Text(file) + ")");
  }
}

void WriteFilterDrivers(TReport& report, const TScanOptions&, const std::string& keyPath) {
  struct Driver {
    std::string name, imagePath;
  };
  std::vector<Driver> filters;
  // A failure while collecting the names or reading the values ends the walk with what it has.
  try {
    for (const std::string& name : SubkeyNames(keyPath)) {
      const std::string key = keyPath + "\\" + name;
      std::string group, imagePath;
      inspect::RegReadString(kHkeyLocalMachine, ValuePath(key, "Group"), &group);
      inspect::RegReadExpandString(kHkeyLocalMachine, ValuePath(key, "ImagePath"), &imagePath);
      if (group == "FSFilter Anti-Virus") filters.push_back({name, imagePath});
    }
  } catch (const std::exception&) {
  }
  for (const Driver& driver : filters) {
    report.Add("Driver Name: " + driver.name + "\r\nDriver File: " + driver.imagePath + "\r\n" + inspect::Lng(49) +
               ": " + inspect::RootKeyName(kHkeyLocalMachine) + keyPath + "\\" + driver.name + "\r\n");
  }
}

void WriteServiceDlls(TReport& report, const TScanOptions& options, const std::string& keyPath) {
  for (const std::string& service : SubkeyNames(keyPath)) {
    for (const std::string& sub : SubkeyNames(keyPath + "\\" + service)) {
      if (!inspect::EqualNoCase(sub, "Parameters")) continue;
      const std::string parameters = keyPath + "\\" + service + "\\" + sub;
      std::vector<std::string> values;
      {
        inspect::TReaderKey key(kHkeyLocalMachine, parameters);
        if (!key.ok()) continue;
        if (!options.Pause(true)) return;
        values = key.reader().GetValueNames();
      }
      for (const std::string& value : values) {
        if (!inspect::EqualNoCase(value, "ServiceDll")) continue;
        std::string text;
        try {
          inspect::RegReadExpandString(kHkeyLocalMachine, ValuePath(parameters, "ServiceDll"), &text);
          if (inspect::FileExists(text)) {
            ReportFile(text, report, options.ExcludeMicrosoftFiles, options.Md5Exclusions, options.UseMd5Exclusions);
          }
        } catch (const std::exception&) {
          if (!text.empty()) report.Add(text + " (LOCKED)");
        }
      }
    }
  }
}

void ListWinsockLibraries(TReport& report, const TScanOptions& options, const std::string& controlSet) {
  const std::string keyPath =
      "\\SYSTEM\\" + controlSet + "\\Services\\WinSock2\\Parameters\\NameSpace_Catalog5\\Catalog_Entries";
  const std::string root = inspect::RootKeyName(kHkeyLocalMachine);
  for (const std::string& entry : SubkeyNames(keyPath)) {
    std::string text;
    {
      inspect::TReaderKey key(kHkeyLocalMachine, keyPath + "\\" + entry);
      if (!key.ok()) continue;
      for (const std::string& value : key.reader().GetValueNames()) {
        if (value == "LibraryPath") text = inspect::RegValueToText(key.reader(), value);
      }
    }
    if (text.empty() || DroppedAsMicrosoft(options, text)) continue;
    report.Add(inspect::ValueEntry("LibraryPath", text, root + keyPath + "\\" + entry));
  }
}

void WriteUnknownClsidFiles(TReport& report, const TScanOptions& options, const std::string& keyPath) {
  const std::vector<std::string> folders = ClsidServerFolders();
  // Many classes share a server: each server path is judged once.
  std::unordered_map<std::string, bool> listable;
  const auto judge = [&](const std::string& server) {
    if (!inspect::FileExists(server) || !inspect::IsPeFile(server)) return false;
    const bool inWatchedFolder = std::any_of(folders.begin(), folders.end(), [&](const std::string& folder) {
      return server.find(folder) != std::string::npos;
    });
    if (!inWatchedFolder) return false;
    return !(options.ExcludeMicrosoftFiles && inspect::FileCompanyName(server) == "Microsoft Corporation");
  };
  for (const std::string& clsid : SubkeyNames(keyPath)) {
    const std::string classKey = keyPath + "\\" + clsid;
    for (const std::string& sub : SubkeyNames(classKey)) {
      if (!options.Pause(true)) return;
      if (LowerAscii(sub).find("inprocserver32") == std::string::npos) continue;
      const std::string serverKey = classKey + "\\" + sub;
      if (!KeyOpens(serverKey)) continue;
      std::string server;
      inspect::RegReadString(kHkeyLocalMachine, ValuePath(serverKey, ""), &server);
      auto known = listable.find(server);
      if (known == listable.end()) known = listable.emplace(server, judge(server)).first;
      if (!known->second) continue;
      ReportFile(server, report, options.ExcludeMicrosoftFiles, options.Md5Exclusions, options.UseMd5Exclusions);
    }
  }
}

}  // namespace scan
