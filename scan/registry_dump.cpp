// Lists every value of one key as value entries.
#include "inspect/registry.h"
#include "scan/sections.h"

namespace scan {

void DumpRegistryKey(const std::string& keyPath, RegKey root, TReport& report) {
  const std::string keyText = inspect::RootKeyName(root) + keyPath;
  inspect::TReaderKey key(root, keyPath);
  if (!key.ok()) return;
  for (const std::string& name : key.reader().GetValueNames()) {
    report.Add(inspect::ValueEntry(name, inspect::RegValueToText(key.reader(), name), keyText));
  }
}

}  // namespace scan
