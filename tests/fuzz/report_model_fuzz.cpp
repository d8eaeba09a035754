// Reports given to --diff are any bytes: text or JSON, they must load or be refused, and what
// loads goes through JSON and back without losing a line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/fake/fake_machine.h"
#include "scan/report_diff.h"
#include "scan/report_json.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static platform::fake::Machine machine;
  static const bool installed = (machine.Install(), true);
  (void)installed;
  const scan::TReportWords words;
  std::string error;
  const auto model = scan::LoadReportModel(std::string(reinterpret_cast<const char*>(data), size), words, &error);
  if (!model) return 0;
  const auto back = scan::ReportModelFromJson(scan::ReportJson(*model), words, &error);
  if (!back || scan::RenderReportText(*back) != scan::RenderReportText(*model)) std::abort();
  scan::DiffReports(*model, *back, words, false);
  return 0;
}
