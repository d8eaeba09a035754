// Small helpers shared by the section tests.
#pragma once

#include <string>
#include <vector>

#include "scan/report.h"

namespace bs_test {

// The bytes of a file that passes the PE test: "MZ", the header offset 64 at byte 60, and
// "PE\0\0" there, padded with zeros to `size` bytes (the test reads 248 bytes of header).
inline std::string PeFileBytes(size_t size = 512) {
  std::string bytes(size, '\0');
  bytes[0] = 'M';
  bytes[1] = 'Z';
  bytes[60] = 64;
  bytes[64] = 'P';
  bytes[65] = 'E';
  return bytes;
}

// The report's items in order.
inline std::vector<std::string> ReportItems(const scan::TReport& report) {
  std::vector<std::string> items;
  for (size_t i = 0; i < report.Count(); ++i) items.push_back(report.Item(i));
  return items;
}

}  // namespace bs_test
