// Lists every value of one key as value entries.
#include "inspect/registry.h"
#include "scan/sections.h"

namespace scan {

void DumpRegistryKey(const std::string& keyPath, RegKey root, TReport& report) {
  inspect::TRegistryReader& reader = inspect::ScanRegistry();
  reader.SetRootKey(root);
  const std::string keyText = inspect::RootKeyName(root) + keyPath;
  if (!reader.OpenKey(keyPath)) return;
  for (const std::string& name : reader.GetValueNames()) {
    report.Add(inspect::ValueEntry(name, inspect::RegValueToText(reader, name), keyText));
  }
  reader.CloseKey();
}

}  // namespace scan
