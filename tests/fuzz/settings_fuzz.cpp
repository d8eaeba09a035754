// Settings files are whatever the user (or malware) left in Data\: any bytes must load, the
// option value rules hold for any text, and what loads saves and loads again unchanged.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/fake/fake_machine.h"
#include "scan/settings.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool Same(const scan::TSettings& a, const scan::TSettings& b) {
  return a.CustomFilesListing == b.CustomFilesListing && a.CustomRegistryDump == b.CustomRegistryDump &&
         a.StayOnTop == b.StayOnTop && a.CopyToClipboard == b.CopyToClipboard && a.SaveReport == b.SaveReport &&
         a.OpenReport == b.OpenReport && a.Language == b.Language &&
         a.ExcludeMicrosoftFiles == b.ExcludeMicrosoftFiles && a.CopyToDesktop == b.CopyToDesktop &&
         a.UseMd5Exclusions == b.UseMd5Exclusions && a.WorkInBackground == b.WorkInBackground &&
         a.ReduceMemoryUsage == b.ReduceMemoryUsage && a.ShowAllServiceDll == b.ShowAllServiceDll &&
         a.SuspiciousModulesOnly == b.SuspiciousModulesOnly && a.KernelModeInfo == b.KernelModeInfo &&
         a.RecentDays == b.RecentDays && a.UnknownSysFiles == b.UnknownSysFiles &&
         a.Ring3ApiHooks == b.Ring3ApiHooks && a.UnknownClsidFiles == b.UnknownClsidFiles &&
         a.RestorePointBeforeRestorer == b.RestorePointBeforeRestorer &&
         a.RestorePointBeforeAnalyzer == b.RestorePointBeforeAnalyzer && a.ExtraSections == b.ExtraSections;
}

// The rule, written out the long way: an optional sign and digits (ticked unless all zero), or
// True/False in any letter case.
void CheckOptionValue(const std::string& text) {
  bool ticked = false;
  const bool valid = scan::ParseOptionValue(text, &ticked);
  std::string lower;
  for (char c : text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "true" || lower == "false") {
    Check(valid && ticked == (lower == "true"));
    return;
  }
  const size_t sign = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  bool digits = text.size() > sign;
  bool nonZero = false;
  for (size_t i = sign; i < text.size(); ++i) {
    digits = digits && std::isdigit(static_cast<unsigned char>(text[i]));
    nonZero = nonZero || text[i] != '0';
  }
  Check(valid == digits);
  if (valid) Check(ticked == nonZero);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static platform::fake::Machine* machine = [] {
    auto* m = new platform::fake::Machine;
    m->Install();
    return m;
  }();
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  CheckOptionValue(bytes);

  const std::string app = "C:\\Tools\\BurrowSentry\\";
  // First half as Options.ini, second half as a list file.
  machine->AddFile(app + "Data\\Options.ini", bytes.substr(0, size / 2));
  machine->AddFile(app + "Data\\exclist.txt", bytes.substr(size / 2));
  scan::TSettings settings;
  scan::LoadSettings(app, settings);
  scan::TakeScanOptions(settings);

  machine->RemoveFile(app + "Data\\Options.ini");
  scan::SaveSettings(app, settings);
  scan::TSettings again;
  scan::LoadSettings(app, again);
  Check(Same(settings, again));
  return 0;
}
