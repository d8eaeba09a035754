// Value checkers: each reports one named value of a key as a value entry when its test holds.
// `keyPath` begins with "\"; an empty `valueName` selects the default value.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "scan/report.h"

namespace scan {

using platform::RegKey;

// The tests the checkers apply to a value's text; the three "differs" checkers are one test
// over one, two or three expected texts.
enum class TValueTest {
  Always,          // any non-empty text
  EqualsExactly,   // equals the first expected text, letter case included
  DiffersFromAll,  // equals none of the expected texts, letter case ignored
  DiffersOrEmpty,  // as DiffersFromAll; an empty text is reported as "EMPTY!!!"
  DoesNotContain,  // does not contain the first expected text, letter case ignored
};

// The procedure behind every checker: the value named exactly `valueName` (letter case counts)
// of the key, reported as a value entry when its text passes `test`. A missing key or value,
// and an empty text, give nothing (but see DiffersOrEmpty).
void CheckValue(TReport& report, const std::string& keyPath, const std::string& valueName, RegKey root,
                TValueTest test, std::span<const std::string> expected);

// A value's name and its text as RegValueToText renders it.
struct TValueText {
  std::string name;
  std::string text;
};
// The values of a key whose names `wanted` accepts, in enumeration order, read through the shared
// reader (closed again on return). A value that vanishes before its data is read is left out; a
// key that cannot be opened gives none.
std::vector<TValueText> ReadValueTexts(RegKey root, const std::string& keyPath,
                                       const std::function<bool(const std::string& name)>& wanted);

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
