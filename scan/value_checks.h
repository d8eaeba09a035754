// Value checkers: each reports one named value of a key as a value entry when its test holds.
// `keyPath` begins with "\"; an empty `valueName` selects the default value.
#pragma once

#include <string>

#include "platform/platform.h"
#include "scan/report.h"

namespace scan {

using platform::RegKey;

void ReportNamedValue(TReport& report, const std::string& keyPath, const std::string& valueName, RegKey root);
void ReportValueIfEquals(TReport& report, const std::string& keyPath, const std::string& valueName, RegKey root,
                         const std::string& expected);
void ReportValueIfNot(TReport& report, const std::string& keyPath, const std::string& valueName, RegKey root,
                      const std::string& expected);
void ReportValueIfNotOrEmpty(TReport& report, const std::string& keyPath, const std::string& valueName,
                             RegKey root, const std::string& expected);
void ReportValueIfNotEither(TReport& report, const std::string& keyPath, const std::string& valueName,
                            RegKey root, const std::string& expected1, const std::string& expected2);
void ReportValueIfNotAny(TReport& report, const std::string& keyPath, const std::string& valueName, RegKey root,
                         const std::string& expected1, const std::string& expected2, const std::string& expected3);
void ReportValueIfNotContaining(TReport& report, const std::string& keyPath, const std::string& valueName,
                                RegKey root, const std::string& expected);

}  // namespace scan
