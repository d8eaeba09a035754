// File-system sections: startup, temporary, suspicious, recent and hidden files, autorun.ini,
// unknown drivers, non accessible files and numbered folders.
#include <charconv>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "inspect/files.h"
#include "inspect/folder_walk.h"
#include "inspect/lang.h"
#include "inspect/paths.h"
#include "inspect/system.h"
#include "inspect/text.h"
#include "platform/platform.h"
#include "scan/file_lines.h"
#include "scan/run_value_filters.h"
#include "scan/sections.h"

namespace scan {

namespace {

namespace win = platform::win;
using platform::FindData;
using inspect::JoinPath;

bool IsFolderEntry(const FindData& entry) { return (entry.attributes & win::kFileAttributeDirectory) != 0; }

// The answer of the folder helpers when they do not know the folder ("" or "\" alone): walking
// it would search the root of the current drive, so such a folder is left out.
bool IsUnknownFolder(const std::string& folder) { return folder.empty() || folder == "\\"; }

// A folder followed by a fixed piece such as "\drivers\", with exactly one backslash between.
std::string SubFolder(const std::string& folder, const std::string& piece) {
  return JoinPath(folder, piece.starts_with('\\') ? piece.substr(1) : piece);
}

// Calls `visit` for each entry of folder + mask in the order the file system returns them.
template <typename Visit>
void ForEachEntry(const std::string& folder, const std::string& mask, Visit&& visit) {
  inspect::TFolderWalk walk;
  walk.mask = mask;
  walk.visit = [&](const std::string&, const FindData& entry) { visit(entry); };
  inspect::WalkFolder(folder, walk);
}

// The file walk of every section but "Suspicious folders": entries that are not folders, each
// after the optional pause, in `folder` and, when `recurse`, its subfolders. `visit` gets the
// folder walked and the entry. A failure on one entry goes to `failed` and the walk goes on.
template <typename Visit, typename Failed>
void WalkFiles(const std::string& folder, const std::string& mask, bool recurse, const TScanOptions& options,
               Visit&& visit, Failed&& failed) {
  inspect::TFolderWalk walk;
  walk.mask = mask;
  walk.recurse = recurse;
  walk.visit = [&](const std::string& walked, const FindData& entry) {
    // An entry without a name is not a folder, whatever attributes it carries.
    if (IsFolderEntry(entry) && !entry.name.empty()) return;
    if (!options.Pause(options.ReduceMemoryUsage)) return;
    try {
      visit(walked, entry);
    } catch (...) {
      try {
        failed(walked, entry);
      } catch (...) {
      }
    }
  };
  walk.stop = options.Stop;
  inspect::WalkFolder(folder, walk);
}

template <typename Visit, typename Failed>
void ForEachFile(const std::string& folder, const std::string& mask, const TScanOptions& options, Visit&& visit,
                 Failed&& failed) {
  WalkFiles(
      folder, mask, false, options, [&](const std::string&, const FindData& entry) { visit(entry); },
      [&](const std::string&, const FindData& entry) { failed(entry); });
}

template <typename Visit>
void ForEachFile(const std::string& folder, const std::string& mask, const TScanOptions& options, Visit&& visit) {
  ForEachFile(folder, mask, options, std::forward<Visit>(visit), [](const FindData&) {});
}

void ReportListedFile(const std::string& path, TReport& report, const TScanOptions& options,
                      const std::string& reach = "") {
  ReportFile(path, report, options.ExcludeMicrosoftFiles, options.Md5Exclusions, options.UseMd5Exclusions, reach);
}

// How a walked file is opened: by its name, or, when the code page cannot hold the name (FindFirstFileA
// gives '?' for each character it lacks, and no call opens such a path), by its 8.3 name.
std::string ReachPath(const std::string& folder, const FindData& entry) {
  const bool lossy = entry.name.find('?') != std::string::npos;
  return JoinPath(folder, lossy && !entry.shortName.empty() ? entry.shortName : entry.name);
}

// Folders by the names the sections use.
enum class Base { Drive, Windows, System, Temp, Csidl, LocalAppData, LocalSettings, Recent, CommonFiles, Templates };

struct FolderRef {
  Base base;
  int csidl;          // for Base::Csidl
  const char* piece;  // appended to the base folder; "" for none
};

// The folder text; "" when the base folder is unknown.
std::string Resolve(const FolderRef& ref) {
  std::string folder;
  switch (ref.base) {
    case Base::Drive: folder = inspect::GetSystemDrive(); break;
    case Base::Windows: folder = inspect::GetWindowsDir(); break;
    case Base::System: folder = inspect::GetSystemDir(); break;
    case Base::Temp: folder = inspect::GetTempDir(); break;
    case Base::Csidl: folder = inspect::GetSpecialFolder(ref.csidl); break;
    case Base::LocalAppData: folder = inspect::GetLocalAppDataDir(); break;
    case Base::LocalSettings: folder = inspect::GetLocalSettingsDir(); break;
    case Base::Recent: folder = inspect::GetRecentDir(); break;
    case Base::CommonFiles: folder = inspect::GetCommonFilesDir(); break;
    case Base::Templates: folder = inspect::GetTemplatesDir(); break;
  }
  if (IsUnknownFolder(folder)) return "";
  return *ref.piece ? SubFolder(folder, ref.piece) : folder;
}

constexpr int kFonts = 20, kTemplates = 21, kPrograms = 2, kCommonPrograms = 23;
constexpr int kStartup = win::kCsidlStartup, kCommonStartup = win::kCsidlCommonStartup;
constexpr int kAppData = win::kCsidlAppData, kCommonAppData = win::kCsidlCommonAppData;
constexpr int kProgramFiles = win::kCsidlProgramFiles;

constexpr FolderRef kDrive{Base::Drive, 0, ""};
constexpr FolderRef Windows(const char* piece = "") { return {Base::Windows, 0, piece}; }
constexpr FolderRef System(const char* piece = "") { return {Base::System, 0, piece}; }
constexpr FolderRef Csidl(int csidl, const char* piece = "") { return {Base::Csidl, csidl, piece}; }
constexpr FolderRef kTemp{Base::Temp, 0, ""};
constexpr FolderRef kLocalAppData{Base::LocalAppData, 0, ""};
constexpr FolderRef kLocalSettings{Base::LocalSettings, 0, ""};
constexpr FolderRef kRecent{Base::Recent, 0, ""};
constexpr FolderRef CommonFiles(const char* piece = "") { return {Base::CommonFiles, 0, piece}; }
constexpr FolderRef kTemplatesDir{Base::Templates, 0, ""};

struct SuspiciousListing {
  FolderRef folder;
  const char* mask;
  bool executablesOnly;
  bool beforeVistaOnly;
};

constexpr bool E = true, A = false;

// clang-format off
constexpr SuspiciousListing kSuspiciousListings[] = {
  {kDrive,                      "*.*",   E, false},
  {Csidl(kFonts),               "*.*",   E, false},
  {System("\\drivers\\"),       "*.exe", A, false},
  {Windows("\\Temp\\"),         "*.*",   E, false},
  {Csidl(kProgramFiles),        "*.*",   E, false},
  {Csidl(kAppData),             "*.*",   E, false},
  {Csidl(kCommonAppData),       "*.*",   E, false},
  {Windows("\\system\\"),       "*.exe", A, false},
  {Windows("\\Help\\"),         "*.exe", E, false},
  {Windows("\\java\\"),         "*.*",   E, false},
  {Windows("\\winsxs\\"),       "*.*",   E, false},
  {Windows("\\config\\"),       "*.*",   E, false},
  {Windows("\\security\\"),     "*.*",   E, false},
  {Windows("\\addins\\"),       "*.*",   E, false},
  {Windows("\\pif\\"),          "*.*",   E, false},
  {Windows("\\pchealth\\"),     "*.*",   E, false},
  {Windows("\\msapps\\"),       "*.*",   E, false},
  {System("\\wins\\"),          "*.*",   E, false},
  {System("\\spool\\"),         "*.*",   E, false},
  {System("\\Microsoft\\"),     "*.*",   E, false},
  {System(),                    "*.sys", E, false},
  {kLocalAppData,               "*.*",   E, false},
  {kLocalSettings,              "*.*",   E, true},
  {kRecent,                     "*.*",   E, false},
  {Csidl(kProgramFiles, "\\windows nt\\"), "*.*", E, false},
  {Csidl(kCommonPrograms),      "*.*",   E, false},
  {Csidl(kCommonPrograms, "\\startup\\"), "*.*", E, false},
  {Csidl(kCommonStartup),       "*.*",   E, false},
  {Csidl(kPrograms),            "*.*",   E, false},
  {Csidl(kTemplates),           "*.*",   E, false},
  {CommonFiles(),               "*.*",   E, false},
  {CommonFiles("\\system\\"),   "*.*",   E, false},
  {CommonFiles("\\microsoft\\"), "*.*",  E, false},
  {Csidl(kProgramFiles, "\\microsoft\\"), "*.*", E, false},
  {Csidl(kAppData, "\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\"), "*.*", E, false},
  {kTemplatesDir,               "*.exe", E, false},
  {kTemplatesDir,               "*.dll", E, false},
  {kTemplatesDir,               "*.sys", E, false},
};
static_assert(std::size(kSuspiciousListings) == 38);

constexpr FolderRef kAutorunFolders[] = {
  kDrive, Csidl(kTemplates), Csidl(kPrograms), Csidl(kCommonStartup), Csidl(kFonts), Csidl(kProgramFiles),
  Csidl(kAppData), Csidl(kCommonAppData), Windows(), System(), kTemp, kRecent,
};

struct WalkListing {
  FolderRef folder;
  const char* mask;
  bool recurse;
  bool beforeVistaOnly;
};

constexpr WalkListing kRecentListings[] = {
  {kDrive,                  "*.*",   false, false},
  {Csidl(kFonts),           "*.exe", false, false},
  {System("\\drivers\\"),   "*.*",   false, false},
  {Windows("\\Temp\\"),     "*.*",   true,  false},
  {Csidl(kProgramFiles),    "*.*",   true,  false},
  {Csidl(kAppData),         "*.*",   false, false},
  {Csidl(kCommonAppData),   "*.*",   false, false},
  {Windows("\\"),           "*.*",   false, false},
  {Windows("\\system\\"),   "*.*",   false, false},
  {Windows("\\Help\\"),     "*.*",   false, false},
  {Windows("\\java\\"),     "*.*",   false, false},
  {System("\\wins\\"),      "*.*",   false, false},
  {System("\\spool\\"),     "*.*",   false, false},
  {System("\\Microsoft\\"), "*.*",   false, false},
  {kLocalAppData,           "*.*",   false, false},
  {kLocalSettings,          "*.*",   false, true},
  {kTemp,                   "*.*",   true,  false},
  {kTemplatesDir,           "*.exe", true,  false},
};

constexpr WalkListing kHiddenListings[] = {
  {Windows(),             "*.*", false, false},
  {kTemp,                 "*.*", true,  false},
  {kDrive,                "*.*", false, false},
  {kLocalAppData,         "*.*", false, false},
  {kLocalSettings,        "*.*", false, false},
  {Csidl(kProgramFiles),  "*.*", false, false},
  {Csidl(kAppData),       "*.*", false, false},
  {Csidl(kFonts),         "*.*", false, false},
};
// clang-format on

// Calendar dates as day numbers (days since 1970-01-01, proleptic Gregorian).
int64_t DayNumber(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

int64_t DayNumber(const platform::LocalTime& time) { return DayNumber(time.year, time.month, time.day); }

int64_t LocalDayOf(platform::FileTime time) { return DayNumber(platform::Sys().FileTimeToLocalTime(time)); }

std::string RecentLabel(int key, const char* fallback) {
  std::string label = inspect::Lng(key);
  return label.empty() ? fallback : label;
}

// The files of the walk created or modified after the threshold day, when they are executables.
void RecentWalk(TReport& report, const TScanOptions& options, const std::string& folder, const std::string& mask,
                bool recurse, int64_t thresholdDay) {
  const std::string createdLabel = RecentLabel(205, "created");
  const std::string modifiedLabel = RecentLabel(206, "modified");
  WalkFiles(
      folder, mask, recurse, options,
      [&](const std::string& walked, const FindData& entry) {
        const bool created = LocalDayOf(entry.creationTime) > thresholdDay;
        const bool modified = LocalDayOf(entry.lastWriteTime) > thresholdDay;
        if (!created && !modified) return;
        const std::string path = JoinPath(walked, entry.name);
        const std::string reach = ReachPath(walked, entry);
        if (!inspect::IsPeFile(reach)) return;
        // Size and times from the walk's own entry of the file.
        const std::string size = std::to_string(entry.size);
        const std::string company = inspect::FileCompanyName(reach);
        const std::string date = inspect::EntryDateText(entry, created ? 1 : 3);
        const std::string attributes = inspect::FileAttrText(reach);
        const std::string md5 = inspect::FileMd5Text(reach);
        report.Add(path + " (" + size + " bytes) (" + company + ") (" + date + ") (" + attributes + ") (" + md5 +
                   ") (" + (created ? createdLabel : modifiedLabel) + ")");
      },
      [](const std::string&, const FindData&) {});
}

std::string CollapseDoubledBackslashes(const std::string& path) {
  std::string out;
  out.reserve(path.size());
  for (size_t i = 0; i < path.size(); ++i) {
    out += path[i];
    if (path[i] == '\\' && i + 1 < path.size() && path[i + 1] == '\\') ++i;
  }
  return out;
}

// Hidden executables of the walk.
void HiddenWalk(TReport& report, const TScanOptions& options, const std::string& folder, const std::string& mask,
                bool recurse) {
  WalkFiles(
      folder, mask, recurse, options,
      [&](const std::string& walked, const FindData& entry) {
        const std::string path = JoinPath(walked, entry.name);
        const std::string reach = ReachPath(walked, entry);
        const uint32_t attributes = platform::Fs().GetFileAttributes(reach);
        if (attributes == win::kInvalidFileAttributes || !(attributes & win::kFileAttributeHidden)) return;
        if (!inspect::IsPeFile(reach)) return;
        ReportListedFile(path, report, options, reach);
      },
      [](const std::string&, const FindData&) {});
}

}  // namespace

void ListFolderFiles(TReport& report, const TScanOptions& options, const std::string& folder,
                     const std::string& mask, bool executablesOnly) {
  if (IsUnknownFolder(folder)) return;
  ForEachFile(folder, mask, options, [&](const FindData& entry) {
    if (entry.name == "desktop.ini") return;
    const std::string path = JoinPath(folder, entry.name);
    const std::string reach = ReachPath(folder, entry);
    if (!inspect::FileExists(reach)) return;
    if (executablesOnly && !inspect::IsPeFile(reach)) return;
    ReportListedFile(path, report, options, reach);
  });
}

void WriteSuspiciousFolderExecutables(TReport& report, const TScanOptions& options) {
  const bool vista = inspect::IsVistaOrLater();
  for (const SuspiciousListing& listing : kSuspiciousListings) {
    if (listing.beforeVistaOnly && vista) continue;
    const std::string folder = Resolve(listing.folder);
    if (!folder.empty()) ListFolderFiles(report, options, folder, listing.mask, listing.executablesOnly);
  }
  ListRunValueFilters(kRunKeyPath, kRunValueRoots, kRunValueFilters, report, TRunLineForm::PathOnly);
}

void ListAutorunIni(TReport& report, const TScanOptions& options, const std::string& folder) {
  if (IsUnknownFolder(folder)) return;
  ForEachFile(folder, "*.ini", options, [&](const FindData& entry) {
    if (!inspect::EqualNoCase(entry.name, "autorun.ini")) return;
    const std::string path = JoinPath(folder, entry.name);
    if (inspect::FileExists(path)) ReportListedFile(path, report, options);
  });
}

void WriteAutorunIni(TReport& report, const TScanOptions& options) {
  for (const FolderRef& ref : kAutorunFolders) {
    const std::string folder = Resolve(ref);
    if (!folder.empty()) ListAutorunIni(report, options, folder);
  }
}

void WriteUnknownSysFiles(TReport& report, const TScanOptions& options, const std::string& folder,
                          const std::string& mask) {
  if (IsUnknownFolder(folder)) return;
  const bool vista = inspect::IsVistaOrLater();
  ForEachFile(folder, mask, options, [&](const FindData& entry) {
    const std::string path = JoinPath(folder, entry.name);
    const std::string reach = ReachPath(folder, entry);
    if (!inspect::FileExists(reach) || !inspect::IsPeFile(reach)) return;
    const bool known = vista ? inspect::FileCompanyName(reach) == "Microsoft Corporation"
                             : inspect::IsProtectedSystemFile(reach);
    if (known) return;
    try {
      AddFileLine(path, report, options.UseMd5Exclusions, options.Md5Exclusions, reach);
    } catch (...) {
      report.Add(LockedLine(path));
    }
  });
}

void WriteNonAccessibleFiles(TReport& report, const TScanOptions& options, const std::string& folder,
                             const std::string& mask) {
  if (IsUnknownFolder(folder)) return;
  ForEachFile(
      folder, mask, options,
      [&](const FindData& entry) {
        const std::string joined = JoinPath(folder, entry.name);
        const std::string reach = ReachPath(folder, entry);
        if (inspect::CanOpenFile(reach)) return;
        const std::string path = CollapseDoubledBackslashes(joined);
        report.Add(path.ends_with('\\') ? HiddenFileLine(path) : ShortFileLine(path, reach));
      },
      [&](const FindData& entry) { report.Add(JoinPath(folder, entry.name)); });
}

void WriteCustomFilesList(TReport& report, const TScanOptions& options) {
  for (const std::string& line : options.CustomFileEntries) {
    const size_t bar = line.find('|');
    // A line without "|" names a folder whose every file is listed.
    const std::string folder = bar == std::string::npos ? line : line.substr(0, bar);
    std::string mask = bar == std::string::npos ? "" : line.substr(bar + 1, 10);
    if (mask.empty()) mask = "*.*";
    ListFolderFiles(report, options, folder, mask, false);
  }
}

void ListRecentFiles(TReport& report, const TScanOptions& options, const std::string& folder,
                     const std::string& mask, bool recurse) {
  if (IsUnknownFolder(folder)) return;
  RecentWalk(report, options, folder, mask, recurse, DayNumber(platform::Sys().GetLocalTime()) - options.RecentDays);
}

void WriteRecentFiles(TReport& report, const TScanOptions& options) {
  const bool vista = inspect::IsVistaOrLater();
  for (const WalkListing& listing : kRecentListings) {
    if (listing.beforeVistaOnly && vista) continue;
    const std::string folder = Resolve(listing.folder);
    if (!folder.empty()) ListRecentFiles(report, options, folder, listing.mask, listing.recurse);
  }
}

void ListHiddenFiles(TReport& report, const TScanOptions& options, const std::string& folder,
                     const std::string& mask, bool recurse) {
  if (IsUnknownFolder(folder)) return;
  HiddenWalk(report, options, folder, mask, recurse);
}

void WriteHiddenFiles(TReport& report, const TScanOptions& options) {
  for (const WalkListing& listing : kHiddenListings) {
    const std::string folder = Resolve(listing.folder);
    if (!folder.empty()) ListHiddenFiles(report, options, folder, listing.mask, listing.recurse);
  }
}

int ListNumberedFolders(TReport& report, const TScanOptions&, const std::string& folder) {
  if (IsUnknownFolder(folder)) return 0;
  int looked = 0;
  ForEachEntry(folder, "*.*", [&](const FindData& entry) {
    if (entry.attributes & win::kFileAttributeSystem) return;
    if (!IsFolderEntry(entry) || entry.name == "." || entry.name == "..") return;
    ++looked;
    int32_t number = 0;
    if (inspect::ParseInt32(inspect::TrimControls(entry.name), &number) && number >= 5) {
      report.Add(JoinPath(folder, entry.name) + "\\");
    }
  });
  return looked;
}

}  // namespace scan
