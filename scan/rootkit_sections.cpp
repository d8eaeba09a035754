// User-mode hooks, kernel inspection and the rootkit verdict: the items of the rootkit layer.
#include "rootkit/sections.h"
#include "scan/sections.h"

namespace scan {

namespace {

void AddAll(TReport& report, const std::vector<std::string>& items) {
  for (const std::string& item : items) report.Add(item);
}

}  // namespace

void ListRing3Hooks(TReport& report, const TScanOptions&) { AddAll(report, rootkit::Ring3HookItems()); }
void ListKernelModeInfo(TReport& report, const TScanOptions& options) {
  AddAll(report, rootkit::KernelModeItems(options.Stop));
}

void WriteRootkitVerdict(TReport& report) {
  std::vector<std::string> items;
  items.reserve(report.Count());
  for (size_t i = 0; i < report.Count(); ++i) items.push_back(report.Item(i));
  AddAll(report, rootkit::RootkitVerdict(items));
}

}  // namespace scan
