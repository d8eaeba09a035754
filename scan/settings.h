// The Settings page as plain data, kept in Data\Options.ini and three list files.
#pragma once

#include <string>
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
