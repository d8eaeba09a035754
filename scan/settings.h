// The Settings page as plain data, kept in Data\Options.ini and three list files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "inspect/prompt.h"
#include "scan/options.h"

namespace scan {

struct TSettings {
  bool CustomFilesListing = false;    // cb2, key "4"
  bool CustomRegistryDump = false;    // cb5, key "5"
  bool StayOnTop = false;             // CheckBox3, key "3"
  bool CopyToClipboard = false;       // CheckBox1, key "9"
  bool SaveReport = false;            // CheckBox2, key "10"
  bool OpenReport = false;            // CheckBox4, key "11"
  std::string Language = "English";   // cb, key "25"
  bool ExcludeMicrosoftFiles = true;  // CheckBox5, key "12"
  bool CopyToDesktop = false;         // CheckBox6, key "13"
  bool UseMd5Exclusions = false;      // CheckBox7, key "14"
  bool WorkInBackground = false;      // CheckBox8, key "15"
  bool ReduceMemoryUsage = true;      // CheckBox9, key "16"
  bool ShowAllServiceDll = true;      // CheckBox10, key "17"
  bool SuspiciousModulesOnly = true;  // CheckBox11, key "18"
  bool KernelModeInfo = true;         // CheckBox45, key "27"
  int RecentDays = 15;                // RadioButton9/5/8 (10, 15, 30; 0 = none): keys "28", "34", "35"
  bool UnknownSysFiles = true;        // CheckBox47, key "29"
  bool Ring3ApiHooks = true;          // CheckBox48, key "30"
  bool UnknownClsidFiles = true;      // CheckBox50, key "31"
  bool RestorePointBeforeRestorer = true;  // CheckBox46, key "32"
  bool RestorePointBeforeAnalyzer = false; // CheckBox49, key "33"
  bool ExtraSections = true;          // CheckBox51, key "ExtraSections"

