#include "scan/settings.h"

#include <cstdlib>
#include <functional>

#include "inspect/files.h"
#include "inspect/text.h"
#include "platform/handles.h"
#include "platform/platform.h"

namespace scan {

namespace {

using platform::Fs;
using platform::Sys;
namespace win = platform::win;

constexpr const char* kSection = "Options";

bool WriteWholeFile(const std::string& path, const std::string& text) {
  const platform::ScopedFile file(Fs().CreateFile(path, win::kGenericWrite, 0, win::kCreateAlways, 0));
  if (!file.ok()) return false;
  uint32_t written = 0;
  return Fs().WriteFile(file.get(), text.data(), static_cast<uint32_t>(text.size()), &written) &&
         written == text.size();
}

// One option key and the setting it loads into / saves from.
struct OptionKey {
  const char* key;
  std::function<bool&(TSettings&)> flag;  // null for the language and the period radios
  int radioDays;                          // 10, 15 or 30 for the period radios
};

// Reading order of the keys. The 15- and 30-day radios have keys of their own ("34", "35"),
// read after every key older files hold, so such files load as before.
const std::vector<OptionKey>& ReadOrder() {
  static const std::vector<OptionKey> keys = {
      {"4", [](TSettings& s) -> bool& { return s.CustomFilesListing; }, 0},
      {"5", [](TSettings& s) -> bool& { return s.CustomRegistryDump; }, 0},
      {"3", [](TSettings& s) -> bool& { return s.StayOnTop; }, 0},
      {"9", [](TSettings& s) -> bool& { return s.CopyToClipboard; }, 0},
      {"10", [](TSettings& s) -> bool& { return s.SaveReport; }, 0},
      {"11", [](TSettings& s) -> bool& { return s.OpenReport; }, 0},
      {"25", nullptr, 0},
      {"12", [](TSettings& s) -> bool& { return s.ExcludeMicrosoftFiles; }, 0},
      {"13", [](TSettings& s) -> bool& { return s.CopyToDesktop; }, 0},
      {"14", [](TSettings& s) -> bool& { return s.UseMd5Exclusions; }, 0},
      {"15", [](TSettings& s) -> bool& { return s.WorkInBackground; }, 0},
      {"16", [](TSettings& s) -> bool& { return s.ReduceMemoryUsage; }, 0},
      {"17", [](TSettings& s) -> bool& { return s.ShowAllServiceDll; }, 0},
      {"18", [](TSettings& s) -> bool& { return s.SuspiciousModulesOnly; }, 0},
      {"27", [](TSettings& s) -> bool& { return s.KernelModeInfo; }, 0},
      {"28", nullptr, 10},
      {"29", [](TSettings& s) -> bool& { return s.UnknownSysFiles; }, 0},
      {"30", [](TSettings& s) -> bool& { return s.Ring3ApiHooks; }, 0},
      {"31", [](TSettings& s) -> bool& { return s.UnknownClsidFiles; }, 0},
      {"32", [](TSettings& s) -> bool& { return s.RestorePointBeforeRestorer; }, 0},
      {"33", [](TSettings& s) -> bool& { return s.RestorePointBeforeAnalyzer; }, 0},
      {"34", nullptr, 15},
      {"35", nullptr, 30},
  };
  return keys;
}

// Writing order: "25" follows "5", as the settings file has always been written.
const char* const kWriteOrder[] = {"4",  "5",  "25", "3",  "9",  "10", "11", "12", "13", "14", "15", "16",
                                   "17", "18", "27", "28", "29", "30", "31", "32", "33", "34", "35"};

const char* const kListFiles[] = {"Data\\exelist.txt", "Data\\reglist.txt", "Data\\exclist.txt"};

std::vector<std::string>& ListOf(TSettings& s, int index) {
  return index == 0 ? s.ExeLister : index == 1 ? s.RegDump : s.ExclusionMemo;
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
    for (const OptionKey& option : ReadOrder()) {
      std::string value = Sys().GetPrivateProfileString(ini, kSection, option.key, "");
      if (std::string(option.key) == "25") {
        settings.Language = value.empty() ? "English" : value;
        continue;
      }
      bool ticked = false;
      if (!ParseOptionValue(value, &ticked)) break;
      if (option.flag) {
        option.flag(settings) = ticked;
      } else if (ticked) {
        settings.RecentDays = option.radioDays;
      } else if (settings.RecentDays == option.radioDays) {
        settings.RecentDays = 0;
      }
    }
  }
  for (int i = 0; i < 3; ++i) {
    const std::string path = appDir + kListFiles[i];
    if (inspect::FileExists(path)) ListOf(settings, i) = SplitLines(inspect::ReadFileText(path));
  }
}

void SaveSettings(const std::string& appDir, const TSettings& settings) {
  const std::string ini = appDir + "Data\\Options.ini";
  TSettings copy = settings;
  for (const char* key : kWriteOrder) {
    std::string value;
    if (std::string(key) == "25") {
      if (copy.Language.empty()) continue;
      value = copy.Language;
    } else {
      for (const OptionKey& option : ReadOrder()) {
        if (std::string(option.key) != key) continue;
        bool ticked = option.flag ? option.flag(copy) : copy.RecentDays == option.radioDays;
        value = ticked ? "-1" : "0";
      }
    }
    if (!Sys().WritePrivateProfileString(ini, kSection, key, value)) break;
  }
  for (int i = 0; i < 3; ++i) {
    const auto& lines = ListOf(copy, i);
    if (lines.empty()) continue;
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    WriteWholeFile(appDir + kListFiles[i], text);
  }
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
