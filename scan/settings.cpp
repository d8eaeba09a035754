#include "scan/settings.h"

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

// Writing order: "25" follows "5", as the settings file has always been written.
constexpr const char* kWriteOrder[] = {"4",  "5",  "25", "3",  "9",  "10", "11", "12", "13", "14", "15", "16",
                                       "17", "18", "27", "28", "29", "30", "31", "32", "33", "34", "35",
                                       "ExtraSections"};

// The writing order holds every key once.
constexpr bool WriteOrderHoldsEveryKey() {
  for (const TOptionKey& option : kOptionKeys) {
    int seen = 0;
    for (const char* key : kWriteOrder) seen += std::string_view(key) == option.key ? 1 : 0;
    if (seen != 1) return false;
  }
  return true;
}
static_assert(std::size(kWriteOrder) == std::size(kOptionKeys) && WriteOrderHoldsEveryKey());

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
    for (const TOptionKey& option : kOptionKeys) {
      const std::string value = Sys().GetPrivateProfileString(ini, kSection, option.key, "");
      if (option.kind == TOptionKind::Language) {
        settings.Language = value.empty() ? "English" : value;
        continue;
      }
      bool ticked = false;
      if (!ParseOptionValue(value, &ticked)) break;
      if (option.kind == TOptionKind::Flag) {
        settings.*option.flag = ticked;
      } else if (ticked) {
        settings.RecentDays = option.days;
      } else if (settings.RecentDays == option.days) {
        settings.RecentDays = 0;
      }
    }
  }
  for (const TListFile& list : kListFiles) {
    const std::string path = appDir + list.file;
    if (inspect::FileExists(path)) settings.*list.list = SplitLines(inspect::ReadFileText(path));
  }
}

void SaveSettings(const std::string& appDir, const TSettings& settings) {
  const std::string ini = appDir + "Data\\Options.ini";
  for (const char* key : kWriteOrder) {
    const TOptionKey& option = *FindOptionKey(key);
    std::string value;
    if (option.kind == TOptionKind::Language) {
      if (settings.Language.empty()) continue;
      value = settings.Language;
    } else {
      const bool ticked =
          option.kind == TOptionKind::Flag ? settings.*option.flag : settings.RecentDays == option.days;
      value = ticked ? "-1" : "0";
    }
    if (!Sys().WritePrivateProfileString(ini, kSection, key, value)) break;
  }
  for (const TListFile& list : kListFiles) {
    const auto& lines = settings.*list.list;
    if (lines.empty()) continue;
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    inspect::SaveFileReplacing(appDir + list.file, text);
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
  for (const TOptionKey& option : kOptionKeys) {
    if (option.scan) o.*option.scan = s.*option.flag;
  }
  o.RecentDays = (s.RecentDays == 10 || s.RecentDays == 15 || s.RecentDays == 30) ? s.RecentDays : 0;
  o.RecentFiles = o.RecentDays != 0;
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