  std::vector<std::string> ExeLister;      // Data\exelist.txt
  std::vector<std::string> RegDump;        // Data\reglist.txt
  std::vector<std::string> ExclusionMemo;  // Data\exclist.txt
};

// One option of Data\Options.ini: its key, the member it fills and, for a box the scan reads,
// the scan option it becomes.
enum class TOptionKind : uint8_t { Flag, RecentDays, Language };
struct TOptionKey {
  const char* key;
  TOptionKind kind;
  bool TSettings::*flag = nullptr;       // Flag
  bool TScanOptions::*scan = nullptr;    // Flag the scan reads
  int days = 0;                          // RecentDays: the period its tick stands for
};
// In reading order. The 15- and 30-day radios have keys of their own ("34", "35"), read after
// every key older files hold, so such files load as before.
inline constexpr TOptionKey kOptionKeys[] = {
    {"4", TOptionKind::Flag, &TSettings::CustomFilesListing, &TScanOptions::CustomFilesList},
    {"5", TOptionKind::Flag, &TSettings::CustomRegistryDump, &TScanOptions::CustomRegistryDump},
    {"3", TOptionKind::Flag, &TSettings::StayOnTop},
    {"9", TOptionKind::Flag, &TSettings::CopyToClipboard},
    {"10", TOptionKind::Flag, &TSettings::SaveReport},
    {"11", TOptionKind::Flag, &TSettings::OpenReport},
    {"25", TOptionKind::Language},
    {"12", TOptionKind::Flag, &TSettings::ExcludeMicrosoftFiles, &TScanOptions::ExcludeMicrosoftFiles},
    {"13", TOptionKind::Flag, &TSettings::CopyToDesktop},
    {"14", TOptionKind::Flag, &TSettings::UseMd5Exclusions, &TScanOptions::UseMd5Exclusions},
    {"15", TOptionKind::Flag, &TSettings::WorkInBackground},
    {"16", TOptionKind::Flag, &TSettings::ReduceMemoryUsage, &TScanOptions::ReduceMemoryUsage},
    {"17", TOptionKind::Flag, &TSettings::ShowAllServiceDll, &TScanOptions::ShowAllServiceDll},
    {"18", TOptionKind::Flag, &TSettings::SuspiciousModulesOnly, &TScanOptions::SuspiciousModulesOnly},
    {"27", TOptionKind::Flag, &TSettings::KernelModeInfo, &TScanOptions::KernelModeInfo},
    {"28", TOptionKind::RecentDays, nullptr, nullptr, 10},
    {"29", TOptionKind::Flag, &TSettings::UnknownSysFiles, &TScanOptions::UnknownSysFiles},
    {"30", TOptionKind::Flag, &TSettings::Ring3ApiHooks, &TScanOptions::Ring3ApiHooks},
    {"31", TOptionKind::Flag, &TSettings::UnknownClsidFiles, &TScanOptions::UnknownClsidFiles},
    {"32", TOptionKind::Flag, &TSettings::RestorePointBeforeRestorer},
    {"33", TOptionKind::Flag, &TSettings::RestorePointBeforeAnalyzer},
    {"34", TOptionKind::RecentDays, nullptr, nullptr, 15},
    {"35", TOptionKind::RecentDays, nullptr, nullptr, 30},
    // Last: a file written before it existed keeps the default.
    {"ExtraSections", TOptionKind::Flag, &TSettings::ExtraSections, &TScanOptions::ExtraSections},
};

// A list kept in a file of its own beside the options.
struct TListFile {
  const char* file;  // relative to the program's folder
  std::vector<std::string> TSettings::*list;
};
inline constexpr TListFile kListFiles[] = {
    {"Data\\exelist.txt", &TSettings::ExeLister},
    {"Data\\reglist.txt", &TSettings::RegDump},
    {"Data\\exclist.txt", &TSettings::ExclusionMemo},
};

// The option of `key`, or the list of `file`; null when there is none.
constexpr const TOptionKey* FindOptionKey(std::string_view key) {
  for (const TOptionKey& option : kOptionKeys) {
    if (key == option.key) return &option;
  }
  return nullptr;
}
constexpr const TListFile* FindListFile(std::string_view file) {
  for (const TListFile& list : kListFiles) {
    if (file == list.file) return &list;
  }
  return nullptr;
}

// An option value as stored: a number (non-zero = ticked) or True/False in any letter case.
// Returns false for anything else, the empty text included.
bool ParseOptionValue(const std::string& text, bool* ticked);

// Reads Data\Options.ini and the list files from `appDir` (ending with "\") into `settings`.
// The first invalid value ends the reading of options; missing files keep the defaults.
void LoadSettings(const std::string& appDir, TSettings& settings);
// Writes the options and every non-empty list; failures are swallowed.
void SaveSettings(const std::string& appDir, const TSettings& settings);

// "Save the report on Logs folder" clicked: unticked, it unticks the two outputs that need the
// saved file; ticked, it changes nothing else.
void SaveReportClicked(TSettings& settings);

// Adds the exclusion line of the file at `path` ("<md5> :: <name> :: <product version> ::
// <company> :: <comment>") to `memo`, unless its digest is already anywhere in the memo. A
// missing file is told to the user. True when a line was added.
bool AddExclusionEntry(const std::string& path, const std::string& comment, std::vector<std::string>& memo,
                       inspect::TPrompter& prompter);
// Appends every non-empty line of the file that holds "::", in file order; a missing file does
// nothing. A read error is told to the user; the lines appended before it stay.
void ImportExclusionFile(const std::string& path, std::vector<std::string>& memo, inspect::TPrompter& prompter);

// Splits file text into lines at CR LF, CR or LF, as a memo loads it.
std::vector<std::string> SplitLines(const std::string& text);

// The option snapshot of a scan: flags as ticked, lists without their empty lines.
TScanOptions TakeScanOptions(const TSettings& settings);

}  // namespace scan
