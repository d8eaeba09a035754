#include "scan/settings.h"

#include "scan/controls.h"

#include <cstdlib>
#include <iterator>
#include <string_view>

#include "inspect/files.h"
#include "inspect/lang.h"
#include "inspect/save_file.h"
#include "inspect/text.h"
#include "platform/call_counts.h"
#include "platform/handles.h"
#include "platform/platform.h"

namespace scan {

namespace {

using platform::Fs;
using platform::Sys;
namespace win = platform::win;

constexpr const char* kSection = "Options";

// Reading order of the keys. The 15- and 30-day radios have keys of their own ("34", "35"),
// read after every key older files hold, so such files load as before.
constexpr const char* kReadOrder[] = {"4",  "5",  "3",  "9",  "10", "11", "25", "12", "13", "14", "15", "16",
                                      "17", "18", "27", "28", "29", "30", "31", "32", "33", "34", "35"};
// Writing order: "25" follows "5", as the settings file has always been written.
constexpr const char* kWriteOrder[] = {"4",  "5",  "25", "3",  "9",  "10", "11", "12", "13", "14", "15", "16",
                                       "17", "18", "27", "28", "29", "30", "31", "32", "33", "34", "35"};

constexpr int IndexOfKey(std::string_view key) {
  for (size_t i = 0; i < std::size(kControls); ++i) {
    const TControl& c = kControls[i];
    if (c.key && c.kind != TKind::Memo && key == c.key) return static_cast<int>(i);
  }
  return -1;
}
const TControl& RowOfKey(std::string_view key) { return kControls[IndexOfKey(key)]; }

// Every key of both orders has its control.
constexpr bool EveryKeyHasARow() {
  for (const char* key : kReadOrder) {
    if (IndexOfKey(key) < 0) return false;
  }
  for (const char* key : kWriteOrder) {
    if (IndexOfKey(key) < 0) return false;
  }
  return true;
}
static_assert(EveryKeyHasARow());
static_assert(std::size(kReadOrder) == std::size(kWriteOrder));

bool Ticked(const TControl& c, const TSettings& s) {
  return c.kind == TKind::Radio ? s.RecentDays == c.value : s.*c.flag;
}

}  // namespace

bool ParseOptionValue(const std::string& text, bool* ticked) {
  if (inspect::EqualNoCase(text, "true")) {
    *ticked = true;
    return true;
  }
  if (inspect::EqualNoCase(text, "false")) {
    *ticked = false;
    return true;
  }
  if (text.empty()) return false;
  size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (i == text.size()) return false;
  for (size_t j = i; j < text.size(); ++j) {
    if (!std::isdigit(static_cast<unsigned char>(text[j]))) return false;
  }
  *ticked = text.find_first_not_of("+-0") != std::string::npos;
  return true;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

void LoadSettings(const std::string& appDir, TSettings& settings) {
  const std::string ini = appDir + "Data\\Options.ini";
  if (inspect::FileExists(ini)) {
    for (const char* key : kReadOrder) {
      const TControl& row = RowOfKey(key);
      const std::string value = Sys().GetPrivateProfileString(ini, kSection, key, "");
      if (row.kind == TKind::Combo) {
        settings.Language = value.empty() ? "English" : value;
        continue;
      }
      bool ticked = false;
      if (!ParseOptionValue(value, &ticked)) break;
      if (row.kind == TKind::CheckBox) {
        settings.*row.flag = ticked;
      } else if (ticked) {
        settings.RecentDays = row.value;
      } else if (settings.RecentDays == row.value) {
        settings.RecentDays = 0;
      }
    }
  }
  for (const TControl& memo : kControls) {
    if (memo.kind != TKind::Memo || !memo.list) continue;
    const std::string path = appDir + memo.key;
    if (inspect::FileExists(path)) settings.*memo.list = SplitLines(inspect::ReadFileText(path));
  }
}

void SaveSettings(const std::string& appDir, const TSettings& settings) {
  const std::string ini = appDir + "Data\\Options.ini";
  for (const char* key : kWriteOrder) {
    const TControl& row = RowOfKey(key);
    std::string value;
    if (row.kind == TKind::Combo) {
      if (settings.Language.empty()) continue;
      value = settings.Language;
    } else {
      value = Ticked(row, settings) ? "-1" : "0";
    }
    if (!Sys().WritePrivateProfileString(ini, kSection, key, value)) break;
  }
  for (const TControl& memo : kControls) {
    if (memo.kind != TKind::Memo || !memo.list) continue;
    const auto& lines = settings.*memo.list;
    if (lines.empty()) continue;
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    inspect::SaveFileReplacing(appDir + memo.key, text);
  }
}

void SaveReportClicked(TSettings& settings) {
  if (settings.SaveReport) return;
  settings.OpenReport = false;
  settings.CopyToDesktop = false;
}

bool AddExclusionEntry(const std::string& path, const std::string& comment, std::vector<std::string>& memo,
                       inspect::TPrompter& prompter) {
  if (!inspect::FileExists(path)) {
    prompter.Prompt(inspect::Lng(124), "Warning", win::kMbIconWarning | win::kMbTopmost);
    return false;
  }
  const std::string digest = inspect::FileMd5Text(path);
  for (const std::string& line : memo) {
    if (line.find(digest) != std::string::npos) return false;
  }
  const std::string name = path.substr(path.find_last_of("\\/") + 1);
  memo.push_back(digest + " :: " + name + " :: " + inspect::FileProductVersion(path) + " :: " +
                 inspect::FileCompanyName(path) + " :: " + comment);
  return true;
}

void ImportExclusionFile(const std::string& path, std::vector<std::string>& memo, inspect::TPrompter& prompter) {
  if (!inspect::FileExists(path)) return;
  auto take = [&memo](const std::string& line) {
    if (!line.empty() && line.find("::") != std::string::npos) memo.push_back(line);
  };
  const platform::ScopedFile file(Fs().CreateFile(path, win::kGenericRead, win::kFileShareRead, win::kOpenExisting, 0));
  bool failed = !file.ok();
  std::string pending;
  char buffer[4096];
  for (uint32_t read = 0; !failed;) {
    if (!Fs().ReadFile(file.get(), buffer, sizeof buffer, &read)) {
      failed = true;
      break;
    }
    if (read == 0) break;
    pending.append(buffer, read);
    // Whole lines only: the last piece may go on in the next block. A CR LF cut in two gives an
    // empty line, which is skipped anyway.
    const size_t end = pending.find_last_of("\r\n");
    if (end == std::string::npos) continue;
    for (const std::string& line : SplitLines(pending.substr(0, end + 1))) take(line);
    pending.erase(0, end + 1);
  }
  if (failed) {
    prompter.Prompt(Sys().FormatErrorMessage(Sys().GetLastError()), "Error", win::kMbIconError | win::kMbTopmost);
    return;
  }
  for (const std::string& line : SplitLines(pending)) take(line);
}

bool TScanOptions::Pause(bool when) const {
  if (when) {
    platform::CountPause();
    if (Stop) return Stop->Wait(1);
    platform::Sys().Sleep(1, false);
  }
  return !Stopped();
}

std::string ExclusionKey(const std::string& line) {
  size_t blank = line.find(' ');
  return blank == std::string::npos ? "" : line.substr(0, blank);
}

TScanOptions TakeScanOptions(const TSettings& s) {
  TScanOptions o;
  o.ExcludeMicrosoftFiles = s.ExcludeMicrosoftFiles;
  o.ReduceMemoryUsage = s.ReduceMemoryUsage;
  o.ShowAllServiceDll = s.ShowAllServiceDll;
  o.SuspiciousModulesOnly = s.SuspiciousModulesOnly;
  o.KernelModeInfo = s.KernelModeInfo;
  o.Ring3ApiHooks = s.Ring3ApiHooks;
  o.UnknownSysFiles = s.UnknownSysFiles;
  o.UnknownClsidFiles = s.UnknownClsidFiles;
  o.RecentDays = (s.RecentDays == 10 || s.RecentDays == 15 || s.RecentDays == 30) ? s.RecentDays : 0;
  o.RecentFiles = o.RecentDays != 0;
  o.UseMd5Exclusions = s.UseMd5Exclusions;
  o.CustomRegistryDump = s.CustomRegistryDump;
  o.CustomFilesList = s.CustomFilesListing;
  for (const auto& line : s.RegDump) {
    if (!line.empty()) o.RegistryDumpEntries.push_back(line);
  }
  for (const auto& line : s.ExeLister) {
    if (!line.empty()) o.CustomFileEntries.push_back(line);
  }
  for (const auto& line : s.ExclusionMemo) {
    if (!line.empty()) o.Md5Exclusions.push_back(ExclusionKey(line));
  }
  return o;
}

}  // namespace scan
